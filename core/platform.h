// Where the program's windows go on the desktop, and how it starts there.
// What it asks of the window system itself is in core/x11/.
#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <optional>

class QScreen;
class QWidget;

namespace vp::ws {
struct WindowManagerRules;
}

namespace vp {

// The monitor a window is on: the one that holds the middle of its frame, or
// the primary one where there is no window (or it lies off every monitor).
QScreen* monitorOf(const QWidget* window);

// Where one window goes each time it is shown: the only place that decides it.
class Placement {
public:
    struct Rule {
        bool fill = false;   // covers its monitor, panels included
        bool centred = true; // centred on its monitor, frame included
        bool titled = true;  // has a title bar, a frame drawn by the window manager
        bool taskbar = true; // has a button on the taskbar
        bool behind = false; // stays behind the program's other windows, even while it is active
    };
    explicit Placement(Rule rule) : m_rule(rule) {}

    // Shows the window. One not on the screen is placed first, on `monitor`
    // (the program's: that of the screen whose handler shows it): over the
    // whole of it, back where it was when that is on it, or centred on it.
    void show(QWidget& window, QScreen* monitor);

    // Hides the window, remembering where it was.
    void hide(QWidget& window);

    // A window built anew has been nowhere yet.
    void forget();

private:
    enum class How : std::uint8_t { AsItIs, Centred, BackWhereItWas };
    How place(QWidget& window, QScreen& monitor, const ws::WindowManagerRules& wm);
    static void keepBelow(QWidget& window, bool below);

    Rule m_rule;
    QRect m_shownAt;                       // where the window was, frame included, when it was last hidden
    std::optional<QPoint> m_frameOnServer; // its frame's corner then, in the X server's pixels
};

// Where no platform was chosen and an X server is there too, prefer it over a
// Wayland compositor: centring windows and handing the focus back need it.
// Returns false, having said why in one line on stderr, when there is no
// display at all or the X display that DISPLAY names cannot be reached. On
// Wayland alone it says in one line what is lost there, and goes on. Its
// lines begin with `program`, the program's name.
bool choosePlatform(const char* program, const char* programPath);

// Where the desktop has no session bus, keeps D-Bus from starting one: libdbus
// would run dbus-launch (a bus daemon that outlives the program, with files
// in the home folder) the first time Qt asks about accessibility or the
// theme. The program starts no program and writes nothing.
void noBusAutolaunch();

} // namespace vp
