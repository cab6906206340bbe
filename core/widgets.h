// The Qt widgets behind the controls. They draw what their control tells
// them, report clicks and mouse moves to it, and are what accessibility reads
// (through the pointer back to the control).
#pragma once

#include "control.h"

#include <QFontMetricsF>
#include <QFrame>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

namespace vp {

// A widget of a control: a pointer back to it, cleared when the control goes
// first (the window deletes its widgets later).
struct Owned {
    Control* control = nullptr;
    virtual ~Owned() = default;
    // Reports an event to the control, if it is still there.
    void report(Event e) const;
};

// Click as the classic controls know it: press and release over the same
// widget. A control's widget reports it to its control; a window says what a
// click on it means.
class Clickable : public QWidget, public Owned {
public:
    using QWidget::QWidget;

protected:
    virtual void clicked() { report(Event::Click); }
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool m_pressed = false;
};

class LabelWidget final : public Clickable {
public:
    using Clickable::Clickable;
    QString text;
    Align align = Align::Left;
    bool transparent = false;
    QColor back, fore;
    // A line that tells how things stand: what a screen reader was last told of it.
    struct StatusTelling {
        std::optional<double> toldAt; // the clock's seconds then
        bool describing = false;      // the control with the focus is described by it
    } telling;

protected:
    void paintEvent(QPaintEvent*) override;
};

class ImageWidget final : public Clickable {
public:
    using Clickable::Clickable;
    QPixmap pixmap;
    bool stretch = false;
    bool smooth = false; // photographs only: pixel art stays sharp at any size

protected:
    void paintEvent(QPaintEvent*) override;
};

class LineWidget final : public QWidget, public Owned {
public:
    using QWidget::QWidget;
    QPoint from, to; // in this widget's pixels
    QColor colour;

protected:
    void paintEvent(QPaintEvent*) override;
};

class ButtonWidget final : public QPushButton, public Owned {
public:
    explicit ButtonWidget(QWidget* parent);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
};

// The whole rectangle of an option button selects it, not only its text.
// The options of one container are one group for the keyboard too: Tab
// enters it at the selected option (the first when none is) and leaves it
// with the next Tab; the arrow keys move, and select, within it.
class OptionWidget final : public QRadioButton, public Owned {
public:
    explicit OptionWidget(QWidget* parent);
    int tabIndex = 0; // the group's first option is the one with the lowest

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    // Lets only one option of the group be reached by Tab.
    void settleTabStop();
};

class FrameWidget final : public QFrame, public Owned {
public:
    explicit FrameWidget(QWidget* parent);
    int announcedValue = -1; // a frame drawn as a progress bar: the value last told
};

class LineEditWidget final : public QLineEdit, public Owned {
public:
    using QLineEdit::QLineEdit;
};

// A multi-line text box keeps the exact characters it was given and draws
// only CR LF as a line break.
class MultiLineWidget final : public QPlainTextEdit, public Owned {
public:
    explicit MultiLineWidget(QWidget* parent);
    void setExactText(const QString& text);
    std::function<void(const QString&)> edited;

protected:
    // Pasting and dropping take plain text only, under the box's own line breaks.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool m_settingText = false;
};

} // namespace vp
