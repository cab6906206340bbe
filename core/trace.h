// What the runtime asks of the window system and what the window system
// answers, for chasing focus and mapping races on a real desktop. Silent
// unless switched on with QT_LOGGING_RULES="vp.trace=true".
#pragma once

#include <QDebug>
#include <QLoggingCategory>
#include <QString>

namespace vp {

Q_DECLARE_LOGGING_CATEGORY(lcTrace)

// Logs the X server's map, unmap, focus and client-message events of our
// windows (on X11, only while the category is on).
void traceWindowSystem();

// The trace lines the desktop tests read: an interface, made here and only
// here. The Python driver keeps its patterns of them in tests/desktop/tracelines.py
// (read by test_pass.py, test_access.py, test_random.py, test_package_start.py
// and plim.py); change the wording in both places or in neither.
namespace trace {

// `runtime: show "PreStart"`: a screen's Show() has begun (test_pass.py times
// the splash's handover and the installation by it; test_random.py counts them).
inline void show(const QString& screen)
{
    qCDebug(lcTrace).noquote() << QStringLiteral("runtime: show \"%1\"").arg(screen);
}

// `box: open TITLE` and `box: closed TITLE`: a message box is up,
// and has been answered (test_pass.py takes the time the waste-bin question
// was open from them).
inline void boxOpen(const QString& title) { qCDebug(lcTrace).noquote() << QStringLiteral("box: open %1").arg(title); }
inline void boxClosed(const QString& title)
{
    qCDebug(lcTrace).noquote() << QStringLiteral("box: closed %1").arg(title);
}

// `x: client message to 0x1a00007`: the line the X trace (traceWindowSystem()
// in core/x11/xtrace.cpp, which writes it with this format) logs as a client message
// reaches one of our windows. The driver sends one after its input and waits
// for this line: proof that the program has handled everything before it
// (plim.py, Plim.handled).
inline constexpr const char* XClientMessageFormat = "x: client message to 0x%x";

} // namespace trace

} // namespace vp
