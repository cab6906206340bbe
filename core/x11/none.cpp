// The window system where the program is built without xcb: what Qt does by
// itself, and nothing more (the build picks this file instead of the X11 ones).
#include "core/trace.h"
#include "core/x11/windowsystem.h"

#include <QWidget>

namespace vp {

void traceWindowSystem() {}

} // namespace vp

namespace vp::ws {

bool displayReachable(const char*) { return true; }

const WindowManagerRules& windowManagerRules() { return rulesFor({}); }

void keepOffTaskbar(QWidget&) {}

void tellModal(QWidget&, bool) {}

std::optional<std::uint32_t> activate(QWidget& window)
{
    window.activateWindow();
    return std::nullopt;
}

std::optional<std::uint32_t> focusGivenAt(const QByteArray&, const void*) { return std::nullopt; }

QRect frameGeometry(const QWidget& window) { return window.frameGeometry(); }

std::optional<QPoint> frameCornerOnServer(const QWidget&) { return std::nullopt; }

void showCentred(QWidget& window) { window.show(); }

void showWithFrameCorner(QWidget& window, std::optional<QPoint>) { window.show(); }

} // namespace vp::ws
