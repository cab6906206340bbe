// The few things the window system has to be told directly.
#pragma once

class QWidget;

namespace vp {

// Keeps a window's button off the taskbar (on X11; elsewhere nothing).
void keepOffTaskbar(QWidget& window);

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
