#include "platform.h"

#include "core/x11/windowsystem.h"

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace vp {

QScreen* monitorOf(const QWidget* window)
{
    if (window) {
        if (QScreen* s = QGuiApplication::screenAt(window->frameGeometry().center()))
            return s;
    }
    return QGuiApplication::primaryScreen();
}

// ---------------------------------------------------------------- placement

void Placement::show(QWidget& window, QScreen* monitor)
{
    if (window.isVisible()) {
        window.show();
        return;
    }
    // What the window manager is told is decided anew before every map, by
    // the rules of the one running then (another may have taken over).
    const ws::WindowManagerRules& wm = ws::windowManagerRules();
    if (m_rule.behind)
        keepBelow(window, !wm.keepBelowGoesUnderPanels);
    const How how = monitor ? place(window, *monitor, wm) : How::AsItIs;
    // A window manager drops the state of a window it no longer manages, so a
    // window without a taskbar button says so again before every map.
    if (!m_rule.taskbar)
        ws::keepOffTaskbar(window);
    if (m_rule.titled)
        ws::tellModal(window, wm.groupDialogsAboveOnlyWhenModal);
    switch (how) {
    case How::Centred:
        ws::showCentred(window);
        break;
    case How::BackWhereItWas:
        window.windowHandle()->setFramePosition(m_shownAt.topLeft());
        ws::showWithFrameCorner(window, m_frameOnServer);
        break;
    case How::AsItIs:
        window.show();
        break;
    }
}

// Where a window is about to be mapped: filling its monitor, back where it
// was when that is on it, or else centred on it; says how it is to be shown.
Placement::How Placement::place(QWidget& window, QScreen& monitor, const ws::WindowManagerRules& wm)
{
    // The window's own monitor, which a maximised or full-screen state fills:
    // Qt 6.8 no longer takes it from a position set before the first show.
    window.setScreen(&monitor);
    if (m_rule.fill) {
        // Full screen, which every window manager puts over its panels (a
        // window merely as large as the screen is made a maximised one below
        // them on some). A tiling window manager draws nothing but a
        // full-screen window's own transients over it, so there the window
        // is instead a floating one as large as the monitor.
        if (wm.tiles) {
            window.setFixedSize(monitor.geometry().size());
            window.setGeometry(monitor.geometry());
            return How::AsItIs;
        }
        // The state goes first: a full-screen window keeps its size whatever is asked.
        window.setWindowState(window.windowState() & ~Qt::WindowFullScreen);
        window.setGeometry(monitor.geometry());
        window.setWindowState(window.windowState() | Qt::WindowFullScreen);
        return How::AsItIs;
    }
    // A tiling window manager tiles every window that it does not take for a
    // dialog, and a window of fixed size is one: there every window is fixed
    // at its size, so that it floats where it is placed. Elsewhere windows
    // keep the frames the user can drag.
    if (wm.tiles)
        window.setFixedSize(window.size());
    if (!m_rule.centred)
        return How::AsItIs;
    // A window shown again goes back where it was, asked for by its frame: a
    // window manager may take a client position for its frame's corner and
    // put the window a title bar higher on every showing.
    if (m_shownAt.isValid() && monitor.geometry().contains(m_shownAt.center()) && window.windowHandle())
        return How::BackWhereItWas;
    QRect r(QPoint(), window.size());
    r.moveCenter(monitor.geometry().center()); // the whole monitor, panels included
    window.setGeometry(r);                     // the client area; showCentred() centres the frame
    return m_rule.titled ? How::Centred : How::AsItIs;
}

// A window behind the others keeps below (_NET_WM_STATE_BELOW): it stays
// behind the program's dialogs even when a click has made it active itself,
// and so never buries one the program does not hand the focus to. Where the
// window manager puts such a window under its panels, it does not, and the
// dialogs keep in front of it as modal ones (tellModal).
void Placement::keepBelow(QWidget& window, bool below)
{
    if (window.windowFlags().testFlag(Qt::WindowStaysOnBottomHint) == below)
        return;
    QWindow* handle = window.windowHandle();
    if (!handle) {
        window.setWindowFlag(Qt::WindowStaysOnBottomHint, below);
        return;
    }
    // A window made already keeps its native window: QWidget::setWindowFlags()
    // would make it anew. Qt writes the state from its window's flags as it maps it.
    window.overrideWindowFlags(window.windowFlags().setFlag(Qt::WindowStaysOnBottomHint, below));
    handle->setFlags(window.windowFlags());
}

void Placement::hide(QWidget& window)
{
    if (window.isVisible()) {
        m_shownAt = ws::frameGeometry(window);
        m_frameOnServer = ws::frameCornerOnServer(window);
    }
    window.hide();
}

void Placement::forget()
{
    m_shownAt = QRect();
    m_frameOnServer.reset();
}

// ---------------------------------------------------------------- start-up

void noBusAutolaunch()
{
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!bus || !*bus)
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

namespace {

const char* environment(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

// With WAYLAND_DISPLAY alone: the compositor's socket must be there
// (WAYLAND_DISPLAY itself, or that name in XDG_RUNTIME_DIR) and Qt's Wayland
// plugin (qt6-wayland), Qt's own choice there.
bool onWaylandAlone(const char* program, const char* wayland)
{
    const char* runtime = environment("XDG_RUNTIME_DIR");
    const std::string socket =
        wayland[0] == '/' ? std::string(wayland) : std::string(runtime ? runtime : "") + "/" + wayland;
    struct stat st {};
    if ((wayland[0] != '/' && !runtime) || stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
        std::fprintf(stderr,
                     "%s cannot reach the Wayland display \"%s\" that WAYLAND_DISPLAY names (no "
                     "compositor's socket %s) and DISPLAY is not set\n",
                     program, wayland, socket.c_str());
        return false;
    }
    const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    if (plugins.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty()) {
        std::fprintf(stderr,
                     "%s cannot show its windows on the Wayland display \"%s\": Qt's Wayland support "
                     "(qt6-wayland) is not installed and DISPLAY is not set; run it through Xwayland (on a "
                     "desktop that provides it, DISPLAY is set)\n",
                     program, wayland);
        return false;
    }
    std::fprintf(stderr,
                 "%s: on Wayland (WAYLAND_DISPLAY=%s, no DISPLAY) a program cannot place its windows, "
                 "keep the backdrop below the others or keep its windows off the taskbar, so this is not the whole "
                 "show; for that, run it through Xwayland (on a desktop that provides it, DISPLAY is set)\n",
                 program, wayland);
    return true;
}

} // namespace

bool choosePlatform(const char* program, const char* programPath)
{
    const char* platform = environment("QT_QPA_PLATFORM");
    const char* x = environment("DISPLAY");
    const char* wayland = environment("WAYLAND_DISPLAY");
    if (platform && std::strncmp(platform, "xcb", 3) != 0)
        return true;
    if (!platform && !x && wayland)
        return onWaylandAlone(program, wayland);
    if (!x && wayland) {
        std::fprintf(stderr, "%s was asked for X11 (QT_QPA_PLATFORM=%s) but DISPLAY is not set\n", program, platform);
        return false;
    }
    if (!x) {
        std::fprintf(stderr,
                     "%s needs a graphical desktop and there is no display here (neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set), so start it from a desktop session or on a virtual screen: "
                     "xvfb-run -s \"-screen 0 1024x768x24\" %s\n",
                     program, programPath);
        return false;
    }
    // Qt would abort on a display it cannot open; say which one it was instead.
    if (!ws::displayReachable(x)) {
        std::fprintf(stderr,
                     "%s cannot reach the X display \"%s\" that DISPLAY names (it is not there, or "
                     "it does not let this user in)\n",
                     program, x);
        return false;
    }
    if (!platform && wayland)
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
}

} // namespace vp
