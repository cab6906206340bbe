// A control of a screen: the properties the handlers read and write, kept
// exactly as set (twips as float, fractions included), pushed to a Qt widget.
#pragma once

#include "definition.h"
#include "pictures.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include <QWidget>

namespace vp {

class TickSource;
class Clock;

enum class Event : std::uint8_t { Load, Activate, Unload, Click, MouseMove, Timer };

// Which events a kind of control raises ("Form" is the window itself).
bool kindRaises(Kind kind, Event event);

class Control {
public:
    // Builds the widget inside `parent` (nullptr for a timer). `raise` is how
    // the widget reports its events; `clock` drives a timer's ticks.
    Control(const ControlDef& def, QWidget* parent, std::function<void(Event)> raise, Clock& clock);
    ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const ControlDef& def() const { return m_def; }
    Kind kind() const { return m_def.kind; }
    QWidget* widget() const { return m_widget; }
    // The screens' clock (the program's time, virtual in the tests).
    const Clock& clock() const { return *m_clock; }

    QString Caption() const { return m_text; }
    void setCaption(const QString& caption);
    QString Text() const;
    void setText(const QString& text);

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
    void setEnabled(bool v);

    Colour BackColor() const { return m_back; }
    void setBackColor(Colour c);
    Colour ForeColor() const { return m_fore; }
    void setForeColor(Colour c);

    const PictureRef& Picture() const { return m_picture; }
    void setPicture(PictureRef p);

    // Option buttons: selected or not (the user changes it too).
    bool Value() const;

    // Used by the widgets to keep Text in step with what the user typed.
    void userEditedText(const QString& text) { m_text = text; }

private:
    void place(float Control::*edge, float v);
    void applyGeometry();
    void applyLook();
    void createWidget(QWidget* parent);

    ControlDef m_def;
    std::function<void(Event)> m_raise;
    const Clock* m_clock;
    QPointer<QWidget> m_widget;
    std::unique_ptr<TickSource> m_ticks;
    QString m_text;
    float m_left, m_top, m_width, m_height;
    bool m_visible, m_enabled;
    Colour m_back, m_fore;
    PictureRef m_picture;
};

} // namespace vp
