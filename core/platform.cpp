#include "platform.h"

#include "trace.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef VP_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace vp {

Q_LOGGING_CATEGORY(lcTrace, "vp.trace", QtWarningMsg)

#ifdef VP_HAVE_XCB
namespace {

class XTrace final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* e = static_cast<const xcb_generic_event_t*>(message);
        switch (e->response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            qCDebug(lcTrace, "x: map 0x%x", reinterpret_cast<const xcb_map_notify_event_t*>(e)->window);
            break;
        case XCB_UNMAP_NOTIFY:
            qCDebug(lcTrace, "x: unmap 0x%x", reinterpret_cast<const xcb_unmap_notify_event_t*>(e)->window);
            break;
        case XCB_FOCUS_IN:
        case XCB_FOCUS_OUT: {
            const auto* f = reinterpret_cast<const xcb_focus_in_event_t*>(e);
            qCDebug(lcTrace, "x: focus %s 0x%x mode %d detail %d", (e->response_type & 0x7f) == XCB_FOCUS_IN ? "in" : "out", f->event,
                    f->mode, f->detail);
            break;
        }
        case XCB_CLIENT_MESSAGE:
            qCDebug(lcTrace, "x: client message to 0x%x", reinterpret_cast<const xcb_client_message_event_t*>(e)->window);
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace
#endif

void traceWindowSystem()
{
#ifdef VP_HAVE_XCB
    if (!lcTrace().isDebugEnabled() || !QCoreApplication::instance())
        return;
    static XTrace filter;
    QCoreApplication::instance()->installNativeEventFilter(&filter);
#endif
}

#ifdef VP_HAVE_XCB
namespace {

xcb_connection_t* x11()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return native ? native->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = XCB_ATOM_NONE;
    if (r)
        a = r->atom;
    std::free(r);
    return a;
}

// WM_NORMAL_HINTS as ICCCM lays it out: 18 numbers, the flags first and the
// window gravity last.
constexpr std::uint32_t PWinGravity = 1U << 9;
constexpr std::uint32_t CenterGravity = 5;
constexpr int SizeHintsLength = 18;

void setGravity(xcb_connection_t* c, xcb_window_t id, std::uint32_t gravity)
{
    std::uint32_t hints[SizeHintsLength] = {};
    if (xcb_get_property_reply_t* r = xcb_get_property_reply(c, xcb_get_property(c, 0, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, SizeHintsLength), nullptr)) {
        if (r->format == 32)
            std::memcpy(hints, xcb_get_property_value(r), std::min<std::size_t>(sizeof hints, static_cast<std::size_t>(xcb_get_property_value_length(r))));
        std::free(r);
    }
    hints[0] |= PWinGravity;
    hints[SizeHintsLength - 1] = gravity;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, SizeHintsLength, hints);
}

} // namespace
#endif

void keepOffTaskbar(QWidget& window)
{
#ifdef VP_HAVE_XCB
    xcb_connection_t* c = x11();
    if (!c)
        return;
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const auto id = static_cast<xcb_window_t>(window.winId());
    // Only while the window is unmapped may a client write its own state; the
    // atoms already there (Qt's, or ours from an earlier showing) stay.
    std::vector<xcb_atom_t> atoms;
    if (xcb_get_property_reply_t* r = xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr)) {
        if (r->format == 32) {
            const auto* a = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
            atoms.assign(a, a + xcb_get_property_value_length(r) / 4);
        }
        std::free(r);
    }
    for (const xcb_atom_t skip : {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), atom(c, "_NET_WM_STATE_SKIP_PAGER")})
        if (skip != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), skip) == atoms.end())
            atoms.push_back(skip);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
#else
    (void)window;
#endif
}

QScreen* monitorOf(const QWidget* window)
{
    if (window) {
        if (QScreen* s = QGuiApplication::screenAt(window->frameGeometry().center()))
            return s;
    }
    return QGuiApplication::primaryScreen();
}

void fillMonitor(QWidget& window, QScreen& monitor)
{
    // The state goes first: a full-screen window keeps its size whatever is asked.
    window.setWindowState(window.windowState() & ~Qt::WindowFullScreen);
    window.setGeometry(monitor.geometry());
    window.setWindowState(window.windowState() | Qt::WindowFullScreen);
}

void showCentred(QWidget& window)
{
#ifdef VP_HAVE_XCB
    if (xcb_connection_t* c = x11()) {
        const auto id = static_cast<xcb_window_t>(window.winId());
        // Qt writes the size hints, with its own gravity, as it maps the
        // window; the window manager must read ours. Holding the server keeps
        // it from reading anything between the two.
        xcb_grab_server(c);
        window.show();
        setGravity(c, id, CenterGravity);
        xcb_ungrab_server(c);
        xcb_flush(c);
        return;
    }
#endif
    window.show();
}

void noBusAutolaunch()
{
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!bus || !*bus)
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

bool choosePlatform(const char* programPath)
{
    const auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (set("QT_QPA_PLATFORM"))
        return true;
    if (set("WAYLAND_DISPLAY") && set("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    }
    if (set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return true;
    std::fprintf(stderr,
                 "valdrynix-plim needs a graphical desktop and there is no display here (neither DISPLAY nor "
                 "WAYLAND_DISPLAY is set), so start it from a desktop session or on a virtual screen: "
                 "xvfb-run -s \"-screen 0 1024x768x24\" %s\n",
                 programPath);
    return false;
}

} // namespace vp
