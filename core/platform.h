// The few things the window system has to be told directly.
#pragma once

#include <QPoint>
#include <optional>

class QRect;
class QScreen;
class QWidget;

namespace vp {

// The monitor a window is on: the one that holds the middle of its frame, or
// the primary one where there is no window (or it lies off every monitor).
QScreen* monitorOf(const QWidget* window);

// Lets a window cover the whole of one monitor, panels included: full screen,
// which every window manager puts over its panels (a window merely as large
// as the screen is made a maximised one below them on some). A tiling
// window manager draws nothing but a full-screen window's own transients over
// it, so there the window is instead a floating one as large as the monitor.
void fillMonitor(QWidget& window, QScreen& monitor);

// A tiling window manager (sway, i3) tiles every window that it does not take
// for a dialog; a window of fixed size is one. There every window of the
// program is fixed at its size, so that it floats where it is placed; other
// window managers keep their frames the user can drag. Before the first map.
void floatOnTilingDesktop(QWidget& window);

// Where a window is, frame included, as the window manager says it framed it
// (Qt may not have heard of the frame yet and then gives the client area).
QRect frameGeometryOf(const QWidget& window);

// Shows a window with a title bar whose client area was set centred on its
// monitor so that its frame, title bar included, is centred already on this
// first map and nothing moves afterwards: by the frame seen on an earlier
// window or told by the window manager when asked, or else by the window's
// gravity, which says that the given position is the middle, not the corner
// (win_gravity Center; kwin neither tells the frame early nor moves later).
// On Xwayland the window manager reads that gravity before Qt maps the window.
void showCentred(QWidget& window);

// The top left corner of a window's frame in the X server's own pixels
// (a scaled desktop has two or more to each of the window's); none where
// the window manager has not said what frame it drew.
std::optional<QPoint> frameCornerOnServer(const QWidget& window);

// Shows a window again with its frame's top left corner where it was, to
// the pixel where the server's corner is known.
void showWithFrameAt(QWidget& window, QPoint frameTopLeft, std::optional<QPoint> onServer);

// Keeps a window's button off the taskbar (on X11; elsewhere nothing).
void keepOffTaskbar(QWidget& window);

// The backdrop behind the dialogs and the dialogs in front of it. A
// full-screen window that keeps below (_NET_WM_STATE_BELOW) stays behind the
// dialogs even when a click has made it active itself. kwin, though, puts
// such a window under its panels before it asks whether it is full screen
// (Window::belongsToLayer), and keeps a dialog that Qt makes transient for
// the program's group above the program's other windows only when it is
// modal (shouldKeepTransientAbove). There the backdrop does not keep below,
// so that kwin lifts it over its panels while a dialog of the program is
// active, and the dialogs say to the window manager that they are modal (Qt
// blocks no input for that, and other programs' windows still go over them).
bool keepBelowBehindDialogs();
// Before every map of a dialog, as keepOffTaskbar().
void keepAboveTheProgram(QWidget& dialog);

// Where no platform was chosen and an X server is there too, prefer it over a
// Wayland compositor: centring windows and handing the focus back need it.
// Returns false, having said why in one line on stderr, when there is no
// display at all or the X display that DISPLAY names cannot be reached. On
// Wayland alone it says in one line what is lost there, and goes on.
bool choosePlatform(const char* programPath);

// Where the desktop has no session bus, keeps D-Bus from starting one: libdbus
// would run dbus-launch (a bus daemon that outlives the program, with files
// in the home folder) the first time Qt asks about accessibility or the
// theme. The program starts no program and writes nothing.
void noBusAutolaunch();

} // namespace vp
