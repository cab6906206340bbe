// What the runtime asks of the window system and what the window system
// answers, for chasing focus and mapping races on a real desktop. Silent
// unless switched on with QT_LOGGING_RULES="vp.trace=true".
#pragma once

#include <QLoggingCategory>

namespace vp {

Q_DECLARE_LOGGING_CATEGORY(lcTrace)

// Logs the X server's map, unmap, focus and client-message events of our
// windows (on X11, only while the category is on).
void traceWindowSystem();

} // namespace vp
