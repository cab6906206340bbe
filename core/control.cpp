#include "control.h"

#include "accessible.h"
#include "clock.h"
#include "theme.h"
#include "widgets.h"

#include <QCursor>
#include <algorithm>

namespace vp {

namespace {

constexpr unsigned bit(Event e) { return 1U << static_cast<unsigned>(e); }

// The events each kind raises, in the order of `Kind`.
constexpr unsigned raisedBy[] = {
    bit(Event::Click),                         // Label
    bit(Event::Click) | bit(Event::MouseMove), // CommandButton
    bit(Event::Click),                         // OptionButton
    0,                                         // Frame
    0,                                         // TextBox
    bit(Event::Click),                         // Image
    bit(Event::Timer),                         // Timer
    0,                                         // Line
};
static_assert(std::size(raisedBy) == static_cast<std::size_t>(Kind::Line) + 1);

Role defaultBack(Kind k) { return k == Kind::TextBox ? Role::WindowBackground : Role::ButtonFace; }
Role defaultFore(Kind k) { return k == Kind::TextBox || k == Kind::Line ? Role::WindowText : Role::ButtonText; }

} // namespace

void Owned::report(Event e) const
{
    if (control)
        control->raise(e);
}

bool kindRaises(Kind kind, Event event) { return (raisedBy[static_cast<std::size_t>(kind)] & bit(event)) != 0; }

// ---------------------------------------------------------------- every kind

Control::Control(const ControlDef& def, ControlContext context)
    : m_def(def),
      m_context(std::move(context)),
      m_text(QString::fromUtf8(def.caption.data(), static_cast<qsizetype>(def.caption.size()))),
      m_left(def.left),
      m_top(def.top),
      m_width(def.width),
      m_height(def.height),
      m_visible(def.visible),
      m_enabled(def.enabled),
      m_back(def.back.role == Role::Default ? role(defaultBack(def.kind)) : def.back),
      m_fore(def.fore.role == Role::Default ? role(defaultFore(def.kind)) : def.fore)
{
}

Control::~Control()
{
    // The window deletes its widgets later; nothing may reach this control meanwhile.
    if (auto* owned = dynamic_cast<Owned*>(m_widget.data()))
        owned->control = nullptr;
}

std::unique_ptr<Control> Control::make(const ControlDef& def, QWidget* parent, ControlContext context)
{
    std::unique_ptr<Control> c;
    switch (def.kind) {
    case Kind::Label:
        c.reset(new Label(def, std::move(context)));
        break;
    case Kind::CommandButton:
        c.reset(new CommandButton(def, std::move(context)));
        break;
    case Kind::OptionButton:
        c.reset(new OptionButton(def, std::move(context)));
        break;
    case Kind::Frame:
        c.reset(new Frame(def, std::move(context)));
        break;
    case Kind::TextBox:
        c.reset(new TextBox(def, std::move(context)));
        break;
    case Kind::Image:
        c.reset(new Image(def, std::move(context)));
        break;
    case Kind::Timer:
        c.reset(new Timer(def, std::move(context)));
        break;
    case Kind::Line:
        c.reset(new Line(def, std::move(context)));
        break;
    }
    c->finish(parent);
    return c;
}

void Control::finish(QWidget* parent)
{
    m_widget = createWidget(parent);
    if (!m_widget)
        return;
    if (auto* owned = dynamic_cast<Owned*>(m_widget.data()))
        owned->control = this;
    adoptAccessible(*m_widget);
    m_widget->setObjectName(QString::fromUtf8(m_def.name.data(), static_cast<qsizetype>(m_def.name.size())));
    m_widget->setFont(toQFont(m_def.font));
    if (!focusable())
        m_widget->setFocusPolicy(Qt::NoFocus);
    applyGeometry();
    applyLook();
    showText();
    m_widget->setEnabled(m_enabled);
    m_widget->setVisible(m_visible);
}

void Control::raise(Event e) const
{
    if (m_context.raise)
        m_context.raise(e);
}

void Control::applyGeometry()
{
    if (!m_widget)
        return;
    // Edges are rounded, not sizes, so that neighbours meet as they do in twips.
    const int l = toPixels(m_left), t = toPixels(m_top);
    const int r = toPixels(static_cast<double>(m_left) + m_width);
    const int b = toPixels(static_cast<double>(m_top) + m_height);
    m_widget->setGeometry(l, t, std::max(0, r - l), std::max(0, b - t));
}

void Control::place(float Control::*edge, float v)
{
    this->*edge = v;
    applyGeometry();
}

void Control::setLeft(float v) { place(&Control::m_left, v); }
void Control::setTop(float v) { place(&Control::m_top, v); }
void Control::setWidth(float v)
{
    place(&Control::m_width, v);
    accessibleWidthChanged(*this);
}
void Control::setHeight(float v) { place(&Control::m_height, v); }

void Control::setVisible(bool v)
{
    const bool shown = v && !m_visible;
    m_visible = v;
    if (m_widget)
        m_widget->setVisible(v);
    if (shown)
        accessibleFrameShown(*this);
}

void Control::setEnabled(bool v)
{
    m_enabled = v;
    if (m_widget)
        m_widget->setEnabled(v);
}

void Control::setCaption(const QString& caption)
{
    m_text = caption;
    showText();
}

void Control::setBackColor(Colour c)
{
    m_back = c;
    applyLook();
}

void Control::setForeColor(Colour c)
{
    m_fore = c;
    applyLook();
}

QColor Control::backColour() const { return toQColor(m_back, defaultBack(m_def.kind)); }
QColor Control::foreColour() const { return toQColor(m_fore, defaultFore(m_def.kind)); }

// ---------------------------------------------------------------- label

QWidget* Label::createWidget(QWidget* parent) { return new LabelWidget(parent); }

void Label::showText()
{
    auto* w = as<LabelWidget>();
    if (!w)
        return;
    w->text = Caption();
    w->update();
    accessibleTextChanged(*this);
}

void Label::applyLook()
{
    auto* w = as<LabelWidget>();
    w->align = def().align;
    w->transparent = def().transparent;
    w->back = backColour();
    w->fore = foreColour();
    w->update();
}

// ---------------------------------------------------------------- command button

QWidget* CommandButton::createWidget(QWidget* parent)
{
    auto* w = new ButtonWidget(parent);
    QObject::connect(w, &QPushButton::clicked, w, [w] { w->report(Event::Click); });
    return w;
}

// ---------------------------------------------------------------- buttons

void Button::showText()
{
    if (auto* w = dynamic_cast<QAbstractButton*>(widget()))
        w->setText(Caption());
}

// ---------------------------------------------------------------- option button

QWidget* OptionButton::createWidget(QWidget* parent)
{
    auto* w = new OptionWidget(parent);
    w->tabIndex = def().tabIndex;
    QObject::connect(w, &QRadioButton::toggled, w, [w](bool on) {
        if (on)
            w->report(Event::Click);
    });
    return w;
}

bool OptionButton::Value() const
{
    const auto* w = as<OptionWidget>();
    return w && w->isChecked();
}

// ---------------------------------------------------------------- frame

QWidget* Frame::createWidget(QWidget* parent) { return new FrameWidget(parent); }

// ---------------------------------------------------------------- text box

QWidget* TextBox::createWidget(QWidget* parent)
{
    // What the user types is kept as the box's text.
    if (def().multiLine) {
        auto* w = new MultiLineWidget(parent);
        w->setVerticalScrollBarPolicy(def().verticalScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        // Through the widget's own pointer to the box, which the box's end clears:
        // the widget outlives it until the window deletes it.
        w->edited = [w](const QString& t) {
            if (auto* box = static_cast<TextBox*>(w->control))
                box->setTextQuietly(t);
        };
        return w;
    }
    auto* w = new LineEditWidget(parent);
    QObject::connect(w, &QLineEdit::textEdited, w, [w](const QString& t) {
        if (auto* box = static_cast<TextBox*>(w->control))
            box->setTextQuietly(t);
    });
    return w;
}

void TextBox::showText()
{
    if (auto* m = dynamic_cast<MultiLineWidget*>(widget())) {
        m->setExactText(Caption());
    } else if (auto* e = dynamic_cast<QLineEdit*>(widget())) {
        e->setText(Caption());
        e->setCursorPosition(0); // show the start of the text, as a fresh box does
    }
}

void TextBox::applyLook()
{
    QPalette p = widget()->palette();
    p.setColor(QPalette::Base, backColour());
    p.setColor(QPalette::Text, foreColour());
    widget()->setPalette(p);
}

// ---------------------------------------------------------------- image

Image::Image(const ControlDef& def, ControlContext context)
    : Control(def, std::move(context)),
      m_picture(pictures().newPicture(def.picture))
{
}

QWidget* Image::createWidget(QWidget* parent)
{
    auto* w = new ImageWidget(parent);
    w->stretch = def().stretch;
    if (!def().mousePointer.none()) {
        const QPoint hot = pictures().hotSpot(def().mousePointer);
        w->setCursor(QCursor(pictures().pixmap(def().mousePointer), hot.x(), hot.y()));
    }
    return w;
}

void Image::applyLook()
{
    auto* w = as<ImageWidget>();
    if (!w)
        return;
    w->pixmap = m_picture ? m_picture->pixmap : QPixmap();
    w->smooth = m_picture && pictures().isPhotograph(m_picture->id);
    w->update();
}

void Image::setPicture(PictureRef p)
{
    m_picture = std::move(p);
    applyLook();
    accessibleTextChanged(*this); // an image is named by what it shows
}

// ---------------------------------------------------------------- timer

Timer::Timer(const ControlDef& def, ControlContext context) : Control(def, std::move(context))
{
    m_ticks = clock().createTickSource([this] { raise(Event::Timer); });
    if (Enabled())
        m_ticks->start(def.interval);
}

Timer::~Timer() = default;

void Timer::setEnabled(bool v)
{
    const bool wasEnabled = Enabled();
    Control::setEnabled(v);
    if (v && !wasEnabled)
        m_ticks->start(def().interval);
    else if (!v)
        m_ticks->stop();
}

// ---------------------------------------------------------------- line

QWidget* Line::createWidget(QWidget* parent)
{
    auto* w = new LineWidget(parent);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    return w;
}

void Line::applyGeometry()
{
    auto* w = as<LineWidget>();
    if (!w)
        return;
    const ControlDef& d = def();
    const int x1 = toPixels(d.x1), y1 = toPixels(d.y1), x2 = toPixels(d.x2), y2 = toPixels(d.y2);
    const QRect box(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)));
    w->setGeometry(box);
    w->from = QPoint(x1, y1) - box.topLeft();
    w->to = QPoint(x2, y2) - box.topLeft();
}

void Line::applyLook()
{
    auto* w = as<LineWidget>();
    w->colour = foreColour();
    w->update();
}

} // namespace vp
