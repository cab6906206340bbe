#include "platform.h"

#include "trace.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
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
            qCDebug(lcTrace, "x: focus %s 0x%x mode %d detail %d",
                    (e->response_type & 0x7f) == XCB_FOCUS_IN ? "in" : "out", f->event, f->mode, f->detail);
            break;
        }
        case XCB_CLIENT_MESSAGE:
            qCDebug(lcTrace, "x: client message to 0x%x",
                    reinterpret_cast<const xcb_client_message_event_t*>(e)->window);
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
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = XCB_ATOM_NONE;
    if (r)
        a = r->atom;
    std::free(r);
    return a;
}

// WM_NORMAL_HINTS as ICCCM lays it out: 18 numbers, the flags first and the
// window gravity last.
constexpr std::uint32_t PWinGravity = 1U << 9;
constexpr std::uint32_t NorthWestGravity = 1;
constexpr std::uint32_t CenterGravity = 5;
constexpr int SizeHintsLength = 18;

void setGravity(xcb_connection_t* c, xcb_window_t id, std::uint32_t gravity)
{
    std::uint32_t hints[SizeHintsLength] = {};
    if (xcb_get_property_reply_t* r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, SizeHintsLength),
            nullptr)) {
        if (r->format == 32)
            std::memcpy(
                hints, xcb_get_property_value(r),
                std::min<std::size_t>(sizeof hints, static_cast<std::size_t>(xcb_get_property_value_length(r))));
        std::free(r);
    }
    hints[0] |= PWinGravity;
    hints[SizeHintsLength - 1] = gravity;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                        SizeHintsLength, hints);
}

// The X server is Xwayland, a Wayland compositor's: it names its outputs
// XWAYLAND0, XWAYLAND1, ... (Debian 12's Xwayland has no extension of its own
// to ask for).
bool xwayland()
{
    const auto screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [](const QScreen* s) { return s->name().startsWith(QLatin1String("XWAYLAND")); });
}

// The window manager has taken the window on: ICCCM's WM_STATE is there, normal or iconic.
bool placedByWindowManager(xcb_connection_t* c, xcb_window_t id)
{
    const xcb_atom_t wmState = atom(c, "WM_STATE");
    bool placed = false;
    if (xcb_get_property_reply_t* r =
            xcb_get_property_reply(c, xcb_get_property(c, 0, id, wmState, wmState, 0, 2), nullptr)) {
        placed = r->format == 32 && xcb_get_property_value_length(r) >= 4 &&
                 *static_cast<const std::uint32_t*>(xcb_get_property_value(r)) != 0;
        std::free(r);
    }
    return placed;
}

} // namespace
#endif

#ifdef VP_HAVE_XCB
namespace {

// Adds states to a window's _NET_WM_STATE. Only while the window is unmapped
// may a client write its own state; the atoms already there (Qt's, or ours
// from an earlier showing) stay.
void addStates(xcb_connection_t* c, QWidget& window, std::initializer_list<const char*> names)
{
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const auto id = static_cast<xcb_window_t>(window.winId());
    std::vector<xcb_atom_t> atoms;
    if (xcb_get_property_reply_t* r =
            xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr)) {
        if (r->format == 32) {
            const auto* a = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
            atoms.assign(a, a + xcb_get_property_value_length(r) / 4);
        }
        std::free(r);
    }
    for (const char* name : names)
        if (const xcb_atom_t added = atom(c, name);
            added != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), added) == atoms.end())
            atoms.push_back(added);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
}

