#include "window.h"

#include "accessible.h"
#include "screen.h"
#include "theme.h"
#include "trace.h"
#include "x11/windowsystem.h"

#include <QCloseEvent>
#include <QPainter>

namespace vp {

namespace {

// A window with a title bar is a dialog to the window manager, with the
// buttons of a main window: without a parent, Qt names the program's group in
// its WM_TRANSIENT_FOR, and window managers that know such dialogs stack it
// with the program's other windows (kwin lifts the full-screen backdrop over
// its panels while one of them is active). It keeps its taskbar button.
constexpr Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                        Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

} // namespace

ScreenWindow::ScreenWindow(Screen& screen, const ScreenDef& def, QPixmap picture)
    : Clickable(nullptr, def.border == Border::None ? Qt::Window | Qt::FramelessWindowHint : DialogFlags),
      m_screen(screen),
      m_picture(std::move(picture))
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(def.back, Role::ButtonFace));
    setPalette(p);
    setFont(toQFont(def.font));
}

void ScreenWindow::clicked() { m_screen.fireFromUser("Form", -1, Event::Click); }

void ScreenWindow::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter(this).drawPixmap(0, 0, m_picture); // natural size, once, top-left
}

void ScreenWindow::closeEvent(QCloseEvent* e)
{
    // The screen itself decides; it removes the window when it goes.
    e->ignore();
    m_screen.runtime.run([this] { m_screen.closeByUser(); }, &m_screen);
}

bool ScreenWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    // Read while Qt reads its events; the runtime hears of it once Qt has
    // acted on the events before it (the focus change they may carry).
    if (const auto at = ws::focusGivenAt(eventType, message))
        QMetaObject::invokeMethod(
            this, [this, t = *at] { m_screen.runtime.focusGivenByWindowManager(&m_screen, t); }, Qt::QueuedConnection);
    return Clickable::nativeEvent(eventType, message, result);
}

bool ScreenWindow::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        qCDebug(lcTrace) << "window" << m_screen.name() << Qt::hex
                         << (testAttribute(Qt::WA_WState_Created) ? winId() : 0) << Qt::dec << e->type();
        break;
    default:
        break;
    }
    if (e->type() == QEvent::WindowActivate)
        m_screen.runtime.windowActivatedByUser(&m_screen);
    if (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::Hide)
        accessibleWindowLeft(*this);
    return QWidget::event(e);
}

} // namespace vp
