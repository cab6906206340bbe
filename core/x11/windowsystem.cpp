#include "core/x11/windowsystem.h"

#include "core/trace.h"
#include "core/x11/xcb.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>

namespace vp::ws {

using namespace std::chrono_literals;
using x11::Atom;
using x11::atom;

namespace {

// What the program knows of the window manager, asked once and dropped as
// soon as another one takes over (it names another check window on the
// root) or it says anew what it supports.
struct WindowManager {
    const WindowManagerRules* rules = nullptr; // its row of the table, once its name is read
    std::optional<std::vector<xcb_atom_t>> supported;
    std::optional<QMargins> frame;       // around a window with a title bar, in the server's pixels
    bool framesUnknownBeforeMap = false; // asked before the first map, it tells no frame (mutter 48)
};

WindowManager& windowManager()
{
    static WindowManager known;
    static bool watched = false;
    x11::Watch* watch = x11::Watch::instance();
    if (watch && !watched) {
        watched = true;
        watch->onRootProperty = [](xcb_atom_t changed) {
            if (changed == atom(Atom::NetSupportingWmCheck)) {
                qCDebug(lcTrace, "x: another window manager");
                known = {};
            } else if (changed == atom(Atom::NetSupported)) {
                known.supported.reset();
            }
        };
    }
    // What has happened on the root window by now counts before anything known is used.
    if (watch)
        watch->dispatch();
    return known;
}

bool supported(xcb_connection_t* c, xcb_atom_t wanted)
{
    auto& wm = windowManager();
    if (!wm.supported)
        wm.supported = x11::atoms(c, x11::rootOf(c), atom(Atom::NetSupported), 4096);
    return std::find(wm.supported->begin(), wm.supported->end(), wanted) != wm.supported->end();
}

xcb_window_t idOf(const QWidget& window) { return static_cast<xcb_window_t>(window.winId()); }

// The window manager's row of the table, by the name its check window gives
// (_NET_SUPPORTING_WM_CHECK).
const WindowManagerRules& rulesOf(xcb_connection_t* c)
{
    auto& wm = windowManager();
    if (!wm.rules) {
        const xcb_window_t check = x11::window(c, x11::rootOf(c), atom(Atom::NetSupportingWmCheck));
        const QByteArray name = check == XCB_WINDOW_NONE ? QByteArray() : x11::bytes(c, check, atom(Atom::NetWmName));
        wm.rules = &rulesFor(std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
        qCDebug(lcTrace, "x: window manager \"%s\": %s", name.constData(),
                wm.rules->name.empty() ? "no rules of its own" : "rules of its own");
    }
    return *wm.rules;
}

// Sets or clears states of a window's _NET_WM_STATE. Only while the window
// is unmapped may a client write its own state; the other atoms there (Qt's,
// or ours from an earlier showing) stay.
void setStates(xcb_connection_t* c, QWidget& window, std::initializer_list<xcb_atom_t> changed, bool on)
{
    const xcb_window_t id = idOf(window);
    const auto before = x11::atoms(c, id, atom(Atom::NetWmState));
    auto state = before;
    for (const xcb_atom_t a : changed) {
        if (a == XCB_ATOM_NONE)
            continue;
        const bool there = std::find(state.begin(), state.end(), a) != state.end();
        if (on && !there)
            state.push_back(a);
        else if (!on && there)
            state.erase(std::remove(state.begin(), state.end(), a), state.end());
    }
    if (state == before)
        return;
    x11::setAtoms(c, id, atom(Atom::NetWmState), state);
    xcb_flush(c);
}

// WM_NORMAL_HINTS as ICCCM lays it out: 18 numbers, the flags first and the
// window gravity last.
constexpr std::uint32_t PWinGravity = 1U << 9;
constexpr std::uint32_t NorthWestGravity = 1;
constexpr std::uint32_t CenterGravity = 5;
constexpr std::uint32_t SizeHintsLength = 18;

void setGravity(xcb_connection_t* c, xcb_window_t id, std::uint32_t gravity)
{
    auto hints = x11::cardinals(c, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, SizeHintsLength);
    hints.resize(SizeHintsLength);
    hints.front() |= PWinGravity;
    hints.back() = gravity;
    x11::setCardinals(c, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, hints);
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
    const auto state = x11::cardinals(c, id, atom(Atom::WmState), atom(Atom::WmState), 2);
    return !state.empty() && state.front() != 0;
}

std::optional<QMargins> extentsOf(xcb_connection_t* c, xcb_window_t id)
{
    const auto e = x11::cardinals(c, id, atom(Atom::NetFrameExtents), XCB_ATOM_CARDINAL, 4);
    if (e.size() != 4)
        return std::nullopt;
    return QMargins(static_cast<int>(e[0]), static_cast<int>(e[2]), static_cast<int>(e[1]), static_cast<int>(e[3]));
}

int msSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// The decorations the window manager draws around a window with a title bar:
// as it drew them on one of ours already, or as it answers when asked before
// the first map (where it can be asked; some cannot be).
std::optional<QMargins> frameFor(xcb_connection_t* c, QWidget& window)
{
    auto& wm = windowManager();
    if (wm.frame)
        return wm.frame;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != &window && w->isVisible() && !(w->windowFlags() & Qt::FramelessWindowHint) &&
            w->testAttribute(Qt::WA_WState_Created))
            if (auto m = extentsOf(c, idOf(*w)); m && !m->isNull())
                return wm.frame = m;
    }
    const xcb_atom_t request = atom(Atom::NetRequestFrameExtents);
    if (!supported(c, request) || wm.framesUnknownBeforeMap)
        return std::nullopt;
    const xcb_window_t id = idOf(window);
    // The answer is a change of the window's _NET_FRAME_EXTENTS, watched for
    // from before the question; it comes within a few milliseconds, and a
    // window manager that does not give it costs a fifth of a second once.
    x11::Watch::Selection changes(id);
    xcb_client_message_event_t e = {};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = id;
    e.type = request;
    xcb_send_event(c, 0, x11::rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(c);
    const auto asked = std::chrono::steady_clock::now();
    // A window with a title bar has a frame: mutter 48, whose frames another
    // process draws, first answers with none at all, and that answer is not
    // the frame the window gets.
    std::optional<QMargins> told;
    changes.waitFor(atom(Atom::NetFrameExtents), 200ms,
                    [&] { return (told = extentsOf(c, id)).has_value() && !told->isNull(); });
    if (told && told->isNull()) {
        told.reset();
        wm.framesUnknownBeforeMap = true; // not asked again
    }
    qCDebug(lcTrace, "x: frame extents of 0x%x %s after %d ms: %d %d %d %d", id, told ? "told" : "not told",
            msSince(asked), told ? told->left() : -1, told ? told->right() : -1, told ? told->top() : -1,
            told ? told->bottom() : -1);
    if (told)
        wm.frame = told;
    return told;
}

// The window manager gives its frame in the screen's pixels; a scaled
// desktop (Xft.dpi 192: two of them to each of the window's) needs them in
// the window's.
QMargins inWindowPixels(const QMargins& frame, const QWidget& window) { return frame / window.devicePixelRatioF(); }

} // namespace

bool displayReachable(const char* display) { return x11::Watch::connectAhead(display); }

const WindowManagerRules& windowManagerRules()
{
    xcb_connection_t* c = x11::qtConnection();
    return c ? rulesOf(c) : rulesFor({});
}

void keepOffTaskbar(QWidget& window)
{
    if (xcb_connection_t* c = x11::qtConnection())
        setStates(c, window, {atom(Atom::NetWmStateSkipTaskbar), atom(Atom::NetWmStateSkipPager)}, true);
}

void tellModal(QWidget& window, bool modal)
{
    if (xcb_connection_t* c = x11::qtConnection())
        setStates(c, window, {atom(Atom::NetWmStateModal)}, modal);
}

namespace {

// The X server's time now (ICCCM 2.1): a property of the window appended
// with nothing, whose PropertyNotify carries the time. None where the watch
// is missing or the event does not come within its deadline.
std::optional<xcb_timestamp_t> serverTimeNow(xcb_connection_t* c, xcb_window_t id)
{
    xcb_timestamp_t now = XCB_CURRENT_TIME;
    const xcb_atom_t marker = atom(Atom::VpServerTime);
    x11::Watch::Selection changes(id, XCB_EVENT_MASK_PROPERTY_CHANGE, [&](const xcb_generic_event_t& e) {
        if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return;
        const auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(e);
        if (p.atom == marker)
            now = p.time;
    });
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, marker, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    if (!changes.waitFor(marker, 500ms, [&] { return now != XCB_CURRENT_TIME; }))
        return std::nullopt;
    return now;
}

} // namespace

std::optional<std::uint32_t> activate(QWidget& window)
{
    xcb_connection_t* c = x11::qtConnection();
    // A window the window manager has not taken on yet is Qt's to activate:
    // Qt waits for the map, and a request before it would be lost.
    const bool taken = c && window.testAttribute(Qt::WA_WState_Created) && window.isVisible() &&
                       supported(c, atom(Atom::NetActiveWindow)) && placedByWindowManager(c, idOf(window));
    const xcb_window_t id = taken ? idOf(window) : xcb_window_t{XCB_WINDOW_NONE};
    const auto now = taken ? serverTimeNow(c, id) : std::nullopt;
    if (!now) {
        window.activateWindow();
        return std::nullopt;
    }
    const QWindow* focus = QGuiApplication::focusWindow();
    xcb_client_message_event_t e = {};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = id;
    e.type = atom(Atom::NetActiveWindow);
    e.data.data32[0] = 1; // a request of the program's own
    e.data.data32[1] = *now;
    e.data.data32[2] = focus ? static_cast<xcb_window_t>(focus->winId()) : xcb_window_t{XCB_WINDOW_NONE};
    xcb_send_event(c, 0, x11::rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(c);
    qCDebug(lcTrace, "x: 0x%x activation asked at %u", id, *now);
    return now;
}

std::optional<std::uint32_t> focusGivenAt(const QByteArray& eventType, const void* message)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return std::nullopt;
    const auto& e = *static_cast<const xcb_generic_event_t*>(message);
    if ((e.response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return std::nullopt;
    const auto& m = reinterpret_cast<const xcb_client_message_event_t&>(e);
    if (m.format != 32 || m.type != atom(Atom::WmProtocols) || m.data.data32[0] != atom(Atom::WmTakeFocus))
        return std::nullopt;
    qCDebug(lcTrace, "x: 0x%x focus given at %u", m.window, m.data.data32[1]);
    return m.data.data32[1];
}

QRect frameGeometry(const QWidget& window)
{
    if (xcb_connection_t* c = x11::qtConnection(); c && window.testAttribute(Qt::WA_WState_Created))
        if (const auto frame = extentsOf(c, idOf(window)))
            return window.geometry().marginsAdded(inWindowPixels(*frame, window));
    return window.frameGeometry();
}

std::optional<QPoint> frameCornerOnServer(const QWidget& window)
{
    xcb_connection_t* c = x11::qtConnection();
    if (!c || !window.testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
    const xcb_window_t id = idOf(window);
    const auto frame = extentsOf(c, id);
    const auto at = x11::positionOnRoot(c, id);
    if (!frame || !at)
        return std::nullopt;
    return *at - QPoint(frame->left(), frame->top());
}

void showCentred(QWidget& window)
{
    xcb_connection_t* c = x11::qtConnection();
    if (!c) {
        window.show();
        return;
    }
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
    const xcb_window_t id = idOf(window);
    if (xwayland()) {
        // Xwayland does not hold its compositor's window manager back while
        // a client has the server grabbed: kwin_wayland takes a window on,
        // with Qt's hints, while the grab is held. So the window is mapped
        // with our hints first, and Qt shows it once the window manager has
        // taken it on (WM_STATE appears: a few milliseconds; half a second at
        // most); Qt's own hints and its map request then come too late to move it.
        setGravity(c, id, CenterGravity);
        {
            x11::Watch::Selection changes(id);
            xcb_map_window(c, id);
            xcb_flush(c);
            const auto mapped = std::chrono::steady_clock::now();
            const bool placed =
                changes.waitFor(atom(Atom::WmState), 500ms, [&] { return placedByWindowManager(c, id); });
            qCDebug(lcTrace, "x: 0x%x %s after %d ms", id, placed ? "taken on" : "not taken on", msSince(mapped));
        }
        window.show();
        return;
    }
    xcb_grab_server(c);
    window.show();
    setGravity(c, id, CenterGravity);
    xcb_ungrab_server(c);
    xcb_flush(c);
}

void showWithFrameCorner(QWidget& window, std::optional<QPoint> onServer)
{
    xcb_connection_t* c = x11::qtConnection();
    if (!c || !onServer) {
        window.show();
        return;
    }
    // Until Qt has heard where the window manager put the window back when
    // it was hidden (where its frame was), Qt maps it there by its client
    // area, a title bar off. The frame's corner is therefore asked for on
    // the server too, last, with the gravity that means the frame.
    const xcb_window_t id = idOf(window);
    xcb_grab_server(c);
    window.show();
    const std::uint32_t xy[] = {static_cast<std::uint32_t>(onServer->x()), static_cast<std::uint32_t>(onServer->y())};
    setGravity(c, id, NorthWestGravity);
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    xcb_ungrab_server(c);
    xcb_flush(c);
}

} // namespace vp::ws
