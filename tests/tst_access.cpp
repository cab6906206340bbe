// What a screen reader learns about the screens (through the same interfaces
// that the desktop's accessibility bridge reads), and where the keyboard alone
// can go.
#include "fixture.h"
#include "texts.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QLibraryInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QVersionNumber>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

using namespace vp;
using namespace vp::test;
namespace texts = vp::test::texts;

namespace {

// Every accessibility event the program sends, as the bridge would get it.
// A notification that shows is news (what Orca reads out), taken down with
// its name at that moment and the time on the program's clock.
// How news reaches a screen reader depends on Qt's AT-SPI bridge. Qt 6.4's
// sends an object where the text of a description change belongs, so the
// program shows a notification named by the news; from Qt 6.5 on, the
// bridge sends the text, and the news is the focus's new description alone.
const bool oldBridge = QLibraryInfo::version() < QVersionNumber(6, 5);

struct Heard {
    QAccessible::Event type;
    QObject* object;
    QVariant value;
    QString news; // null: no news
    double at;
};
std::vector<Heard> heard;
const Clock* heardClock = nullptr;

void listen(QAccessibleEvent* e)
{
    const QVariant value =
        e->type() == QAccessible::ValueChanged ? static_cast<QAccessibleValueChangeEvent*>(e)->value() : QVariant();
    QString news;
    QAccessibleInterface* i = e->accessibleInterface();
    if (oldBridge && e->type() == QAccessible::ObjectShow && i && i->role() == QAccessible::Notification)
        news = i->text(QAccessible::Name);
    if (!oldBridge && e->type() == QAccessible::DescriptionChanged && i && !i->text(QAccessible::Description).isEmpty())
        news = i->text(QAccessible::Description);
    heard.push_back({e->type(), e->object(), value, news, heardClock ? heardClock->secondsSinceMidnight() : 0.0});
}

// The news told since the events were last cleared, in order.
QStringList told()
{
    QStringList out;
    for (const Heard& x : heard)
        if (!x.news.isNull())
            out << x.news;
    return out;
}

int heardOf(QAccessible::Event type, const QObject* object)
{
    return static_cast<int>(std::count_if(heard.begin(), heard.end(),
                                          [&](const Heard& x) { return x.type == type && x.object == object; }));
}

QAccessibleInterface* ax(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
QAccessibleInterface* ax(Control& c) { return ax(c.widget()); }

// The names of a window's children as the tree presents them, in order.
QStringList childNames(QAccessibleInterface* parent)
{
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface* child = parent->child(i);
        names << (child && child->isValid() ? child->text(QAccessible::Name) : QStringLiteral("(no interface)"));
    }
    return names;
}

const QString Question = QStringLiteral(
    "Chcete na váš počítač nainstalovat aplikaci Valdrynix Plim 1.0.? (Varování: Při případných potížích se obraťte na "
    "vašeho distributora softwaru, ale ten vám s tím nejspíš neporadí, takže máte smůlu)");
const QString Page1 = QStringLiteral(
    "Gratulujeme vám! Rozhodli jste se nainstalovat na svůj počítač aplikaci Valdrynix Plim 1.0. Pro pokračování "
    "stiskněte tlačítko 'Další'.");
const QString Page2 = QStringLiteral("Specifikujte, do jaké složky chcete aplikaci nainstalovat.");
const QString Page3 = QStringLiteral("Souhlasíte s podmínkami?");
const QString Page4 = QStringLiteral("Vyberte v jaké konfiguraci chcete aplikaci Valdrynix Plim 1.0. nainstalovat.");
const QString Page5 = QStringLiteral("Stisknutím tlačítka 'Další' začněte s instalací. Přejeme vám hodně trpělivosti.");
const QString ReportLine1 = QStringLiteral(
    "Došlo k zásadní v j mce na adrese '2k45547MHůř8296N54.845BLA / x123456;vALdry0-NX000;H,335978/2' Ukončete "
    "všechny aplikace, vypněte počítač a hoďte ho do záchoda.");
// The report as a screen reader gets it: each carriage return a line break.
const QString Report =
    QLatin1Char(' ') + ReportLine1 +
    QStringLiteral(
        "\n V systému došlo k chybě. Program provedl neplatnou operaci a bude ukončen.\n\n Restartujte počítač stiskem "
        "'CTRL + ALT + DEL'\n Došlo k přetížení interní paměti. Toto chybové hlášení není platné...\n");
const QString Fault = QStringLiteral("Aplikace Valdrinix Plim 1.0. porušila obecnou ochranu. Instalace není není "
                                     "platná. Ukončete program , nebo začněte "
                                     "instalovat znovu.");

// The window's last child is a window of its own with a status bar and
// the notification in it, named by the last news; none of them is ever on screen.
void checkAnnouncer(QAccessibleInterface* window, int controls, const QString& last)
{
    QCOMPARE(window->childCount(), controls + 1);
    QAccessibleInterface* holder = window->child(controls);
    QCOMPARE(holder->role(), QAccessible::Window);
    QCOMPARE(window->indexOfChild(holder), controls);
    QCOMPARE(holder->parent()->object(), window->object());
    QCOMPARE(holder->childCount(), 1);
    QAccessibleInterface* bar = holder->child(0);
    QCOMPARE(bar->role(), QAccessible::StatusBar);
    QCOMPARE(bar->childCount(), 1);
    QAccessibleInterface* note = bar->child(0);
    QCOMPARE(note->role(), QAccessible::Notification);
    QCOMPARE(note->parent()->object(), bar->object());
    QVERIFY(holder->state().invisible && bar->state().invisible && note->state().invisible);
    QCOMPARE(note->text(QAccessible::Name), last);
    QCOMPARE(heardOf(QAccessible::NameChanged, note->object()), 1); // renamed as it showed: no kept name read
}

} // namespace

class AccessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // As when a screen reader is running: the offscreen platform's own
        // accessibility is switched on, and the events come here instead of
        // going to a bus.
        QVERIFY(QGuiApplicationPrivate::platformIntegration()->accessibility());
        QAccessible::installUpdateHandler(&listen);
    }
    void init()
    {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QVERIFY(QAccessible::isActive());
        h = std::make_unique<Harness>();
        heardClock = &h->clock;
        h->setup.launch();
        heard.clear();
    }
    void cleanup()
    {
        verifyBoxes(h->boxes);
        heardClock = nullptr;
        h.reset();
    }

    // The texts a sighted user reads are static text with their exact captions,
    // and a caption set at run time is announced.
    void labelsAreStaticTextWithTheirCaptions()
    {
        h->advance(2000);
        Control& question = h->setup.Start().C("Label1");
        QCOMPARE(ax(question)->role(), QAccessible::StaticText);
        QCOMPARE(ax(question)->text(QAccessible::Name), Question);

        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(ax(h->setup.Form1().C("cptF1"))->role(), QAccessible::StaticText);
        QCOMPARE(ax(h->setup.Form1().C("cptF1"))->text(QAccessible::Name), Page1);

        h->act([&] {
            h->setup.Form1().Hide();
            h->setup.Background().Hide();
            h->setup.Rst().Show();
        });
        Control& report = h->setup.Rst().C("Label1");
        QCOMPARE(ax(report)->role(), QAccessible::StaticText);
        QCOMPARE(ax(report)->text(QAccessible::Name), Report);
        QVERIFY(heardOf(QAccessible::NameChanged, report.widget()) > 0);

        QTest::mouseClick(report.widget(), Qt::LeftButton);
        Control& fault = h->setup.Form3().C("Label1");
        QCOMPARE(ax(fault)->role(), QAccessible::StaticText);
        QCOMPARE(ax(fault)->text(QAccessible::Name), Fault);
        QVERIFY(heardOf(QAccessible::NameChanged, fault.widget()) > 0);
    }

    // A window closed by the user and built again is read again: the new
    // widgets, wherever they land in memory, get interfaces of their own.
    void aScreenBuiltAnewIsReadAnew()
    {
        for (int round = 0; round < 3; ++round) {
            h->advance(2000);
            Screen& prompt = h->setup.Start();
            QVERIFY(prompt.isVisible());
            QAccessibleInterface* w = ax(prompt.window());
            QCOMPARE(childNames(w), QStringList({Question, "Ano", "Ne"}));
            QCOMPARE(ax(prompt.C("Label1"))->role(), QAccessible::StaticText);
            prompt.window()->close(); // back to the splash
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // Windows are windows or dialogs, named by their titles; those without a
    // title bar by what they show, while their titles stay as defined.
    void windowRolesAndNames_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("splash") << "PreStart" << int(QAccessible::Window) << "Valdrynix Plim 1.0."
                                << "Form4";
        QTest::newRow("prompt") << "Start" << int(QAccessible::Dialog) << "Vítá vás aplikace Valdrynix Plim"
                                << "Vítá vás aplikace Valdrynix Plim";
        QTest::newRow("backdrop") << "Background" << int(QAccessible::Window) << "Pozadí instalace Valdrynix Plim 1.0."
                                  << "Form2";
        QTest::newRow("wizard") << "Form1" << int(QAccessible::Dialog) << "Instalace"
                                << "Instalace";
        QTest::newRow("installation") << "Inst" << int(QAccessible::Dialog) << "Probíhá instalace. Nerušit."
                                      << "Probíhá instalace. Nerušit.";
        QTest::newRow("completion") << "Form2" << int(QAccessible::Dialog) << "Instalace Valdrynix Plim 1.0."
                                    << "Instalace Valdrynix Plim 1.0.";
        QTest::newRow("crash screen") << "Rst" << int(QAccessible::Window) << ReportLine1 << "Form2";
        QTest::newRow("fault") << "Form3" << int(QAccessible::Dialog) << "Chyba"
                               << "Chyba";
    }
    void windowRolesAndNames()
    {
        QFETCH(QString, screen);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, title);
        Screen* s = nullptr;
        for (Screen* x : h->setup.runtime().screens)
            if (x->name() == screen)
                s = x;
        QVERIFY(s);
        h->act([&] { s->Show(); });
        QAccessibleInterface* w = ax(s->window());
        QCOMPARE(int(w->role()), role);
        QCOMPARE(w->text(QAccessible::Name), name);
        QCOMPARE(s->window()->windowTitle(), title);
        QCOMPARE(w->parent()->role(), QAccessible::Application);
    }

    // Pictures are graphics named by what they show, the name following the
    // picture; decoration is left out of the tree.
    void picturesAndDecoration()
    {
        Screen& splash = h->setup.PreStart();
        QCOMPARE(childNames(ax(splash.window())),
                 QStringList(
                     {"Fotografie usměvavého muže s brýlemi", "Valdrynix Plim   1.0."})); // the shadow text is left out

        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        Control& portrait = h->setup.Form1().C("Image1");
        QCOMPARE(ax(portrait)->role(), QAccessible::Graphic);
        QCOMPARE(ax(portrait)->text(QAccessible::Name), QStringLiteral("Fotografie usměvavého muže s brýlemi"));
        QTest::mouseClick(portrait.widget(), Qt::LeftButton);
        QTest::mouseClick(portrait.widget(), Qt::LeftButton);
        QCOMPARE(ax(portrait)->text(QAccessible::Name),
                 QStringLiteral("Fotografie usměvavého muže s brýlemi, vzhůru nohama"));
        QVERIFY(heardOf(QAccessible::NameChanged, portrait.widget()) >= 2);

        h->act([&] { h->setup.Form2().Show(); });
        QCOMPARE(
            childNames(ax(h->setup.Form2().window())),
            QStringList({"Proces instalace aplikace Valdrynix Plim 1.0.byl dokončen. Potvrďte stiskem tlačítka OK.",
                         "Smějící se hlava", "OK"})); // the product icon beside the text is left out
    }

    // The folder box is named by the label above it, the licence and the
    // configuration boxes by the questions of their pages; the options of a
    // group are described by the question that introduces them.
    void textBoxAndOptionGroupsNamedByTheirLabels()
    {
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        Form1& w = h->setup.Form1();
        QCOMPARE(ax(w.C("Text1"))->role(), QAccessible::EditableText);
        QCOMPARE(ax(w.C("Text1"))->text(QAccessible::Name), Page2);
        QCOMPARE(ax(w.C("Text1"))->text(QAccessible::Value),
                 QStringLiteral(R"(C:\Program Files\Valdrynix Plim\Plim\Plim_1_0)"));
        QCOMPARE(ax(w.C("txtPodminky"))->role(), QAccessible::EditableText);
        QCOMPARE(ax(w.C("txtPodminky"))->text(QAccessible::Name), Page3);
        QCOMPARE(ax(w.C("txtKonf"))->text(QAccessible::Name), Page4);
        for (const char* option : {"Option1", "Option2"})
            QCOMPARE(ax(w.C(option))->text(QAccessible::Description), Page3);
        for (const char* option : {"optKon1", "optKon2", "optKon3"})
            QCOMPARE(ax(w.C(option))->text(QAccessible::Description), Page4);
        QCOMPARE(ax(w.C("optKon2"))->text(QAccessible::Name), QStringLiteral("Standartní"));
        QCOMPARE(ax(w.C("optKon2"))->role(), QAccessible::RadioButton);
    }

    // The bar is a progress bar from 0 to 100 whose value follows the ticks,
    // and each new whole percent is announced.
    void barValueFollowsTheTicks()
    {
        h->act([&] {
            h->setup.Background().Show();
            h->setup.Inst().Show();
        });
        Inst& inst = h->setup.Inst();
        QWidget* barWidget = inst.C("Frame1").widget();
        QAccessibleInterface* bar = ax(barWidget);
        QCOMPARE(bar->role(), QAccessible::ProgressBar);
        QAccessibleValueInterface* value = bar->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->minimumValue().toInt(), 0);
        QCOMPARE(value->maximumValue().toInt(), 100);
        QCOMPARE(value->currentValue().toInt(), 0);
        QCOMPARE(bar->childCount(), 0); // its labels are its drawing
        QVERIFY(childNames(ax(inst.window())).contains(QStringLiteral("Instaluje se:")));

        h->boxes.expect(QStringLiteral("Upozornění"), mb::YesNo, mb::No); // the waste bin, past 80 %
        heard.clear();
        int ticks = 0, last = 0;
        while (inst.isVisible() && ticks < 400) {
            h->advance(800);
            ++ticks;
            const int now = value->currentValue().toInt();
            QVERIFY(now >= last);
            // The figure on the bar says the same, after its leading blank.
            QCOMPARE(QStringLiteral(" %1%").arg(now), inst.C<Label>("lblPrcnt").Caption());
            last = now;
        }
        QCOMPARE(last, 100);
        QVERIFY2(ticks >= 190 && ticks <= 200, qPrintable(QString::number(ticks)));
        std::vector<int> announced;
        for (const Heard& x : heard)
            if (x.type == QAccessible::ValueChanged && x.object == barWidget)
                announced.push_back(x.value.toInt());
        // 1 to 100, each whole percent once (a tick adds about half a percent).
        QCOMPARE(int(announced.size()), 100);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(announced[std::size_t(i)], i + 1);
    }

    // Return on "Další" page after page: the focus stays on the button, the
    // page is told as news (a notification in the window's status bar shows,
    // named by the page), and the button is described by it for "where am I".
    void pageTurnIsAnnouncedAndTheFocusStays()
    {
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        Form1& w = h->setup.Form1();
        QWidget* next = w.C("cmdDalsi").widget();
        QCOMPARE(w.window()->focusWidget(), next);
        const int controls = ax(w.window())->childCount();
        for (const QString& page : {Page2, Page3, Page4, Page5}) {
            heard.clear();
            QTest::keyClick(w.window()->focusWidget(), Qt::Key_Return);
            QCOMPARE(w.window()->focusWidget(), next);
            VP_EVENTUALLY_COMPARE(told(), QStringList({page})); // once the turn is done
            QCOMPARE(heardOf(QAccessible::DescriptionChanged, next), 1);
            QCOMPARE(ax(next)->text(QAccessible::Description), page);
            QCOMPARE(ax(next)->text(QAccessible::Name), QStringLiteral("Další  >>"));
        }
        QAccessibleInterface* window = ax(w.window());
        if (oldBridge) {
            checkAnnouncer(window, controls, Page5);
            if (QTest::currentTestFailed())
                return;
        } else {
            QCOMPARE(window->childCount(), controls); // nothing but the controls: no notification heard twice
        }
        // Back from the last page: told by the button that turned it.
        QWidget* back = w.C("cmdZpet").widget();
        back->setFocus();
        heard.clear();
        QTest::keyClick(back, Qt::Key_Return);
        QCOMPARE(w.AktFaze, std::int16_t(4));
        VP_EVENTUALLY_COMPARE(told(), QStringList({Page4}));
        QCOMPARE(ax(back)->text(QAccessible::Description), Page4);
        QCOMPARE(ax(next)->text(QAccessible::Description), QString());
        next->setFocus();
        QTest::keyClick(next, Qt::Key_Return);
        QTest::keyClick(next, Qt::Key_Return);
        QCOMPARE(h->visible(), QStringList({"Background", "Inst"}));
    }

    // The remaining time changes every tick; it is read with the installation
    // window and then, while the window is in front, told as news no more
    // often than every 10 s, each time as the screen shows it then; from the
    // first telling on, the control with the focus is described by it as it
    // is, for "where am I".
    void remainingTimeIsToldAtAListenersPace()
    {
        // The way a user gets there: the prompt, then the wizard's five pages.
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        for (int page = 1; page <= 5; ++page)
            QTest::mouseClick(h->setup.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        Inst& inst = h->setup.Inst();
        QVERIFY(inst.isVisible());
        // Told only while its window is in front (not over a box).
        QVERIFY(QTest::qWaitForWindowActive(inst.window()));
        QWidget* focus = inst.window()->focusWidget();
        QVERIFY(focus);
        QCOMPARE(ax(focus)->text(QAccessible::Name), QStringLiteral("Konec"));
        const QRegularExpression shown(QStringLiteral("^Zbývá ještě: \\d+ h  \\d+ m  \\d+ s  \\(odhad\\)$"));
        QVERIFY2(shown.match(inst.C<Label>("lblZbyva").Caption()).hasMatch(),
                 qPrintable(inst.C<Label>("lblZbyva").Caption()));
        const double start = h->clock.secondsSinceMidnight();
        h->boxes.expect(QStringLiteral("Upozornění"), mb::YesNo, mb::No); // the waste bin, past 80 %
        heard.clear();
        std::vector<double> times;
        QStringList captions;
        int ticks = 0;
        while (inst.isVisible() && ticks < 400) {
            h->advance(800);
            ++ticks;
            QCoreApplication::processEvents(); // the news goes out once the tick is done
            if (!inst.isVisible())
                break;
            // Described from the first telling on: through the old bridge as
            // the screen shows it, through one that sends the text as last told
            // (each change of the focus's description is spoken there).
            const QString described = captions.isEmpty() && told().isEmpty() ? QString()
                                      : oldBridge                            ? inst.C<Label>("lblZbyva").Caption()
                                                                             : told().last();
            QCOMPARE(ax(focus)->text(QAccessible::Description), described);
            const QStringList now = told();
            if (now.size() > captions.size()) {
                QCOMPARE(now.size(), captions.size() + 1); // one at a time
                QCOMPARE(now.last(), inst.C<Label>("lblZbyva").Caption());
                captions = now;
                times.push_back(h->clock.secondsSinceMidnight());
            }
        }
        QVERIFY(!inst.isVisible());
        // About 160 s of installation: some fifteen tellings, each of its own.
        QVERIFY2(times.size() >= 12 && times.size() <= 16, qPrintable(QString::number(times.size())));
        QVERIFY2(times.front() - start >= 10.0, qPrintable(QString::number(times.front() - start)));
        for (std::size_t i = 1; i < times.size(); ++i) {
            QVERIFY2(times[i] - times[i - 1] >= 10.0 && times[i] - times[i - 1] <= 11.2,
                     qPrintable(QString::number(times[i] - times[i - 1])));
            QVERIFY(captions[int(i)] != captions[int(i - 1)]);
        }
    }

    // Tab enters the configuration group at the selected option (the first
    // when none is) and leaves it with the next Tab; arrows move and select
    // within it, running the option's Click as the mouse does.
    void tabThroughTheConfigurationPage_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::newRow("none") << "";
        QTest::newRow("Minimální") << "optKon1";
        QTest::newRow("Standartní") << "optKon2";
        QTest::newRow("Profesionální") << "optKon3";
    }
    void tabThroughTheConfigurationPage()
    {
        QFETCH(QString, selected);
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        Form1& w = h->setup.Form1();
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(w.C("cmdDalsi").widget(), Qt::LeftButton);
        QCOMPARE(w.AktFaze, std::int16_t(4));
        if (!selected.isEmpty())
            QTest::mouseClick(w.C(selected.toStdString()).widget(), Qt::LeftButton);
        QWidget* entry = w.C(selected.isEmpty() ? "optKon1" : selected.toStdString()).widget();
        QWidget* konf = w.C("txtKonf").widget();

        const auto focus = [&] { return w.window()->focusWidget(); };
        w.C("cmdKonec").widget()->setFocus();
        QTest::keyClick(focus(), Qt::Key_Tab);
        QCOMPARE(focus(), entry);
        QTest::keyClick(focus(), Qt::Key_Tab);
        QCOMPARE(focus(), konf);
        QTest::keyClick(focus(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focus(), entry);
        QTest::keyClick(focus(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focus(), w.C("cmdKonec").widget());

        // Down from the entry: the next option has the focus and, when one was
        // selected, is selected with its description; Tab then enters there.
        // The arrows go by the application's focus, which only an active window has.
        QVERIFY(QTest::qWaitForWindowActive(w.window()));
        entry->setFocus();
        QTest::keyClick(entry, Qt::Key_Down);
        const std::string nextName = selected == "optKon2" ? "optKon3" : selected == "optKon3" ? "optKon1" : "optKon2";
        if (selected == "optKon3") {
            QCOMPARE(focus(), entry); // the last option: Down goes nowhere further
            return;
        }
        QCOMPARE(focus(), w.C(nextName).widget());
        if (selected.isEmpty()) {
            QVERIFY(!w.C<OptionButton>(nextName).Value());
            QTest::keyClick(focus(), Qt::Key_Space);
        }
        QVERIFY(w.C<OptionButton>(nextName).Value());
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), texts::Configuration[nextName == "optKon2" ? 1 : 2]);
        w.C("cmdKonec").widget()->setFocus();
        QTest::keyClick(focus(), Qt::Key_Tab);
        QCOMPARE(focus(), w.C(nextName).widget());
        QTest::keyClick(focus(), Qt::Key_Tab);
        QCOMPARE(focus(), konf);
    }

    // Closing the wizard leaves the backdrop alone: it becomes the active
    // window, so a keyboard user can close it too; nothing is then left.
    void backdropAloneIsActive()
    {
        bool ended = false;
        h->setup.runtime().onNothingVisible = [&] { ended = true; };
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        QWidget* backdrop = h->setup.Background().window();
        h->setup.Form1().window()->close();
        QCOMPARE(h->visible(), QStringList({"Background"}));
        QCOMPARE(h->active(), QStringLiteral("Background"));
        VP_EVENTUALLY_COMPARE(QApplication::activeWindow(), backdrop);
        QVERIFY(ax(backdrop)->state().active);
        QVERIFY(!ended);
        backdrop->close();
        QVERIFY(ended);
        QCOMPARE(h->visible(), QStringList());
    }

    // The crash screen still answers no key; a click leads on; closing it ends.
    void crashScreenKeepsItsWays()
    {
        bool ended = false;
        h->setup.runtime().onNothingVisible = [&] { ended = true; };
        h->act([&] {
            h->setup.PreStart().Hide();
            h->setup.Rst().Show();
        });
        QWidget* rst = h->setup.Rst().window();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape, Qt::Key_Tab})
            QTest::keyClick(rst, key);
        QCOMPARE(h->visible(), QStringList({"Rst"}));
        rst->close();
        QVERIFY(ended);
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(AccessTest)
#include "tst_access.moc"
