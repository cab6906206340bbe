// The runtime on its own: values, the virtual clock, the gate, scripted
// boxes, line breaks, and the lifecycle of a screen.
#include "app/translations.h"
#include "core/control.h"
#include "core/screen.h"
#include "core/text.h"
#include "core/theme.h"
#include "fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/wait.h>
#include <unistd.h>

using namespace vp;
using namespace vp::test;

namespace {

// A reference publishes only what its kind has: a label has no picture, a
// timer no caption, a text box no value.
template <class R>
concept TakesPicture = requires(R r)
{
    r->setPicture(PictureRef{});
};
template <class R>
concept TakesCaption = requires(R r)
{
    r->setCaption(QString());
};
template <class R>
concept HasValue = requires(R r)
{
    r->Value();
};
static_assert(TakesPicture<ControlRef<Image>> && !TakesPicture<ControlRef<Label>> && !TakesPicture<ControlRef<>>);
static_assert(TakesCaption<ControlRef<Label>> && TakesCaption<ControlRef<CommandButton>>);
static_assert(!TakesCaption<ControlRef<Timer>> && !TakesCaption<ControlRef<Image>> && !TakesCaption<ControlRef<>>);
static_assert(HasValue<ControlRef<OptionButton>> && !HasValue<ControlRef<TextBox>>);

// A tiny screen of its own, so the lifecycle can be watched without the
// program's screens getting in the way.
constexpr ControlDef probeControls[] = {
    {.kind = Kind::Timer, .name = "Timer1", .interval = 100},
    {.kind = Kind::CommandButton,
     .name = "Command1",
     .left = 150,
     .top = 150,
     .width = 1200,
     .height = 375,
     .caption = "Ano",
     .tabIndex = 0},
    {.kind = Kind::Label,
     .name = "Label1",
     .left = 15.5F,
     .top = 30,
     .width = 3000,
     .height = 600,
     .caption = "a\rb\nc\r\nd"},
    {.kind = Kind::TextBox,
     .name = "Text1",
     .left = 150,
     .top = 1500,
     .width = 3000,
     .height = 900,
     .tabIndex = 2,
     .multiLine = true},
};
constexpr ScreenDef probeDef{
    .name = "Probe", .title = "Probe", .clientWidth = 4500, .clientHeight = 3000, .controls = probeControls};

class Probe final : public Screen {
public:
    explicit Probe(Runtime& r) : Screen(r, probeDef)
    {
        bind<Probe>({
            {"Form", Event::Load, &Probe::Form_Load},
            {"Form", Event::Unload, &Probe::Form_Unload},
            {"Timer1", Event::Timer, &Probe::Timer1_Timer},
            {"Command1", Event::Click, &Probe::Command1_Click},
            {"Form", Event::Activate, &Probe::Form_Activate},
        });
    }
    int loads = 0, unloads = 0, ticks = 0, clicks = 0, activations = 0;
    bool faultOnActivate = false;
    int counter = 0; // a screen variable: must survive a close
    std::function<void()> onClick;

    void Form_Load() { ++loads; }
    void Form_Unload() { ++unloads; }
    void Timer1_Timer() { ++ticks; }
    void Form_Activate()
    {
        ++activations;
        if (faultOnActivate)
            throw RuntimeError("the picture is not there");
    }
    void Command1_Click()
    {
        ++clicks;
        if (onClick)
            onClick();
    }
};

constexpr ControlDef badControls[] = {{.kind = Kind::Label, .name = "Label1"}};
constexpr ScreenDef badDef{
    .name = "Bad", .title = "Bad", .clientWidth = 1500, .clientHeight = 1500, .controls = badControls};

// A behaviour with one fault of naming: a handler on an event its control does
// not raise, a handler on a missing control, or a missing control it uses.
class BadBehaviour final : public Screen {
public:
    BadBehaviour(Runtime& r, int fault) : Screen(r, badDef)
    {
        if (fault == 0)
            bind<BadBehaviour>({{"Label1", Event::MouseMove, &BadBehaviour::Handler}});
        if (fault == 1)
            bind<BadBehaviour>({{"Labell", Event::Click, &BadBehaviour::Handler}});
        if (fault == 2)
            typo = std::make_unique<ControlRef<>>(*this, "Lable1");
        if (fault == 3)
            picture = std::make_unique<ControlRef<Image>>(*this, "Label1");
    }
    void Handler() {}
    std::unique_ptr<ControlRef<>> typo;
    std::unique_ptr<ControlRef<Image>> picture;
};

} // namespace

