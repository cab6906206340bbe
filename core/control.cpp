#include "control.h"

#include "accessible.h"
#include "clock.h"
#include "theme.h"
#include "widgets.h"

#include <QCursor>
#include <QLineEdit>
#include <algorithm>
#include <cmath>

namespace vp {

bool kindRaises(Kind kind, Event event)
{
    switch (kind) {
    case Kind::CommandButton:
        return event == Event::Click || event == Event::MouseMove;
    case Kind::OptionButton:
    case Kind::Label:
    case Kind::Image:
        return event == Event::Click;
    case Kind::Timer:
        return event == Event::Timer;
    case Kind::Frame:
    case Kind::TextBox:
    case Kind::Line:
        break;
    }
    return false;
}

namespace {

Role defaultBack(Kind k) { return k == Kind::TextBox ? Role::WindowBackground : Role::ButtonFace; }
Role defaultFore(Kind k) { return k == Kind::TextBox || k == Kind::Line ? Role::WindowText : Role::ButtonText; }

} // namespace

Control::Control(const ControlDef& def, QWidget* parent, std::function<void(Event)> raise, Clock& clock)
    : m_def(def),
      m_raise(std::move(raise)),
      m_clock(&clock),
      m_text(QString::fromUtf8(def.caption.data(), static_cast<qsizetype>(def.caption.size()))),
      m_left(def.left),
      m_top(def.top),
      m_width(def.width),
      m_height(def.height),
      m_visible(def.visible),
      m_enabled(def.enabled),
      m_back(def.back.role == Role::Default ? role(defaultBack(def.kind)) : def.back),
      m_fore(def.fore.role == Role::Default ? role(defaultFore(def.kind)) : def.fore),
      m_picture(newPicture(def.picture))
{
    if (def.kind == Kind::Timer) {
        m_ticks = clock.createTickSource([this] {
            if (m_raise)
                m_raise(Event::Timer);
        });
        if (m_enabled)
            m_ticks->start(def.interval);
        return;
    }
    createWidget(parent);
}

Control::~Control()
{
    forgetControl(*this);
    m_raise = nullptr;
    if (m_widget) {
        // The window deletes its widgets later; nothing may call back meanwhile.
        // Only the widget's own connections go: the accessibility cache must
        // still hear of its destruction, or a later widget at the same address
        // would get this one's dead interface (a label a screen reader cannot read).
        QObject::disconnect(m_widget, nullptr, m_widget, nullptr);
        if (auto* c = dynamic_cast<Clickable*>(m_widget.data()))
            c->raise = nullptr;
        if (auto* b = dynamic_cast<ButtonWidget*>(m_widget.data()))
            b->raise = nullptr;
        if (auto* m = dynamic_cast<MultiLineWidget*>(m_widget.data()))
            m->edited = nullptr;
    }
}

void Control::createWidget(QWidget* parent)
{
    auto raise = [this](Event e) {
        if (m_raise)
            m_raise(e);
    };
    switch (m_def.kind) {
    case Kind::Label: {
        auto* w = new LabelWidget(parent);
        w->raise = raise;
        m_widget = w;
        break;
    }
    case Kind::Image: {
        auto* w = new ImageWidget(parent);
        w->raise = raise;
        w->stretch = m_def.stretch;
        if (m_def.mousePointer != PictureId::None) {
            const QPoint hot = hotSpotOf(m_def.mousePointer);
            w->setCursor(QCursor(pixmapOf(m_def.mousePointer), hot.x(), hot.y()));
        }
        m_widget = w;
        break;
    }
    case Kind::CommandButton: {
        auto* w = new ButtonWidget(parent);
        w->raise = raise;
        QObject::connect(w, &QPushButton::clicked, w, [raise] { raise(Event::Click); });
        m_widget = w;
        break;
    }
    case Kind::OptionButton: {
        auto* w = new OptionWidget(parent);
        w->tabIndex = m_def.tabIndex;
        QObject::connect(w, &QRadioButton::toggled, w, [raise](bool on) {
            if (on)
                raise(Event::Click);
        });
        m_widget = w;
        break;
    }
    case Kind::Frame:
        m_widget = new FrameWidget(parent);
        break;
    case Kind::TextBox:
        if (m_def.multiLine) {
            auto* w = new MultiLineWidget(parent);
            w->setVerticalScrollBarPolicy(m_def.verticalScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            w->edited = [this](const QString& t) { userEditedText(t); };
            m_widget = w;
        } else {
            auto* w = new QLineEdit(parent);
            QObject::connect(w, &QLineEdit::textEdited, w, [this](const QString& t) { userEditedText(t); });
            m_widget = w;
        }
        break;
    case Kind::Line: {
        auto* w = new LineWidget(parent);
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_widget = w;
        break;
    }
    case Kind::Timer:
        return;
    }
    registerControl(*this);
    m_widget->setObjectName(QString::fromUtf8(m_def.name.data(), static_cast<qsizetype>(m_def.name.size())));
    m_widget->setFont(toQFont(m_def.font));
    const bool focusable =
        m_def.kind == Kind::CommandButton || m_def.kind == Kind::OptionButton || m_def.kind == Kind::TextBox;
    if (!focusable)
        m_widget->setFocusPolicy(Qt::NoFocus);
    applyGeometry();
    applyLook();
    setText(m_text);
    m_widget->setEnabled(m_enabled);
    m_widget->setVisible(m_visible);
}

void Control::applyGeometry()
{
    if (!m_widget)
        return;
    if (m_def.kind == Kind::Line) {
        const int x1 = toPixels(m_def.x1), y1 = toPixels(m_def.y1), x2 = toPixels(m_def.x2), y2 = toPixels(m_def.y2);
        const QRect box = QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)));
        auto* w = static_cast<LineWidget*>(m_widget.data());
        w->setGeometry(box);
        w->from = QPoint(x1, y1) - box.topLeft();
        w->to = QPoint(x2, y2) - box.topLeft();
        return;
    }
    // Edges are rounded, not sizes, so that neighbours meet as they do in twips.
    const int l = toPixels(m_left), t = toPixels(m_top);
    const int r = toPixels(static_cast<double>(m_left) + m_width), b = toPixels(static_cast<double>(m_top) + m_height);
    m_widget->setGeometry(l, t, std::max(0, r - l), std::max(0, b - t));
}

