// The few things the window system has to be told directly.
#pragma once

class QWidget;

namespace vp {

// Keeps a window's button off the taskbar (on X11; elsewhere nothing).
void keepOffTaskbar(QWidget& window);

// Where no platform was chosen and an X server is there too, prefer it over a
// Wayland compositor: centring windows and handing the focus back need it.
// Returns false, having said why on stderr, when there is no display at all.
bool choosePlatform(const char* programPath);

} // namespace vp
