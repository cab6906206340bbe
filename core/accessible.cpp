#include "accessible.h"

#include "clock.h"
#include "control.h"
#include "pictures.h"
#include "text.h"
#include "widgets.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <algorithm>

namespace vp {

namespace {

// The runtime's own windows and controls, so that the interfaces can read what
// the program set (captions, twips) rather than what was drawn.
QHash<const QObject*, const ScreenDef*>& windows()
{
    static QHash<const QObject*, const ScreenDef*> map;
    return map;
}

QHash<const QObject*, const Control*>& controls()
{
    static QHash<const QObject*, const Control*> map;
    return map;
}

const Control* controlOf(const QObject* o) { return controls().value(o, nullptr); }

QString nameOf(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool isDecoration(const QWidget* w)
{
    const Control* c = controlOf(w);
    return c && c->def().access.decoration;
}

// The control of `window`'s screen with that name (no index), if any.
const Control* findInWindow(const QWidget* window, std::string_view name)
{
    for (auto it = controls().cbegin(); it != controls().cend(); ++it) {
        const Control* c = it.value();
        if (c->def().name == name && c->def().index == -1 && c->widget() && c->widget()->window() == window)
            return c;
    }
    return nullptr;
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

// The mark of the interfaces made here.
class Ours {
public:
    virtual ~Ours() = default;
};

// A container whose children are presented in reading order.
class ContainerAccessible : public QAccessibleWidget, public Ours {
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

// What a screen reader is told as it happens, beside the focus: a page turned,
// a status line that changed. Orca 43 cannot speak a changed name or
// description from Qt 6.4 (its event carries the object where the new text
// belongs); it speaks a notification as that shows, by its name, leaving out
// the word "notification" for one inside a status bar. Inside a dialog it
// would first read the dialog again with all its text, so the status bar sits
// in a window of its own within the screen's window. Each window that has
// something to tell gets these three, none of them ever on screen (what they
// tell is), and the notification is shown anew, named by the news.
const char* const AnnouncerPart = "vpAnnouncer"; // "window", "bar" or "note"
const char* const NewsProperty = "vpNews";

QWidget* announcerOf(const QWidget* window)
{
    for (QObject* o : window->children())
        if (o->property(AnnouncerPart).toString() == QLatin1String("window"))
            return static_cast<QWidget*>(o);
    return nullptr;
}

class AnnouncerAccessible final : public QAccessibleWidget, public Ours {
public:
    AnnouncerAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && role() == QAccessible::Notification)
            return widget()->property(NewsProperty).toString();
        return QString();
    }
};

class WindowAccessible final : public ContainerAccessible {
public:
    WindowAccessible(QWidget* w, const ScreenDef& def)
        : ContainerAccessible(w, def.dialog ? QAccessible::Dialog : QAccessible::Window),
          m_def(def)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return ContainerAccessible::text(t);
        // A window without a title bar is named by what it shows; its title
        // is never seen and stays as the program set it.
        if (!m_def.spokenNameFrom.empty()) {
            if (const Control* label = findInWindow(widget(), m_def.spokenNameFrom)) {
                const QString first = displayLines(label->Caption()).section(QLatin1Char('\n'), 0, 0).trimmed();
                if (!first.isEmpty())
                    return first;
            }
        }
        if (!m_def.spokenName.empty())
            return nameOf(m_def.spokenName);
        return widget()->windowTitle();
    }

    // The controls in reading order, then the status bar once there is one.
    int childCount() const override { return ContainerAccessible::childCount() + (announcerOf(widget()) ? 1 : 0); }
    QAccessibleInterface* child(int index) const override
    {
        if (QWidget* bar = announcerOf(widget()); bar && index == ContainerAccessible::childCount())
            return QAccessible::queryAccessibleInterface(bar);
        return ContainerAccessible::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (QWidget* bar = announcerOf(widget()); bar && child && child->object() == bar)
            return ContainerAccessible::childCount();
        return ContainerAccessible::indexOfChild(child);
    }

private:
    const ScreenDef& m_def;
};

class LabelAccessible final : public QAccessibleWidget, public Ours {
public:
    explicit LabelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const Control* c = controlOf(object());
            return c ? displayLines(c->Caption()) : QString();
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

class ImageAccessible final : public QAccessibleWidget, public Ours {
public:
    explicit ImageAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const Control* c = controlOf(object());
            return c && c->Picture() ? pictureDescription(c->Picture()->id) : QString();
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
    const Control* fill = findInWindow(frame->window(), bar->def().access.barFill);
    const Control* track = findInWindow(frame->window(), bar->def().access.barTrack);
    if (!fill || !track || !(track->Width() > 0.0F))
        return 0;
    const float done = fill->Width() / track->Width() * 100.0F;
    return std::clamp(static_cast<int>(done), 0, 100);
}

// A frame that the screen draws as a progress bar: its labels are the bar's
// drawing, so it has no children of its own.
class BarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface, public Ours {
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

QAccessibleInterface* factory(const QString&, QObject* o)
{
    if (!o || !o->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(o);
    if (const QString part = o->property(AnnouncerPart).toString(); !part.isEmpty())
        return new AnnouncerAccessible(w, part == QLatin1String("window") ? QAccessible::Window
                                          : part == QLatin1String("bar")  ? QAccessible::StatusBar
                                                                          : QAccessible::Notification);
    if (const ScreenDef* def = windows().value(o, nullptr))
        return new WindowAccessible(w, *def);
    const Control* c = controlOf(o);
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
    return nullptr; // Qt's own interface
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
    const QString text = displayLines(label.Caption());
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
        if (c && c->kind() == Kind::Label && c->Visible() && !c->Caption().isEmpty())
            lines << displayLines(c->Caption());
    }
    return lines.join(QLatin1Char('\n'));
}

// Per window, the control that tells of the page now shown.
QHash<const QObject*, QPointer<QWidget>>& pageTellers()
{
    static QHash<const QObject*, QPointer<QWidget>> map;
    return map;
}

void useOurInterface(QObject* o);

// Tells a screen reader `news` once the program has done what it is doing
// (a page that fills a text box sends a flood of events, in which Orca 43
// drops what comes first): the window's notification shows, named by it.
void announce(QWidget* window, const QString& news)
{
    if (!window || news.isEmpty() || !QAccessible::isActive())
        return;
    QWidget* holder = announcerOf(window);
    if (!holder) {
        holder = new QWidget(window);
        auto* bar = new QWidget(holder);
        auto* note = new QWidget(bar);
        for (auto [w, part] : {std::pair{holder, "window"}, std::pair{bar, "bar"}, std::pair{note, "note"}}) {
            w->setProperty(AnnouncerPart, QString::fromLatin1(part));
            w->hide();
            useOurInterface(w);
        }
    }
    QWidget* note = nullptr;
    for (auto* w : holder->findChildren<QWidget*>())
        if (w->property(AnnouncerPart).toString() == QLatin1String("note"))
            note = w;
    note->setProperty(NewsProperty, news);
    QMetaObject::invokeMethod(
        note,
        [note] {
            if (QAccessible::isActive()) {
                QAccessibleEvent shown(note, QAccessible::ObjectShow);
                QAccessible::updateAccessibility(&shown);
            }
        },
        Qt::QueuedConnection);
}

// A status line is told at most this often: its text may change every tick.
constexpr double StatusPaceSeconds = 10.0;
const char* const StatusToldProperty = "vpStatusTold";             // the clock's seconds when it was last told
const char* const StatusDescribingProperty = "vpStatusDescribing"; // the focus is described by it

} // namespace

QString pictureDescription(PictureId id)
{
    switch (id) {
    case PictureId::Portrait:
        return QStringLiteral("Fotografie usměvavého muže s brýlemi");
    case PictureId::PortraitInverted:
        return QStringLiteral("Fotografie usměvavého muže s brýlemi, vzhůru nohama");
    case PictureId::BackdropGradient:
        return QStringLiteral("Modré pozadí");
    case PictureId::ProductIcon:
        return QStringLiteral("Plim 1.0.");
    case PictureId::ArrowCursor:
        return QStringLiteral("Šipka");
    case PictureId::FolderIcon:
        return QStringLiteral("Otevřená složka");
    case PictureId::ComputerIcon:
        return QStringLiteral("Počítač");
    case PictureId::HeadCutout:
        return QStringLiteral("Smějící se hlava");
    case PictureId::None:
        break;
    }
    return QString();
}

namespace {

void useOurInterface(QObject* o)
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    (void)installed;
    // An interface that the toolkit made before the object was ours (while a
    // screen reader listens, widgets are asked about as they are made) goes.
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(o);
    if (iface && iface->isValid() && !dynamic_cast<Ours*>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

} // namespace

void registerWindow(QWidget& window, const ScreenDef& def)
{
    windows().insert(&window, &def);
    QObject::connect(&window, &QObject::destroyed, [](QObject* o) {
        windows().remove(o);
        pageTellers().remove(o);
    });
    useOurInterface(&window);
}

void registerControl(const Control& control)
{
    const Kind k = control.kind();
    if (!control.widget())
        return;
    controls().insert(control.widget(), &control);
    if (k == Kind::Label || k == Kind::Image || k == Kind::Frame)
        useOurInterface(control.widget());
}

void describeScreen(QWidget& window, const std::vector<std::unique_ptr<Control>>& built)
{
    for (const auto& c : built)
        if (!c->def().access.labelledBy.empty())
            if (const Control* label = findInWindow(&window, c->def().access.labelledBy))
                applyLabel(*c, *label);
}

void forgetControl(const Control& control)
{
    if (control.widget())
        controls().remove(control.widget());
}

void accessibleTextChanged(const Control& control)
{
    QWidget* w = control.widget();
    if (!w || !controls().contains(w))
        return; // still being built
    send(w, QAccessible::NameChanged);
    if (control.kind() != Kind::Label)
        return;
    QWidget* window = w->window();
    for (auto it = controls().cbegin(); it != controls().cend(); ++it) {
        const Control* c = it.value();
        if (c->def().access.labelledBy == control.def().name && c->widget() && c->widget()->window() == window)
            applyLabel(*c, control);
    }
    if (const ScreenDef* def = windows().value(window, nullptr); def && def->spokenNameFrom == control.def().name)
        send(window, QAccessible::NameChanged);
    if (control.def().access.status)
        statusChanged(control);
}

namespace {

// The control that has the keyboard focus describes `text`, so that a screen
// reader's "where am I" tells it; the one that described it before, if
// another, no longer does.
void describeByFocus(QWidget* window, const QString& text)
{
    QWidget* focus = window->focusWidget();
    QPointer<QWidget>& teller = pageTellers()[window];
    if (teller && teller != focus)
        teller->setAccessibleDescription(QString());
    teller = focus;
    if (focus)
        focus->setAccessibleDescription(text);
}

} // namespace

void statusChanged(const Control& control)
{
    // The line is read with its window whenever that comes to the front. While
    // the window stays in front, the line is told when it has changed and the
    // last telling is long enough ago, and from the first telling on, the
    // control with the focus is described by the line as the screen shows it
    // (for "where am I"). Nothing is told over a box, and the focus is not
    // described while its window is behind one: coming back, the window is
    // read once, as it is then, not again with the focus.
    QWidget* w = control.widget();
    QWidget* window = w->window();
    const double now = control.clock().secondsSinceMidnight();
    const QString text = displayLines(control.Caption());
    const bool describing = w->property(StatusDescribingProperty).toBool();
    if (!window->isVisible() || !window->isActiveWindow()) {
        w->setProperty(StatusToldProperty, now);
        if (describing) {
            w->setProperty(StatusDescribingProperty, false);
            describeByFocus(window, QString());
        }
        return;
    }
    const QVariant told = w->property(StatusToldProperty);
    const double since = told.isValid() ? now - told.toDouble() : StatusPaceSeconds;
    if (since >= 0.0 && since < StatusPaceSeconds) { // across midnight: long enough
        if (describing)
            describeByFocus(window, text);
        return;
    }
    w->setProperty(StatusToldProperty, now);
    w->setProperty(StatusDescribingProperty, true);
    describeByFocus(window, text);
    announce(window, text);
}

void accessibleWidthChanged(const Control& control)
{
    QWidget* w = control.widget();
    QWidget* frame = w ? w->parentWidget() : nullptr;
    const Control* bar = controlOf(frame);
    if (!bar || (bar->def().access.barFill != control.def().name && bar->def().access.barTrack != control.def().name))
        return;
    // Announced when the whole percentage changes, as the figure on the bar does.
    const int value = barValue(frame);
    if (frame->property("vpAnnouncedValue") == QVariant(value))
        return;
    frame->setProperty("vpAnnouncedValue", value);
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
    if (!frame || control.kind() != Kind::Frame || !controls().contains(frame) || !frame->window()->isVisible())
        return;
    QWidget* window = frame->window();
    QWidget* focus = window->focusWidget();
    const QString text = pageText(frame);
    QPointer<QWidget>& teller = pageTellers()[window];
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
    announce(window, text);
}

} // namespace vp
