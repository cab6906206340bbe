#include "announcer.h"

#include "accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLibraryInfo>
#include <QVersionNumber>

namespace vp::announcer {

namespace {

class PartAccessible final : public QAccessibleWidget, public OwnInterface {
public:
    explicit PartAccessible(Part* p) : QAccessibleWidget(p, roleOf(p->kind)) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* p = static_cast<const Part*>(widget());
        return t == QAccessible::Name && p->kind == Part::Kind::Note ? p->news : QString();
    }

private:
    static QAccessible::Role roleOf(Part::Kind k)
    {
        switch (k) {
        case Part::Kind::Window:
            return QAccessible::Window;
        case Part::Kind::Bar:
            return QAccessible::StatusBar;
        case Part::Kind::Note:
            break;
        }
        return QAccessible::Notification;
    }
};

} // namespace

bool needed()
{
    static const bool oldBridge = QLibraryInfo::version() < QVersionNumber(6, 5);
    return oldBridge;
}

Part::Part(QWidget* parent, Kind k) : QWidget(parent), kind(k)
{
    hide();
    adoptAccessible(*this);
}

Part* of(const QWidget* window)
{
    for (QObject* o : window->children())
        if (auto* p = dynamic_cast<Part*>(o); p && p->kind == Part::Kind::Window)
            return p;
    return nullptr;
}

QAccessibleInterface* accessibleFor(Part& part) { return new PartAccessible(&part); }

void tell(QWidget* window, const QString& news)
{
    if (!window || news.isEmpty() || !QAccessible::isActive())
        return;
    Part* holder = of(window);
    if (!holder) {
        holder = new Part(window, Part::Kind::Window);
        new Part(new Part(holder, Part::Kind::Bar), Part::Kind::Note);
    }
    Part* note = nullptr;
    for (QWidget* w : holder->findChildren<QWidget*>()) // Qt 6.8 finds only classes with Q_OBJECT by their own type
        if (auto* p = dynamic_cast<Part*>(w); p && p->kind == Part::Kind::Note)
            note = p;
    if (!note)
        return;
    note->news = news;
    QMetaObject::invokeMethod(
        note,
        [note] {
            if (QAccessible::isActive()) {
                // Renamed first, so that no client reads a name it kept.
                QAccessibleEvent renamed(note, QAccessible::NameChanged);
                QAccessible::updateAccessibility(&renamed);
                QAccessibleEvent shown(note, QAccessible::ObjectShow);
                QAccessible::updateAccessibility(&shown);
            }
        },
        Qt::QueuedConnection);
}

} // namespace vp::announcer