class CoreTest : public QObject {
    Q_OBJECT

private slots:
    void init() { h = std::make_unique<Harness>(); }
    void cleanup() { h.reset(); } // the harness checks its boxes as it goes

    void numberToText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("five") << 5.0 << " 5";
        QTest::newRow("negative") << -5.0 << "-5";
        QTest::newRow("half") << 0.5 << " .5";
        QTest::newRow("hundredths") << 20.13 << " 20.13";
        QTest::newRow("large") << 98.0 << " 98";
        QTest::newRow("negative zero") << -0.0 << " 0";
    }
    void numberToText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(Str(value), text);
    }

    void roundingAndWholeParts()
    {
        // Half goes to the even neighbour; the whole part goes down, also below zero.
        QCOMPARE(CInt(0.5), std::int16_t(0));
        QCOMPARE(CInt(1.5), std::int16_t(2));
        QCOMPARE(CInt(2.5), std::int16_t(2));
        QCOMPARE(CInt(-2.5), std::int16_t(-2));
        QCOMPARE(CInt(7.7999999), std::int16_t(8));
        QCOMPARE(CInt(32767.4), std::int16_t(32767));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, CInt(32767.5));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, CInt(-32769.0));
        QCOMPARE(Int(-0.01), -1.0);
        QCOMPARE(Int(2.99), 2.0);
    }

    void randomNumbersStayInRange()
    {
        Random r;
        float lo = 1, hi = 0;
        for (int i = 0; i < 20000; ++i) {
            const float x = r.Rnd();
            QVERIFY(x >= 0.0F && x < 1.0F);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        QVERIFY(lo < 0.01F);
        QVERIFY(hi > 0.99F);
        // Reseeding from different times of day gives different sequences,
        // and from the same time in the same state the same one.
        Random a, b, c;
        a.Randomize(36000.25);
        b.Randomize(36000.25);
        c.Randomize(36000.30);
        const float fa = a.Rnd();
        QCOMPARE(b.Rnd(), fa);
        QVERIFY(c.Rnd() != fa);
    }

    void virtualClockFiresTicksInTimeOrder()
    {
        VirtualClock clock;
        QStringList log;
        auto a = clock.createTickSource([&] { log << QStringLiteral("a%1").arg(clock.now()); });
        auto b = clock.createTickSource([&] { log << QStringLiteral("b%1").arg(clock.now()); });
        a->start(300);
        b->start(200);
        clock.advance(599);
        QCOMPARE(log, QStringList({"b200", "a300", "b400"}));
        clock.advance(1);
        QCOMPARE(log.last(), QStringLiteral("b600")); // ties go in creation order
        QCOMPARE(log.at(log.size() - 2), QStringLiteral("a600"));
        b->stop();
        a->start(1000); // a restart begins a full new period
        clock.advance(999);
        QCOMPARE(log.size(), 5);
        clock.advance(1);
        QCOMPARE(log.last(), QStringLiteral("a1600"));
        QCOMPARE(clock.runningSources(), 1);
    }

    void gateDropsTicksWhileABoxIsOpen()
    {
        Probe probe(h->setup.runtime());
        probe.Show();
        QCOMPARE(probe.ticks, 0);
        h->advance(100);
        QCOMPARE(probe.ticks, 1);
        // The click opens a box; while it waits, 1000 ms pass: ten ticks are due,
        // none runs inside the click and none is queued for later.
        probe.onClick = [&] { h->setup.runtime().boxes().MsgBox(QStringLiteral("?"), mb::OkOnly); };
        h->boxes.expect(texts::Application, mb::OkOnly, [&] {
            h->advance(1000);
            return mb::Ok;
        });
        QTest::mouseClick(probe.C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(probe.clicks, 1);
        QCOMPARE(probe.ticks, 1);
        h->advance(100);
        QCOMPARE(probe.ticks, 2);
    }

    void unexpectedBoxIsRecorded()
    {
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("A"), mb::YesNo, mb::Yes);
        QCOMPARE(boxes.MsgBox(QStringLiteral("x"), mb::YesNo, QStringLiteral("A")), mb::Yes);
        QCOMPARE(boxes.MsgBox(QStringLiteral("y"), mb::RetryCancel, QStringLiteral("B")), mb::Cancel);
        QCOMPARE(boxes.unexpected.size(), 1);
        QVERIFY(boxes.unexpected.first().contains(QLatin1String("\"B\"")));
    }

    void lifecycleLoadsOnFirstReferenceAndRebuildsAfterClose()
    {
        Probe probe(h->setup.runtime());
        QCOMPARE(probe.lifecycle(), Lifecycle::NotCreated);
        QCOMPARE(probe.loads, 0);
        // Reading a control is a reference: it loads the screen, hidden.
        QCOMPARE(probe.C<CommandButton>("Command1").Caption(), QStringLiteral("Ano"));
        QCOMPARE(probe.loads, 1);
        QVERIFY(!probe.isVisible());
        probe.Show();
        QCOMPARE(probe.loads, 1);
        probe.Hide();
        probe.Show();
        QCOMPARE(probe.loads, 1);

        probe.counter = 42;
        probe.C<CommandButton>("Command1").setCaption(QStringLiteral("Ne"));
        probe.C("Label1").setLeft(33.25F);
        h->advance(250);
        QCOMPARE(probe.ticks, 2);

        h->act([&] { probe.closeByUser(); });
        QCOMPARE(probe.unloads, 1);
        QCOMPARE(probe.lifecycle(), Lifecycle::Closed);
        QVERIFY(probe.window() == nullptr);
        QCOMPARE(probe.counter, 42);
        h->advance(1000); // its timer died with the window
        QCOMPARE(probe.ticks, 2);

        // The next reference builds it from the definition again.
        QCOMPARE(probe.C<CommandButton>("Command1").Caption(), QStringLiteral("Ano"));
        QCOMPARE(probe.C("Label1").Left(), 15.5F);
        QCOMPARE(probe.loads, 2);
        QCOMPARE(probe.counter, 42);
        h->advance(100);
        QCOMPARE(probe.ticks, 3);
    }

    void propertiesKeepFractionsAndDrawInPixels()
    {
        Probe probe(h->setup.runtime());
        Control& label = probe.C("Label1");
        label.setWidth(1234.567F);
        QCOMPARE(label.Width(), 1234.567F);
        QCOMPARE(label.widget()->x(), 1); // 15.5 twips
        QCOMPARE(label.widget()->width(), toPixels(15.5 + 1234.567) - 1);
        QCOMPARE(probe.C("Command1").widget()->geometry(), QRect(10, 10, 80, 25));
    }

    // Every name a behaviour uses is checked when its window is built, not
    // when the line that uses it first runs.
    void namingFaultsFailTheBuild_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("named");
        QTest::newRow("event the control does not raise") << 0 << "Label1";
        QTest::newRow("handler on a missing control") << 1 << "Labell";
        QTest::newRow("missing control used") << 2 << "Lable1";
        QTest::newRow("control taken for another kind") << 3 << "Label1";
    }
    void namingFaultsFailTheBuild()
    {
        QFETCH(int, fault);
        QFETCH(QString, named);
        BadBehaviour bad(h->setup.runtime(), fault);
        try {
            bad.Hide();
            QFAIL("building must fail");
        } catch (const RuntimeError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("Bad: ")), e.what());
            QVERIFY2(QString::fromUtf8(e.what()).contains(named), e.what());
        }
    }

    // A fault that can only show at run time (here a naming fault met inside
    // a handler) ends that handler at the gate: it never reaches Qt's event
    // loop, the gate opens again, and what and where is said in one line.
    void aFaultInAHandlerStopsAtTheGate()
    {
        Runtime& runtime = h->setup.runtime();
        BadBehaviour bad(runtime, 1);
        std::vector<std::string> faults;
        runtime.onFault = [&](const std::string& what) { faults.push_back(what); };
        const auto restore = qScopeGuard([&] { runtime.onFault = nullptr; });
        QVERIFY(runtime.run([&] { bad.Hide(); }, &bad));
        QCOMPARE(faults.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(faults[0]).contains(QStringLiteral("Labell")), faults[0].c_str());
        QVERIFY(!runtime.busy());
        bool ranAfter = false;
        QVERIFY(runtime.run([&] { ranAfter = true; }));
        QVERIFY(ranAfter);
    }

    // A Form_Activate is a handler too: its fault stops at the gate, which
    // opens again, instead of crossing Qt's event loop.
    void aFaultInFormActivateStopsAtTheGate()
    {
        Runtime& runtime = h->setup.runtime();
        Probe probe(runtime);
        probe.faultOnActivate = true;
        std::vector<std::string> faults;
        runtime.onFault = [&](const std::string& what) { faults.push_back(what); };
        const auto restore = qScopeGuard([&] { runtime.onFault = nullptr; });
        try {
            QVERIFY(runtime.run([&] { probe.Show(); }));
        } catch (const RuntimeError& e) {
            QFAIL(qPrintable(QStringLiteral("the fault crossed the gate: ") + QString::fromUtf8(e.what())));
        }
        QCOMPARE(probe.activations, 1);
        QCOMPARE(faults.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(faults[0]), QStringLiteral("Probe: the picture is not there"));
        QVERIFY(!runtime.busy());
        QVERIFY(runtime.caller() == nullptr);
        bool ranAfter = false;
        QVERIFY(runtime.run([&] { ranAfter = true; }));
        QVERIFY(ranAfter);
    }

    // A multi-line box's widget outlives the box until its window deletes it;
    // a change of its text meanwhile (a screen reader editing it) reaches no
    // box. Under AddressSanitizer the box that had gone was written to here.
    void aTextBoxGoneBeforeItsWidgetTakesNoEdit()
    {
        Probe probe(h->setup.runtime());
        QPointer<QPlainTextEdit> box = qobject_cast<QPlainTextEdit*>(probe.C<TextBox>("Text1").widget());
        QVERIFY(box);
        box->setPlainText(QStringLiteral("před"));
        QCOMPARE(probe.C<TextBox>("Text1").Text(), QStringLiteral("před"));
        h->act([&] { probe.closeByUser(); });
        QVERIFY2(box, "the window deletes its widgets later, not at once");
        box->setPlainText(QStringLiteral("po zavření"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!box);
        QCOMPARE(probe.C<TextBox>("Text1").Text(), QString());
    }

    // Without anyone to tell, the program says it on stderr and ends with
    // status 70, instead of Qt's abort.
    void aFaultEndsTheProgramWithAStatus()
    {
        int err[2];
        QCOMPARE(pipe(err), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            dup2(err[1], 2);
            BadBehaviour bad(h->setup.runtime(), 2);
            h->setup.runtime().run([&] { bad.Hide(); }, &bad);
            _exit(0); // not reached: the fault ends the program
        }
        close(err[1]);
        QByteArray said;
        char buf[512];
        for (ssize_t n; (n = read(err[0], buf, sizeof buf)) > 0;)
            said.append(buf, n);
        close(err[0]);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 70);
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.startsWith("valdrynix-plim: Bad: ") && said.contains("Lable1"), said.constData());
    }

    // A picture the catalogue lacks, or whose file cannot be read, is named.
    void picturesComeFromTheCatalogueTheyAreGiven()
    {
        enum class Mine { None, Here, Missing, Elsewhere };
        const PictureEntry entries[] = {
            {Mine::Here, ":/pictures/folder_icon.ico", PictureKind::Icon, "tady"},
            {Mine::Missing, ":/pictures/no_such_file.png", PictureKind::Photograph, "nic"},
        };
        const PictureCatalogue mine(entries);
        QCOMPARE(mine.pixmap(Mine::Here).size(), QSize(32, 32));
        QCOMPARE(&mine.pixmap(Mine::Here), &mine.pixmap(Mine::Here)); // loaded once
        QVERIFY(mine.pixmap(Mine::None).isNull());
        QCOMPARE(mine.spoken(Mine::Here), QStringLiteral("tady"));
        QVERIFY(!mine.isPhotograph(Mine::Here));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, mine.pixmap(Mine::Missing));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, mine.pixmap(Mine::Elsewhere));
        try {
            mine.pixmap(Mine::Missing);
        } catch (const RuntimeError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("no_such_file.png")), e.what());
        }
    }

    // So building every screen of the program proves every name its behaviours use.
    void everyScreenBuildsWithItsBehaviour()
    {
        for (Screen* s : h->setup.runtime().screens) {
            h->act([&] { s->Hide(); });
            QVERIFY2(s->isLoaded(), qPrintable(s->name()));
        }
        QCOMPARE(h->setup.runtime().screens.size(), std::size_t(9));
    }

    void lineBreaks()
    {
        // Labels and boxes: CR, LF or CR LF each start one new line.
        QCOMPARE(displayLines(QStringLiteral("a\rb\nc\r\nd")), QStringLiteral("a\nb\nc\nd"));
        // Text boxes: only CR LF does; a lone LF or CR is drawn as a mark.
        const QString stored = QStringLiteral("x\n\ny\r\nz\rw");
        const QString shown = textToDisplay(stored);
        QCOMPARE(shown.count(QLatin1Char('\n')), 1);
        QCOMPARE(shown.size(), stored.size() - 1);
        QCOMPARE(textFromDisplay(shown), stored);

        Probe probe(h->setup.runtime());
        QCOMPARE(probe.C<Label>("Label1").Caption(), QStringLiteral("a\rb\nc\r\nd")); // kept exactly
    }

    // Labels break their lines at blanks only, never after "-" or "/".
    void labelsWrapAtBlanksOnly()
    {
        QFont mono(QStringLiteral("Liberation Mono"));
        mono.setPixelSize(10);
        const QFontMetricsF fm(mono);
        const qreal w = fm.horizontalAdvance(QLatin1Char('x'));
        QCOMPARE(fm.horizontalAdvance(QStringLiteral("a-b/c")), 5 * w); // fixed pitch

        QCOMPARE(wrapAtBlanks(QStringLiteral("aa-bb/cc dd"), fm, 8.5 * w), QStringList({"aa-bb/cc", "dd"}));
        QCOMPARE(wrapAtBlanks(QStringLiteral("x aa-bb/cc"), fm, 8.5 * w), QStringList({"x", "aa-bb/cc"}));
        // A leading blank is no place to break; blanks inside a line stay.
        QCOMPARE(wrapAtBlanks(QStringLiteral(" ab cd"), fm, 3.5 * w), QStringList({" ab", "cd"}));
        QCOMPARE(wrapAtBlanks(QStringLiteral("a   b"), fm, 5 * w), QStringList({"a   b"}));
        // A word wider than the whole label is broken where it must.
        QCOMPARE(wrapAtBlanks(QStringLiteral("abcdefgh ij"), fm, 3.5 * w), QStringList({"abc", "def", "gh", "ij"}));
        QCOMPARE(wrapAtBlanks(QString(), fm, 3 * w), QStringList({QString()}));
        QCOMPARE(wrapAtBlanks(QStringLiteral("ab"), fm, 0), QStringList({"a", "b"}));
        // CR, LF and CR LF each start one line; an empty line stays.
        QCOMPARE(labelLines(QStringLiteral("ab cd\r\rx\r\ny\nz"), fm, 3.5 * w), QStringLiteral("ab\ncd\n\nx\ny\nz"));

        // The crash report keeps its address in one piece.
        Rst& rst = h->setup.Rst();
        QWidget* label = rst.C("Label1").widget();
        const QString shown = labelLines(texts::CrashReport, QFontMetricsF(label->font(), label), label->width());
        QVERIFY2(shown.split(QLatin1Char('\n')).filter(QStringLiteral("x123456;vALdry0-NX000;H,335978/2'")).size() == 1,
                 qPrintable(shown));
    }

    // Qt's own widgets speak Czech where the translation is installed, English
    // where it is not, and never change a caption the program sets itself.
    void standardWidgetsReadCzech()
    {
        const auto menuTexts = [] {
            QPlainTextEdit edit;
            std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
            QStringList texts;
            for (QAction* a : menu->actions())
                texts << a->text();
            return texts.join(QLatin1Char('|'));
        };
        QTemporaryDir empty;
        QVERIFY(!installStandardTranslations(*qApp, empty.path()));
        QVERIFY(menuTexts().contains(QLatin1String("&Paste")));

        // CTest promises it (VP_REQUIRE): setup.sh installs it with the program's build packages.
        VP_SKIP_UNLESS(installStandardTranslations(*qApp), "czech-qt-translation",
                       "Qt's Czech translation (qtbase_cs.qm, qt6-translations-l10n) is not installed here");
        const QString texts = menuTexts();
        QVERIFY2(texts.contains(QStringLiteral("&Vložit")), qPrintable(texts));
        QVERIFY2(!texts.contains(QLatin1String("Paste")), qPrintable(texts));
    }

    // Runs after the translation is installed: the program's own captions stay.
    void messageBoxLooksClassic()
    {
        // The real box, driven by a key press once it is up; its title where the
        // handler gives none is the one the program hands the runtime.
        QtMessageBoxes real;
        VirtualClock clock;
        Random random;
        const Setup program(clock, real, random);
        QString title;
        QStringList captions;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            title = box->windowTitle();
            for (auto* b : box->findChildren<QPushButton*>())
                captions << b->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(real.MsgBox(QStringLiteral("a\rb"), mb::RetryCancel), mb::Cancel);
        QCOMPARE(title, texts::Application);
        captions.sort();
        QCOMPARE(captions, QStringList({"Opakovat", "Storno"}));

        // Escape on a lone OK answers OK; on Yes/No it does nothing, Enter takes the default.
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
        QCOMPARE(real.MsgBox(QStringLiteral("x"), mb::OkOnly + mb::Exclamation, QStringLiteral("T")), mb::Ok);
        QTimer::singleShot(0, [] {
            QWidget* box = QApplication::activeModalWidget();
            QTest::keyClick(box, Qt::Key_Escape);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(real.MsgBox(QStringLiteral("y"), mb::YesNo, QStringLiteral("T")), mb::Yes);
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(CoreTest)
#include "tst_core.moc"
