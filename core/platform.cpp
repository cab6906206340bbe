#include "platform.h"

#include "trace.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
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

void keepOffTaskbar(QWidget& window)
{
#ifdef VP_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        xcb_atom_t a = XCB_ATOM_NONE;
        if (r)
            a = r->atom;
        std::free(r);
        return a;
    };
    const xcb_atom_t state = atom("_NET_WM_STATE");
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
    for (const xcb_atom_t skip : {atom("_NET_WM_STATE_SKIP_TASKBAR"), atom("_NET_WM_STATE_SKIP_PAGER")})
        if (skip != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), skip) == atoms.end())
            atoms.push_back(skip);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
#else
    (void)window;
#endif
}

void noBusAutolaunch()
{
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!bus || !*bus)
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

bool choosePlatform(const char* programPath)
{
    const auto value = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v ? v : nullptr;
    };
    const char* platform = value("QT_QPA_PLATFORM");
    const char* x = value("DISPLAY");
    const char* wayland = value("WAYLAND_DISPLAY");
    if (platform && std::strncmp(platform, "xcb", 3) != 0)
        return true;
    if (!platform && !x && wayland) {
        // The compositor's socket: WAYLAND_DISPLAY itself, or that name in XDG_RUNTIME_DIR.
        const char* runtime = value("XDG_RUNTIME_DIR");
        const std::string socket = wayland[0] == '/' ? std::string(wayland) : std::string(runtime ? runtime : "") + "/" + wayland;
        struct stat st {};
        if ((wayland[0] != '/' && !runtime) || stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
            std::fprintf(stderr, "valdrynix-plim cannot reach the Wayland display \"%s\" that WAYLAND_DISPLAY names (no "
                                 "compositor's socket %s) and DISPLAY is not set\n", wayland, socket.c_str());
            return false;
        }
        // Qt's own choice there is a native Wayland client, through its Wayland plugin (qt6-wayland).
        const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
        if (plugins.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty()) {
            std::fprintf(stderr,
                         "valdrynix-plim cannot show its windows on the Wayland display \"%s\": Qt's Wayland support "
                         "(qt6-wayland) is not installed and DISPLAY is not set; run it through Xwayland (on a "
                         "desktop that provides it, DISPLAY is set)\n",
                         wayland);
            return false;
        }
        std::fprintf(stderr,
                     "valdrynix-plim: on Wayland (WAYLAND_DISPLAY=%s, no DISPLAY) a program cannot place its windows, "
                     "keep the backdrop below the others or keep its windows off the taskbar, so this is not the whole "
                     "show; for that, run it through Xwayland (on a desktop that provides it, DISPLAY is set)\n",
                     wayland);
        return true;
    }
    if (!x) {
        std::fprintf(stderr,
                     "valdrynix-plim needs a graphical desktop and there is no display here (neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set), so start it from a desktop session or on a virtual screen: "
                     "xvfb-run -s \"-screen 0 1024x768x24\" %s\n",
                     programPath);
        return false;
    }
#ifdef VP_HAVE_XCB
    // Qt would abort on a display it cannot open; say which one it was instead.
    xcb_connection_t* c = xcb_connect(x, nullptr);
    const bool reached = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    if (!reached) {
        std::fprintf(stderr, "valdrynix-plim cannot reach the X display \"%s\" that DISPLAY names (it is not there, or "
                             "it does not let this user in)\n", x);
        return false;
    }
#endif
    if (!platform && wayland)
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
}

} // namespace vp
