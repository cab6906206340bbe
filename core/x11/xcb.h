// The X server as the program talks to it: replies that free themselves,
// atoms interned once, properties read and written by type, and a connection
// of the program's own on which it waits for what the window manager does.
// Built only where xcb is there (core/x11/CMakeLists.txt).
#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QPoint>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

namespace vp::x11 {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// A reply or an event as xcb hands it over: the caller's to free.
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Qt's own connection; nullptr where Qt is not on X11 (offscreen, Wayland).
xcb_connection_t* qtConnection();

xcb_window_t rootOf(xcb_connection_t* c);

// Waits until the server has done everything asked on `c` so far.
void roundTrip(xcb_connection_t* c);

// Atoms by name, all asked for at once and answered in one round trip.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c, std::initializer_list<const char*> names);

// The atoms the program itself uses, each named once here: the enum and the
// names are made from this one list. Interned on the first use, all at once
// (atoms live as long as the X server, whichever connection asked).
#define VP_X11_ATOMS(X)                                                                                                \
    X(WmState, "WM_STATE")                                                                                             \
    X(WmProtocols, "WM_PROTOCOLS")                                                                                     \
    X(WmTakeFocus, "WM_TAKE_FOCUS")                                                                                    \
    X(NetWmState, "_NET_WM_STATE")                                                                                     \
    X(NetWmStateSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR")                                                             \
    X(NetWmStateSkipPager, "_NET_WM_STATE_SKIP_PAGER")                                                                 \
    X(NetWmStateModal, "_NET_WM_STATE_MODAL")                                                                          \
    X(NetSupportingWmCheck, "_NET_SUPPORTING_WM_CHECK")                                                                \
    X(NetSupported, "_NET_SUPPORTED")                                                                                  \
    X(NetWmName, "_NET_WM_NAME")                                                                                       \
    X(NetFrameExtents, "_NET_FRAME_EXTENTS")                                                                           \
    X(NetRequestFrameExtents, "_NET_REQUEST_FRAME_EXTENTS")                                                            \
    X(NetActiveWindow, "_NET_ACTIVE_WINDOW")                                                                           \
    X(VpServerTime, "_VP_SERVER_TIME")

enum class Atom : std::uint8_t {
#define VP_X11_ATOM_ENUM(id, name) id,
    VP_X11_ATOMS(VP_X11_ATOM_ENUM)
#undef VP_X11_ATOM_ENUM
};
xcb_atom_t atom(Atom a);

// A property of format 32 as numbers (cardinals, atoms, windows, WM_STATE);
// none where the window lacks it or it has another format or type.
std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                     xcb_atom_t type = XCB_ATOM_CARDINAL, std::uint32_t most = 64);
std::vector<xcb_atom_t> atoms(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, std::uint32_t most = 1024);
// A property that names one window; XCB_WINDOW_NONE where there is none.
xcb_window_t window(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property);
// A property's bytes, of any type.
QByteArray bytes(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, std::uint32_t most = 64);

void setCardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                  const std::vector<std::uint32_t>& values);
void setAtoms(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, const std::vector<xcb_atom_t>& values);

// Where a window's top left corner is on its root window.
std::optional<QPoint> positionOnRoot(xcb_connection_t* c, xcb_window_t w);

// A connection of the program's own beside Qt's, to wait on. Qt's
// connection is read by Qt's event thread: an event taken from it would be
// lost to Qt, and a wait in a nested event loop would run the program's
// handlers inside the one that waits. Here events are selected on any window
// (each connection has its own event mask, so Qt's stays as it was) and read
// with a deadline, without giving the event loop a turn; between waits the
// event loop reads them.
class Watch {
public:
    // The program's watch, connected on the first call; nullptr where Qt is
    // not on X11 or the server cannot be reached a second time.
    static Watch* instance();

    // Connects to `display` ahead of Qt, which aborts on a display it cannot
    // open: false where the server cannot be reached. The connection is kept
    // for the watch, so that start-up opens no third one.
    static bool connectAhead(const char* display);

    // Called with every PropertyNotify on the root window, wherever it is read.
    std::function<void(xcb_atom_t property)> onRootProperty;

    // Events of one window, selected for as long as the selection lives
    // (property changes of the root window stay selected).
    class Selection {
    public:
        // `seen`, if given, is told of every event of the window.
        explicit Selection(xcb_window_t w, std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE,
                           std::function<void(const xcb_generic_event_t&)> seen = {});
        ~Selection();
        Selection(const Selection&) = delete;
        Selection& operator=(const Selection&) = delete;

        // Returns as soon as `done` says so (asked first, then after every
        // change of `property`) or the deadline passes: then what `done` says.
        bool waitFor(xcb_atom_t property, std::chrono::milliseconds deadline, const std::function<bool()>& done);

    private:
        friend class Watch;
        Watch* m_watch;
        xcb_window_t m_window;
        std::function<void(const xcb_generic_event_t&)> m_seen;
        xcb_atom_t m_awaited = XCB_ATOM_NONE;
        bool m_changed = false;
    };

    // Handles what has come in so far, without waiting.
    void dispatch();

    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

private:
    explicit Watch(xcb_connection_t* c);
    void handle(const xcb_generic_event_t& e);

    xcb_connection_t* m_c;
    xcb_window_t m_root;
    std::vector<Selection*> m_selections;
    struct Notifier;
    std::unique_ptr<Notifier> m_notifier;
};

} // namespace vp::x11