void Control::applyLook()
{
    if (!m_widget)
        return;
    const QColor back = toQColor(m_back, defaultBack(m_def.kind));
    const QColor fore = toQColor(m_fore, defaultFore(m_def.kind));
    switch (m_def.kind) {
    case Kind::Label: {
        auto* w = static_cast<LabelWidget*>(m_widget.data());
        w->align = m_def.align;
        w->transparent = m_def.transparent;
        w->back = back;
        w->fore = fore;
        w->update();
        break;
    }
    case Kind::TextBox: {
        QPalette p = m_widget->palette();
        p.setColor(QPalette::Base, back);
        p.setColor(QPalette::Text, fore);
        m_widget->setPalette(p);
        break;
    }
    case Kind::Line:
        static_cast<LineWidget*>(m_widget.data())->colour = fore;
        m_widget->update();
        break;
    case Kind::Image: {
        auto* w = static_cast<ImageWidget*>(m_widget.data());
        w->pixmap = m_picture ? m_picture->pixmap : QPixmap();
        w->smooth = m_picture && isPhotograph(m_picture->id);
        w->update();
        break;
    }
    case Kind::CommandButton:
    case Kind::OptionButton:
    case Kind::Frame:
    case Kind::Timer:
        break;
    }
}

void Control::setCaption(const QString& caption) { setText(caption); }

QString Control::Text() const { return m_text; }

void Control::setText(const QString& text)
{
    m_text = text;
    if (!m_widget)
        return;
    switch (m_def.kind) {
    case Kind::Label: {
        auto* w = static_cast<LabelWidget*>(m_widget.data());
        w->text = text;
        w->update();
        accessibleTextChanged(*this);
        break;
    }
    case Kind::CommandButton:
        static_cast<QPushButton*>(m_widget.data())->setText(text);
        break;
    case Kind::OptionButton:
        static_cast<QRadioButton*>(m_widget.data())->setText(text);
        break;
    case Kind::TextBox:
        if (auto* m = dynamic_cast<MultiLineWidget*>(m_widget.data()))
            m->setExactText(text);
        else if (auto* e = dynamic_cast<QLineEdit*>(m_widget.data())) {
            e->setText(text);
            e->setCursorPosition(0); // show the start of the text, as a fresh box does
        }
        break;
    case Kind::Frame:
    case Kind::Image:
    case Kind::Timer:
    case Kind::Line:
        break;
    }
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
    // Enabling a running timer leaves its period alone; enabling a stopped one
    // starts a full new period.
    const bool wasEnabled = m_enabled;
    m_enabled = v;
    if (m_ticks) {
        if (v && !wasEnabled)
            m_ticks->start(m_def.interval);
        else if (!v)
            m_ticks->stop();
    }
    if (m_widget)
        m_widget->setEnabled(v);
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

void Control::setPicture(PictureRef p)
{
    m_picture = std::move(p);
    applyLook();
    accessibleTextChanged(*this); // an image is named by what it shows
}

bool Control::Value() const
{
    if (auto* r = qobject_cast<QRadioButton*>(m_widget.data()))
        return r->isChecked();
    return false;
}

} // namespace vp
