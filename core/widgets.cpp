#include "widgets.h"

#include "msgbox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace vp {

void Clickable::mousePressEvent(QMouseEvent* e)
{
    m_pressed = e->button() == Qt::LeftButton;
    e->accept();
}

void Clickable::mouseReleaseEvent(QMouseEvent* e)
{
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    m_pressed = false;
    e->accept();
    if (click && raise)
        raise(Event::Click);
}

void LabelWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!transparent)
        p.fillRect(rect(), back);
    if (text.isEmpty())
        return;
    p.setPen(fore);
    p.setFont(font());
    int flags = Qt::AlignTop | Qt::TextWordWrap;
    flags |= align == Align::Right ? Qt::AlignRight : align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
    p.setClipRect(rect());
    p.drawText(rect(), flags, displayLines(text));
}

void ImageWidget::paintEvent(QPaintEvent*)
{
    if (pixmap.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, stretch);
    if (stretch)
        p.drawPixmap(rect(), pixmap);
    else
        p.drawPixmap(0, 0, pixmap);
}

void LineWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(colour, 1));
    p.drawLine(from, to);
}

ButtonWidget::ButtonWidget(QWidget* parent) : QPushButton(parent)
{
    // Every movement over the button counts, not only entering it.
    setMouseTracking(true);
    setAutoDefault(true);
}

void ButtonWidget::mouseMoveEvent(QMouseEvent* e)
{
    QPushButton::mouseMoveEvent(e);
    if (raise)
        raise(Event::MouseMove);
}

FrameWidget::FrameWidget(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Sunken); // the etched single border
    setLineWidth(1);
    setMidLineWidth(0);
}

MultiLineWidget::MultiLineWidget(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText && edited)
            edited(textFromDisplay(toPlainText()));
    });
}

void MultiLineWidget::setExactText(const QString& text)
{
    m_settingText = true;
    setPlainText(textToDisplay(text));
    m_settingText = false;
}

} // namespace vp
