// What the placement (core/platform.h) asks of the window system itself. On
// X11 it goes to the X server (core/x11/windowsystem.cpp); where the program is
// built without xcb, core/x11/none.cpp, chosen by the build, leaves it to Qt.
#pragma once

#include "core/x11/wmrules.h"

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <optional>

class QByteArray;
class QWidget;

namespace vp::ws {

// Whether the X display that DISPLAY names can be reached (true where the
// program is built without X11: Qt then says what it finds). The connection
// it opens stays, for the program's watch of the window manager.
bool displayReachable(const char* display);

// The rules of the window manager the program runs under (core/x11/wmrules.h):
// chosen by the name its check window gives, and chosen again once another
// window manager has taken over. Without X11, the row for every other.
const WindowManagerRules& windowManagerRules();

// Keeps a window's button off the taskbar (on X11; elsewhere nothing).
void keepOffTaskbar(QWidget& window);

// Says to the window manager whether a window with a title bar is modal
// (_NET_WM_STATE_MODAL). Qt blocks no input for that, and other programs'
// windows still go over it. Before every map, as keepOffTaskbar().
void tellModal(QWidget& window, bool modal);

// Asks the window manager to make a window that is on screen the active one,
// as the program's own request: with the X server's time of the asking, which
// Qt does not know (it sends the time of the last event it has read, and a
// window manager refuses a request older than the last activation it made
// itself or was asked for by a taskbar). Where there is no window manager
// that takes such requests, as Qt does it. Returns the time it asked with;
// none where Qt asked.
std::optional<std::uint32_t> activate(QWidget& window);

// The window manager's time in a native event that gives a window the focus
// (WM_TAKE_FOCUS), which comes even where that window holds the focus
// already and so no focus change follows; none for any other event.
std::optional<std::uint32_t> focusGivenAt(const QByteArray& eventType, const void* message);

// Whether window-system time `a` comes after `b` (the X server's clock wraps).
constexpr bool later(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) > 0; }

// Where a window is, frame included, as the window manager says it framed it
// (Qt may not have heard of the frame yet and then gives the client area).
QRect frameGeometry(const QWidget& window);

// The top left corner of a window's frame in the X server's own pixels
// (a scaled desktop has two or more to each of the window's); none where
// the window manager has not said what frame it drew.
std::optional<QPoint> frameCornerOnServer(const QWidget& window);

// Shows a window with a title bar whose client area was set centred on its
// monitor so that its frame, title bar included, is centred already on this
// first map and nothing moves afterwards: by the frame seen on an earlier
// window or told by the window manager when asked, or else by the window's
// gravity, which says that the given position is the middle, not the corner
// (win_gravity Center, for a window manager that neither tells the frame
// early nor moves the window later). On Xwayland the window manager reads
// that gravity before Qt maps the window.
void showCentred(QWidget& window);

// Shows a window again whose frame Qt was told to put back where it was:
// where the server's corner is known, that corner is asked for too, to the
// pixel.
void showWithFrameCorner(QWidget& window, std::optional<QPoint> onServer);

} // namespace vp::ws
