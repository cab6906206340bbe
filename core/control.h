// The controls of a screen: the properties the handlers read and write, kept
// exactly as set (twips as float, fractions included), pushed to a Qt widget.
// `Control` holds what every kind keeps; one adapter per kind (Label,
// CommandButton, ...) builds its widget, shows text and look its own way,
// says which events it raises, and publishes only the properties that kind
// has, so that a behaviour asking a label for its picture does not compile.
#pragma once

#include "definition.h"
#include "pictures.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

namespace vp {

class Clock;
class TickSource;

enum class Event : std::uint8_t { Load, Activate, Unload, Click, MouseMove, Timer };

// Which events a kind of control raises ("Form" is the window itself).
bool kindRaises(Kind kind, Event event);

// What a control needs from the runtime that builds it.
struct ControlContext {
    Clock& clock;                     // drives a timer's ticks
    const PictureCatalogue& pictures; // the program's pictures
    std::function<void(Event)> raise; // how the control reports its events
};

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // A control of the kind `def` names, its widget built inside `parent`
    // (none for a timer).
    static std::unique_ptr<Control> make(const ControlDef& def, QWidget* parent, ControlContext context);

    const ControlDef& def() const { return m_def; }
    Kind kind() const { return m_def.kind; }
    QWidget* widget() const { return m_widget; }
    const PictureCatalogue& pictures() const { return m_context.pictures; }
    // The runtime's clock (the program's time; virtual in the tests).
    Clock& clock() const { return m_context.clock; }

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void setLeft(float v);
    void setTop(float v);
    void setWidth(float v);
    void setHeight(float v);

    bool Visible() const { return m_visible; }
    void setVisible(bool v);
    bool Enabled() const { return m_enabled; }
    virtual void setEnabled(bool v);

    // What the control shows as text (a caption, a text box's text), for
    // code that treats every kind alike; empty for kinds without text.
    QString shownText() const { return m_text; }

    // Called by the widget with what it reports.
    void raise(Event e) const;

protected:
    Control(const ControlDef& def, ControlContext context);

    // Called once by make(), when the object is whole: the widget of this
    // kind, inside `parent`.
    virtual QWidget* createWidget(QWidget* parent) = 0;
    // Puts text, look and geometry on the widget.
    virtual void showText() {}
    virtual void applyLook() {}
    virtual void applyGeometry();
    virtual bool focusable() const { return false; }

    QString Caption() const { return m_text; }
    void setCaption(const QString& caption);
    Colour BackColor() const { return m_back; }
    void setBackColor(Colour c);
    Colour ForeColor() const { return m_fore; }
    void setForeColor(Colour c);

    QColor backColour() const;
    QColor foreColour() const;
    void setTextQuietly(const QString& text) { m_text = text; }

    template <class W>
    W* as() const
    {
        return static_cast<W*>(m_widget.data());
    }

private:
    void finish(QWidget* parent);
    void place(float Control::*edge, float v);

    ControlDef m_def;
    ControlContext m_context;
    QPointer<QWidget> m_widget;
    QString m_text;
    float m_left, m_top, m_width, m_height;
    bool m_visible, m_enabled;
    Colour m_back, m_fore;
};

class Label final : public Control {
public:
    static constexpr Kind kindOf = Kind::Label;
    using Control::BackColor;
    using Control::Caption;
    using Control::ForeColor;
    using Control::setBackColor;
    using Control::setCaption;
    using Control::setForeColor;

private:
    friend class Control;
    using Control::Control;
    QWidget* createWidget(QWidget* parent) override;
    void showText() override;
    void applyLook() override;
};

// What command and option buttons share: a caption shown on a Qt button, and
// the keyboard focus.
class Button : public Control {
public:
    using Control::Caption;
    using Control::setCaption;

protected:
    using Control::Control;
    void showText() override;
    bool focusable() const override { return true; }
};

class CommandButton final : public Button {
public:
    static constexpr Kind kindOf = Kind::CommandButton;

private:
    friend class Control;
    using Button::Button;
    QWidget* createWidget(QWidget* parent) override;
};

class OptionButton final : public Button {
public:
    static constexpr Kind kindOf = Kind::OptionButton;
    // Selected or not (the user changes it too).
    bool Value() const;

private:
    friend class Control;
    using Button::Button;
    QWidget* createWidget(QWidget* parent) override;
};

class Frame final : public Control {
public:
    static constexpr Kind kindOf = Kind::Frame;

private:
    friend class Control;
    using Control::Control;
    QWidget* createWidget(QWidget* parent) override;
};

class TextBox final : public Control {
public:
    static constexpr Kind kindOf = Kind::TextBox;
    QString Text() const { return Caption(); }
    void setText(const QString& text) { setCaption(text); }
    using Control::BackColor;
    using Control::ForeColor;
    using Control::setBackColor;
    using Control::setForeColor;

private:
    friend class Control;
    using Control::Control;
    QWidget* createWidget(QWidget* parent) override;
    void showText() override;
    void applyLook() override;
    bool focusable() const override { return true; }
};

class Image final : public Control {
public:
    static constexpr Kind kindOf = Kind::Image;
    const PictureRef& Picture() const { return m_picture; }
    void setPicture(PictureRef p);

private:
    friend class Control;
    Image(const ControlDef& def, ControlContext context);
    QWidget* createWidget(QWidget* parent) override;
    void applyLook() override;
    PictureRef m_picture;
};

class Timer final : public Control {
public:
    static constexpr Kind kindOf = Kind::Timer;
    ~Timer() override;
    // Enabling a running timer leaves its period alone; enabling a stopped one
    // starts a full new period.
    void setEnabled(bool v) override;

private:
    friend class Control;
    Timer(const ControlDef& def, ControlContext context);
    QWidget* createWidget(QWidget*) override { return nullptr; }
    std::unique_ptr<TickSource> m_ticks;
};

class Line final : public Control {
public:
    static constexpr Kind kindOf = Kind::Line;
    using Control::ForeColor;
    using Control::setForeColor;

private:
    friend class Control;
    using Control::Control;
    QWidget* createWidget(QWidget* parent) override;
    void applyGeometry() override;
    void applyLook() override;
};

} // namespace vp