// The name the window manager gives its check window (_NET_SUPPORTING_WM_CHECK).
QByteArray windowManagerName(xcb_connection_t* c)
{
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    xcb_window_t wm = XCB_WINDOW_NONE;
    if (xcb_get_property_reply_t* r =
            xcb_get_property_reply(c, xcb_get_property(c, 0, scr->root, check, XCB_ATOM_WINDOW, 0, 1), nullptr)) {
        if (r->format == 32 && xcb_get_property_value_length(r) == 4)
            wm = *static_cast<const xcb_window_t*>(xcb_get_property_value(r));
        std::free(r);
    }
    QByteArray name;
    if (wm != XCB_WINDOW_NONE)
        if (xcb_get_property_reply_t* r = xcb_get_property_reply(
                c, xcb_get_property(c, 0, wm, atom(c, "_NET_WM_NAME"), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr)) {
            name = QByteArray(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
            std::free(r);
        }
    return name;
}

// KDE's kwin, on X11 or in Plasma's Wayland session.
bool kwin(xcb_connection_t* c)
{
    static const bool is = windowManagerName(c) == "KWin";
    return is;
}

} // namespace
#endif

void keepOffTaskbar(QWidget& window)
{
#ifdef VP_HAVE_XCB
    if (xcb_connection_t* c = x11())
        addStates(c, window, {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
#else
    (void)window;
#endif
}

bool keepBelowBehindDialogs()
{
#ifdef VP_HAVE_XCB
    xcb_connection_t* c = x11();
    return !c || !kwin(c);
#else
    return true;
#endif
}

void keepAboveTheProgram(QWidget& dialog)
{
#ifdef VP_HAVE_XCB
    if (xcb_connection_t* c = x11(); c && kwin(c))
        addStates(c, dialog, {"_NET_WM_STATE_MODAL"});
#else
    (void)dialog;
#endif
}

namespace {

// Tiling window managers know no hint that asks for floating; they are known
// by the name their check window gives (sway's Xwayland: "wlroots wm").
bool tilingWindowManager()
{
#ifdef VP_HAVE_XCB
    static const bool tiling = [] {
        xcb_connection_t* c = x11();
        if (!c)
            return false;
        const QByteArray name = windowManagerName(c);
        return name == "wlroots wm" || name == "i3";
    }();
    return tiling;
#else
    return false;
#endif
}

} // namespace

void floatOnTilingDesktop(QWidget& window)
{
    if (tilingWindowManager())
        window.setFixedSize(window.size());
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
    if (tilingWindowManager()) {
        window.setFixedSize(monitor.geometry().size());
        window.setGeometry(monitor.geometry());
        return;
    }
    // The state goes first: a full-screen window keeps its size whatever is asked.
    window.setWindowState(window.windowState() & ~Qt::WindowFullScreen);
    window.setGeometry(monitor.geometry());
    window.setWindowState(window.windowState() | Qt::WindowFullScreen);
}

#ifdef VP_HAVE_XCB
namespace {

bool supported(xcb_connection_t* c, xcb_window_t root, xcb_atom_t wanted)
{
    bool found = false;
    if (xcb_get_property_reply_t* r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096), nullptr)) {
        const auto* a = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
        found =
            std::find(a, a + xcb_get_property_value_length(r) / 4, wanted) != a + xcb_get_property_value_length(r) / 4;
        std::free(r);
    }
    return found;
}

std::optional<QMargins> extentsOf(xcb_connection_t* c, xcb_window_t id)
{
    std::optional<QMargins> m;
    if (xcb_get_property_reply_t* r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, id, atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4), nullptr)) {
        if (r->format == 32 && xcb_get_property_value_length(r) == 16) {
            const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(r));
            m = QMargins(static_cast<int>(e[0]), static_cast<int>(e[2]), static_cast<int>(e[1]),
                         static_cast<int>(e[3]));
        }
        std::free(r);
    }
    return m;
}

