#include "widgets.h"

#include "text.h"

#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <vector>

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
    if (click)
        clicked();
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
    // The lines are broken here, at blanks only; the toolkit's own wrapping
    // would also break after "-" or "/".
    int flags = Qt::AlignTop;
    flags |= align == Align::Right ? Qt::AlignRight : align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
    p.setClipRect(rect());
    p.drawText(rect(), flags, labelLines(text, QFontMetricsF(font(), this), width()));
}

void ImageWidget::paintEvent(QPaintEvent*)
{
    if (pixmap.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
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
    report(Event::MouseMove);
}

OptionWidget::OptionWidget(QWidget* parent) : QRadioButton(parent)
{
    connect(this, &QAbstractButton::toggled, this, [this] { settleTabStop(); });
}

// QRadioButton lets every option of a group take the Tab focus until one of
// them gets the focus while selected, so Tab stopped at the first option and
// then walked through the others.
void OptionWidget::settleTabStop()
{
    std::vector<OptionWidget*> group;
    if (parentWidget())
        for (QObject* o : parentWidget()->children())
            if (auto* option = dynamic_cast<OptionWidget*>(o))
                group.push_back(option);
    std::stable_sort(group.begin(), group.end(),
                     [](const OptionWidget* a, const OptionWidget* b) { return a->tabIndex < b->tabIndex; });
    OptionWidget* stop = nullptr;
    for (OptionWidget* o : group)
        if (o->isChecked())
            stop = o;
    for (OptionWidget* o : group)
        if (!stop && o->hasFocus())
            stop = o;
    for (OptionWidget* o : group)
        if (!stop && o->isEnabled())
            stop = o;
    for (OptionWidget* o : group)
        o->setFocusPolicy(o == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void OptionWidget::focusInEvent(QFocusEvent* e)
{
    QRadioButton::focusInEvent(e);
    settleTabStop();
}

void OptionWidget::focusOutEvent(QFocusEvent* e)
{
    QRadioButton::focusOutEvent(e);
    settleTabStop();
}

void OptionWidget::showEvent(QShowEvent* e)
{
    QRadioButton::showEvent(e);
    settleTabStop();
}

void OptionWidget::changeEvent(QEvent* e)
{
    QRadioButton::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        settleTabStop();
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
    // Tab moves on to the next control, as in every other control of a screen.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText && edited)
            edited(textFromDisplay(toPlainText()));
    });
}

// Qt 6.4's QWidgetTextControl::insertFromMimeData reads the first format of
// the data without looking whether there is one, and an X11 clipboard or
// selection that nobody owns hands out data with none: Ctrl+V, Shift+Insert or
// a middle click then crashed the program. Only text is ever inserted here.
bool MultiLineWidget::canInsertFromMimeData(const QMimeData* source) const
{
    return source && source->hasText() && !source->text().isEmpty();
}

void MultiLineWidget::insertFromMimeData(const QMimeData* source)
{
    if (!canInsertFromMimeData(source) || isReadOnly())
        return;
    // The text arrives as it would be stored, so CR LF breaks a line and a
    // lone LF shows as its mark.
    insertPlainText(textToDisplay(source->text()));
    ensureCursorVisible();
}

void MultiLineWidget::setExactText(const QString& text)
{
    m_settingText = true;
    setPlainText(textToDisplay(text));
    m_settingText = false;
}

} // namespace vp
