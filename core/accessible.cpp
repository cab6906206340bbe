#include "accessible.h"

#include "announcer.h"

#include "clock.h"
#include "control.h"
#include "screen.h"
#include "text.h"
#include "widgets.h"
#include "window.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPointer>
#include <algorithm>

namespace vp {

namespace {

// The control behind a runtime widget; none for other widgets, and for a
// widget whose control has gone (it is on its way out).
const Control* controlOf(const QObject* o)
{
    const auto* owned = o && o->isWidgetType() ? dynamic_cast<const Owned*>(static_cast<const QWidget*>(o)) : nullptr;
    return owned ? owned->control : nullptr;
}

ScreenWindow* windowOf(const QWidget* w) { return w ? dynamic_cast<ScreenWindow*>(w->window()) : nullptr; }

QString nameOf(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool isDecoration(const QWidget* w)
{
    const Control* c = controlOf(w);
    return c && c->def().access.decoration;
}

// The control of `w`'s screen with that name (no index), if any.
const Control* sibling(const QWidget* w, std::string_view name)
{
    const ScreenWindow* window = windowOf(w);
    return window && !name.empty() ? window->screen().findControl(name) : nullptr;
}

// Children in reading order, top to bottom and left to right, without the
// pieces that are only drawn for the look. Only controls that still exist
// count: a widget whose control has gone is on its way out.
QList<QWidget*> presentedChildren(const QWidget* parent)
{
    QList<QWidget*> out;
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow() && controlOf(w) && !isDecoration(w))
            out << w;
    }
    std::stable_sort(out.begin(), out.end(), [](const QWidget* a, const QWidget* b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    return out;
}

// A container whose children are presented in reading order.
class ContainerAccessible : public QAccessibleWidget, public OwnInterface {
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return static_cast<int>(presentedChildren(widget()).size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> kids = presentedChildren(widget());
        return index >= 0 && index < kids.size() ? QAccessible::queryAccessibleInterface(kids.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(presentedChildren(widget()).indexOf(qobject_cast<QWidget*>(child->object())))
                     : -1;
    }
};

class WindowAccessible final : public ContainerAccessible {
public:
    explicit WindowAccessible(ScreenWindow* w)
        : ContainerAccessible(w, w->screen().def().dialog ? QAccessible::Dialog : QAccessible::Window)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return ContainerAccessible::text(t);
        // A window without a title bar is named by what it shows; its title
        // is never seen and stays as the program set it.
        const ScreenDef& def = static_cast<ScreenWindow*>(widget())->screen().def();
        if (const Control* label = sibling(widget(), def.spokenNameFrom)) {
            const QString first = displayLines(label->shownText()).section(QLatin1Char('\n'), 0, 0).trimmed();
            if (!first.isEmpty())
                return first;
        }
        if (!def.spokenName.empty())
            return nameOf(def.spokenName);
        return widget()->windowTitle();
    }

    // The controls in reading order, then the announcer once there is one.
    int childCount() const override { return ContainerAccessible::childCount() + (announcer::of(widget()) ? 1 : 0); }
    QAccessibleInterface* child(int index) const override
    {
        if (QWidget* holder = announcer::of(widget()); holder && index == ContainerAccessible::childCount())
            return QAccessible::queryAccessibleInterface(holder);
        return ContainerAccessible::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (QWidget* holder = announcer::of(widget()); holder && child && child->object() == holder)
            return ContainerAccessible::childCount();
        return ContainerAccessible::indexOfChild(child);
    }
};

class LabelAccessible final : public QAccessibleWidget, public OwnInterface {
public:
    explicit LabelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const Control* c = controlOf(object());
            return c ? displayLines(c->shownText()) : QString();
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.invisible = s.invisible || isDecoration(widget());
        return s;
    }
};

class ImageAccessible final : public QAccessibleWidget, public OwnInterface {
public:
    explicit ImageAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const auto* c = static_cast<const Image*>(controlOf(object()));
            return c && c->Picture() ? c->pictures().spoken(c->Picture()->id) : QString();
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = s.invisible || isDecoration(widget());
        return s;
    }
};

// The whole percentage of the track that the fill covers, as the screen shows it.
int barValue(const QWidget* frame)
{
    const Control* bar = controlOf(frame);
    if (!bar)
        return 0;
    const Control* fill = sibling(frame, bar->def().access.barFill);
    const Control* track = sibling(frame, bar->def().access.barTrack);
    if (!fill || !track || !(track->Width() > 0.0F))
        return 0;
    const float done = fill->Width() / track->Width() * 100.0F;
    return std::clamp(static_cast<int>(done), 0, 100);
}

// A frame that the screen draws as a progress bar: its labels are the bar's
// drawing, so it has no children of its own.
class BarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface, public OwnInterface {
public:
    explicit BarAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(barValue(widget())) + QLatin1Char('%');
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return barValue(widget()); }
    void setCurrentValue(const QVariant&) override {} // the user cannot move it
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

// Made from the widget, as Qt's own factory does: the runtime's window, and
// the widgets of the controls the runtime paints itself. Everything else
// keeps Qt's own interface.
QAccessibleInterface* factory(const QString&, QObject* o)
{
    if (!o || !o->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(o);
    if (auto* part = dynamic_cast<announcer::Part*>(w))
        return announcer::accessibleFor(*part);
    if (auto* window = dynamic_cast<ScreenWindow*>(w))
        return new WindowAccessible(window);
    const Control* c = controlOf(w);
    if (!c)
        return nullptr;
    switch (c->kind()) {
    case Kind::Label:
        return new LabelAccessible(w);
    case Kind::Image:
        return new ImageAccessible(w);
    case Kind::Frame:
        if (!c->def().access.barFill.empty())
            return new BarAccessible(w);
        return new ContainerAccessible(w, QAccessible::Grouping);
    case Kind::CommandButton:
    case Kind::OptionButton:
    case Kind::TextBox:
    case Kind::Timer:
    case Kind::Line:
        break;
    }
    return nullptr;
}

void send(QWidget* w, QAccessible::Event type)
{
    if (!w || !QAccessible::isActive())
        return;
    QAccessibleEvent event(w, type);
    QAccessible::updateAccessibility(&event);
}

// Names a text box, or describes an option, by the label that introduces it.
void applyLabel(const Control& target, const Control& label)
{
    QWidget* w = target.widget();
    if (!w)
        return;
    const QString text = displayLines(label.shownText());
    if (target.kind() == Kind::OptionButton)
        w->setAccessibleDescription(text); // the option keeps its own caption as its name
    else
        w->setAccessibleName(text);
}

// The text of a page: its labels in reading order.
QString pageText(const QWidget* frame)
{
    QStringList lines;
    for (const QWidget* w : presentedChildren(frame)) {
        const Control* c = controlOf(w);
        if (c && c->kind() == Kind::Label && c->Visible() && !c->shownText().isEmpty())
            lines << displayLines(c->shownText());
    }
    return lines.join(QLatin1Char('\n'));
}

// The control that has the keyboard focus describes `text`, so that a screen
// reader's "where am I" tells it; the one that described it before, if
// another, no longer does.
void describeByFocus(ScreenWindow* window, const QString& text)
{
    QWidget* focus = window->focusWidget();
    QPointer<QWidget>& teller = window->pageTeller;
    if (teller && teller != focus)
        teller->setAccessibleDescription(QString());
    teller = focus;
    if (focus)
        focus->setAccessibleDescription(text);
}

// A status line is told at most this often: its text may change every tick.
constexpr double StatusPaceSeconds = 10.0;

// A status line whose window is not in front: it is not told, and it stops
// describing the focus.
void statusLeft(const Control& control, ScreenWindow* window)
{
    auto* w = dynamic_cast<LabelWidget*>(control.widget());
    if (!w)
        return;
    w->telling.toldAt = control.clock().secondsSinceMidnight();
    if (w->telling.describing) {
        w->telling.describing = false;
        describeByFocus(window, QString());
    }
}

void statusChanged(const Control& control, ScreenWindow* window)
{
    // The line is read with its window whenever that comes to the front. While
    // the window stays in front, the line is told when it has changed and the
    // last telling is long enough ago, and from the first telling on, the
    // control with the focus is described by the line (for "where am I").
    // Nothing is told over a box, and the focus is not described while its
    // window is behind one: coming back, the window is read once, as it is
    // then, not again with the focus.
    auto* w = dynamic_cast<LabelWidget*>(control.widget());
    if (!w)
        return;
    LabelWidget::StatusTelling& telling = w->telling;
    const double now = control.clock().secondsSinceMidnight();
    const QString text = displayLines(control.shownText());
    if (!window->isVisible() || !window->isActiveWindow()) {
        statusLeft(control, window);
        return;
    }
    const double since = telling.toldAt ? now - *telling.toldAt : StatusPaceSeconds;
    if (since >= 0.0 && since < StatusPaceSeconds) { // across midnight: long enough
        // A bridge that sends the text has the screen reader speak every change
        // of the focus's description, so there the focus keeps the line as it
        // was last told; through Qt 6.4's, which it cannot hear, it follows
        // every change for "where am I".
        if (telling.describing && announcer::needed())
            describeByFocus(window, text);
        return;
    }
    telling.toldAt = now;
    telling.describing = true;
    describeByFocus(window, text);
    if (announcer::needed())
        announcer::tell(window, text);
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    (void)installed;
}

void adoptAccessible(QWidget& widget)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&widget);
    if (iface && iface->isValid() && !dynamic_cast<OwnInterface*>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

void describeScreen(const std::vector<std::unique_ptr<Control>>& built)
{
    for (const auto& c : built)
        if (const Control* label = sibling(c->widget(), c->def().access.labelledBy))
            applyLabel(*c, *label);
}

void accessibleTextChanged(const Control& control)
{
    QWidget* w = control.widget();
    const ScreenWindow* window = windowOf(w);
    if (!window)
        return;
    send(w, QAccessible::NameChanged);
    if (control.kind() != Kind::Label)
        return;
    for (const auto& c : window->screen().controls())
        if (c->def().access.labelledBy == control.def().name)
            applyLabel(*c, control);
    if (window->screen().def().spokenNameFrom == control.def().name)
        send(const_cast<ScreenWindow*>(window), QAccessible::NameChanged);
    if (control.def().access.status)
        statusChanged(control, const_cast<ScreenWindow*>(window));
}

void accessibleWindowLeft(QWidget& window)
{
    // A box that opens holds every handler, ticks included, so the status
    // lines learn of it here rather than at their next change.
    auto* w = dynamic_cast<ScreenWindow*>(&window);
    if (!w)
        return;
    for (const auto& c : w->screen().controls())
        if (c->def().access.status)
            statusLeft(*c, w);
}

void accessibleWidthChanged(const Control& control)
{
    QWidget* w = control.widget();
    auto* frame = w ? dynamic_cast<FrameWidget*>(w->parentWidget()) : nullptr;
    const Control* bar = controlOf(frame);
    if (!bar || (bar->def().access.barFill != control.def().name && bar->def().access.barTrack != control.def().name))
        return;
    // Announced when the whole percentage changes, as the figure on the bar does.
    const int value = barValue(frame);
    if (frame->announcedValue == value)
        return;
    frame->announcedValue = value;
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(frame, value);
        QAccessible::updateAccessibility(&event);
    }
}

void accessibleFrameShown(const Control& control)
{
    // A page turned on a window that is on screen: the keyboard focus stays
    // where it is, and the control that has it is described by the new page,
    // so that a screen reader reads the page out without moving anything.
    QWidget* frame = control.widget();
    ScreenWindow* window = windowOf(frame);
    if (!frame || control.kind() != Kind::Frame || !window || !window->isVisible())
        return;
    QWidget* focus = window->focusWidget();
    const QString text = pageText(frame);
    QPointer<QWidget>& teller = window->pageTeller;
    if (teller && teller != focus)
        teller->setAccessibleDescription(QString());
    teller = nullptr;
    if (!focus || frame->isAncestorOf(focus) || text.isEmpty())
        return;
    teller = focus;
    if (focus->accessibleDescription() == text) // the same page again: say it again all the same
        send(focus, QAccessible::DescriptionChanged);
    else
        focus->setAccessibleDescription(text);
    if (announcer::needed())
        announcer::tell(window, text);
}

} // namespace vp