// The decorations the window manager draws around a window with a title bar:
// as it drew them on one of ours already, or as it answers when asked before
// the first map (where it can be asked; kwin cannot).
std::optional<QMargins> frameFor(xcb_connection_t* c, QWidget& window)
{
    static std::optional<QMargins> known;
    if (known)
        return known;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != &window && w->isVisible() && !(w->windowFlags() & Qt::FramelessWindowHint) &&
            w->testAttribute(Qt::WA_WState_Created))
            if (auto m = extentsOf(c, static_cast<xcb_window_t>(w->winId())); m && !m->isNull())
                return known = m;
    }
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    if (!scr || !supported(c, scr->root, request))
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_client_message_event_t e = {};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = id;
    e.type = request;
    xcb_send_event(c, 0, scr->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(c);
    // The answer comes within a few milliseconds; a window manager that does
    // not give it costs a fifth of a second once.
    for (int i = 0; i < 40; ++i) {
        if (auto m = extentsOf(c, id))
            return known = m;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

// The window manager gives its frame in the screen's pixels; a scaled
// desktop (Xft.dpi 192: two of them to each of the window's) needs them in
// the window's.
QMargins inWindowPixels(const QMargins& frame, const QWidget& window) { return frame / window.devicePixelRatioF(); }

} // namespace
#endif

QRect frameGeometryOf(const QWidget& window)
{
#ifdef VP_HAVE_XCB
    if (xcb_connection_t* c = x11(); c && window.testAttribute(Qt::WA_WState_Created))
        if (const auto frame = extentsOf(c, static_cast<xcb_window_t>(window.winId())))
            return window.geometry().marginsAdded(inWindowPixels(*frame, window));
#endif
    return window.frameGeometry();
}

void showCentred(QWidget& window)
{
#ifdef VP_HAVE_XCB
    if (xcb_connection_t* c = x11()) {
        // With the frame known, the client goes where the frame ends up centred.
        if (const auto frame = frameFor(c, window)) {
            const qreal ratio = window.devicePixelRatioF();
            window.setGeometry(window.geometry().translated(qRound((frame->left() - frame->right()) / 2.0 / ratio),
                                                            qRound((frame->top() - frame->bottom()) / 2.0 / ratio)));
            window.show();
            return;
        }
        // Otherwise the window manager centres it: Qt writes the size hints,
        // with its own gravity, as it maps the window, and the window manager
        // must read ours. Holding the server keeps it from reading anything
        // between the two.
        const auto id = static_cast<xcb_window_t>(window.winId());
        if (xwayland()) {
            // Xwayland does not hold its compositor's window manager back while
            // a client has the server grabbed: kwin_wayland takes a window on,
            // with Qt's hints, while the grab is held. So the window is mapped
            // with our hints first, and Qt shows it once the window manager has
            // placed it (a few milliseconds; half a second at most); Qt's own
            // hints and its map request then come too late to move it.
            setGravity(c, id, CenterGravity);
            xcb_map_window(c, id);
            xcb_flush(c);
            for (int i = 0; i < 250 && !placedByWindowManager(c, id); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            window.show();
            return;
        }
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

std::optional<QPoint> frameCornerOnServer(const QWidget& window)
{
    std::optional<QPoint> at;
#ifdef VP_HAVE_XCB
    xcb_connection_t* c = x11();
    if (!c || !window.testAttribute(Qt::WA_WState_Created))
        return at;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_screen_t* scr = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const auto frame = extentsOf(c, id);
    if (auto* t = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, scr->root, 0, 0), nullptr)) {
        if (frame)
            at = QPoint(t->dst_x - frame->left(), t->dst_y - frame->top());
        std::free(t);
    }
#else
    (void)window;
#endif
    return at;
}

void showWithFrameAt(QWidget& window, QPoint frameTopLeft, std::optional<QPoint> onServer)
{
    if (QWindow* handle = window.windowHandle())
        handle->setFramePosition(frameTopLeft);
#ifdef VP_HAVE_XCB
    if (xcb_connection_t* c = x11(); c && onServer) {
        // Until Qt has heard where the window manager put the window back when
        // it was hidden (where its frame was), Qt maps it there by its client
        // area, a title bar off. The frame's corner is therefore asked for on
        // the server too, last, with the gravity that means the frame.
        const QPoint at = *onServer;
        const auto id = static_cast<xcb_window_t>(window.winId());
        xcb_grab_server(c);
        window.show();
        const std::uint32_t xy[] = {static_cast<std::uint32_t>(at.x()), static_cast<std::uint32_t>(at.y())};
        setGravity(c, id, NorthWestGravity);
        xcb_configure_window(c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
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
        const std::string socket =
            wayland[0] == '/' ? std::string(wayland) : std::string(runtime ? runtime : "") + "/" + wayland;
        struct stat st {};
        if ((wayland[0] != '/' && !runtime) || stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
            std::fprintf(stderr,
                         "valdrynix-plim cannot reach the Wayland display \"%s\" that WAYLAND_DISPLAY names (no "
                         "compositor's socket %s) and DISPLAY is not set\n",
                         wayland, socket.c_str());
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
    if (!x && wayland) {
        std::fprintf(stderr, "valdrynix-plim was asked for X11 (QT_QPA_PLATFORM=%s) but DISPLAY is not set\n",
                     platform);
        return false;
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
        std::fprintf(stderr,
                     "valdrynix-plim cannot reach the X display \"%s\" that DISPLAY names (it is not there, or "
                     "it does not let this user in)\n",
                     x);
        return false;
    }
#endif
    if (!platform && wayland)
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
}

} // namespace vp
