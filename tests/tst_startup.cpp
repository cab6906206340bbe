// Splash, welcome prompt and backdrop, driven through their widgets on
// virtual time.
#include "fixture.h"

#include "core/x11/wmrules.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

using namespace vp;
using namespace vp::test;

namespace {

QString caption(Screen& s, const char* name) { return s.C(name).shownText(); }

void hover(Screen& s, const char* name, QPoint at = {20, 10})
{
    QWidget* w = s.C(name).widget();
    QTest::mouseMove(w, at);
    // A second movement within the same button must run the handler again too.
    QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(3, 1)), w->mapToGlobal(QPointF(at + QPoint(3, 1))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        h = std::make_unique<Harness>();
        h->setup.launch();
    }
    void cleanup() { h.reset(); } // the harness checks its boxes as it goes

    void splashHandsOverAfterTwoSeconds()
    {
        QCOMPARE(h->visible(), QStringList({"PreStart"}));
        QCOMPARE(h->active(), QStringLiteral("PreStart"));
        h->advance(1999);
        QCOMPARE(h->visible(), QStringList({"PreStart"}));
        QCOMPARE(h->setup.Start().lifecycle(), Lifecycle::NotCreated);
        h->advance(1);
        QCOMPARE(h->visible(), QStringList({"Start"}));
        QCOMPARE(h->active(), QStringLiteral("Start"));
        QVERIFY(!h->setup.PreStart().C("Timer1").Enabled());
        // The tick fires once: no second prompt two seconds later.
        QWidget* prompt = h->setup.Start().window();
        h->advance(4000);
        QCOMPARE(h->visible(), QStringList({"Start"}));
        QCOMPARE(h->setup.Start().window(), prompt);
        QCOMPARE(caption(h->setup.Start(), "Command1"), QStringLiteral("Ano"));
        QCOMPARE(caption(h->setup.Start(), "Command2"), QStringLiteral("Ne"));
    }

    void answerUnderThePointerReadsAno()
    {
        h->advance(2000);
        Start& s = h->setup.Start();
        hover(s, "Command2");
        QCOMPARE(caption(s, "Command2"), QStringLiteral("Ano"));
        QCOMPARE(caption(s, "Command1"), QStringLiteral("Ne"));
        QCOMPARE(static_cast<QPushButton*>(s.C("Command2").widget())->text(), QStringLiteral("Ano"));
        hover(s, "Command1");
        QCOMPARE(caption(s, "Command1"), QStringLiteral("Ano"));
        QCOMPARE(caption(s, "Command2"), QStringLiteral("Ne"));
        hover(s, "Command2", {5, 5});
        QCOMPARE(caption(s, "Command2"), QStringLiteral("Ano"));
        // Only the captions change, never the buttons.
        QCOMPARE(s.C("Command1").widget()->geometry(), QRect(64, 88, 81, 25));
        QCOMPARE(s.C("Command2").widget()->geometry(), QRect(152, 88, 81, 25));
    }

    void answerReadingNeFromTheKeyboardLeadsOn()
    {
        h->advance(2000);
        Start& s = h->setup.Start();
        hover(s, "Command2"); // the focused left button now reads "Ne"
        QCOMPARE(s.window()->focusWidget(), s.C("Command1").widget());
        QTest::keyClick(s.C("Command1").widget(), Qt::Key_Space);
        QCOMPARE(h->visible(), QStringList({"Background", "Form1"}));
        QCOMPARE(h->active(), QStringLiteral("Form1"));
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(1));
        QCOMPARE(s.lifecycle(), Lifecycle::Loaded); // hidden, not closed
    }

    void eitherAnswerByMouse_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("left") << "Command1";
        QTest::newRow("right") << "Command2";
    }
    void eitherAnswerByMouse()
    {
        QFETCH(QString, button);
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C(button.toStdString()).widget(), Qt::LeftButton);
        QCOMPARE(h->visible(), QStringList({"Background", "Form1"}));
        QCOMPARE(h->active(), QStringLiteral("Form1"));
        // The wizard was shown after the backdrop, so it is in front of it.
        QVERIFY(h->setup.Form1().window()->isVisible());
    }

    void closingThePromptRearmsTheSplash()
    {
        for (int round = 0; round < 2; ++round) {
            h->advance(2000);
            Start& s = h->setup.Start();
            QCOMPARE(h->visible(), QStringList({"Start"}));
            hover(s, "Command2");
            QVERIFY(s.window()->close() == false); // the screen removes the window itself
            QCOMPARE(s.lifecycle(), Lifecycle::Closed);
            QCOMPARE(h->visible(), QStringList({"PreStart"}));
            QVERIFY(h->setup.PreStart().C("Timer1").Enabled());
            h->advance(1999);
            QCOMPARE(h->visible(), QStringList({"PreStart"}));
            h->advance(1);
            QCOMPARE(h->visible(), QStringList({"Start"}));
            QCOMPARE(caption(s, "Command1"), QStringLiteral("Ano"));
            QCOMPARE(caption(s, "Command2"), QStringLiteral("Ne"));
            QCOMPARE(s.window()->focusWidget(), s.C("Command1").widget());
            // Close it again at once, the way the next round starts.
            s.window()->close();
            h->advance(0);
            QCOMPARE(h->visible(), QStringList({"PreStart"}));
        }
    }

    void backdropHandsTheFocusBack()
    {
        h->advance(2000);
        Background& bg = h->setup.Background();
        // Shown for the first time before the wizard exists: the indicator is 0.
        h->act([&] {
            h->setup.Start().Hide();
            bg.Show();
        });
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(0));
        QCOMPARE(h->active(), QStringLiteral("Background"));
        QCOMPARE(h->setup.Form1().lifecycle(), Lifecycle::NotCreated);

        h->act([&] { h->setup.Form1().Show(); });
        QCOMPARE(h->active(), QStringLiteral("Form1"));
        // A click on the backdrop activates it; it hands the focus straight back.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(bg.window(), &activate);
        QCOMPARE(h->active(), QStringLiteral("Form1"));

        // The indicator names a hidden dialog: the focus stays on the backdrop.
        h->act([&] { h->setup.Form1().Hide(); });
        h->setup.runtime().windowActivatedByUser(&bg);
        QCOMPARE(h->active(), QStringLiteral("Background"));

        // ... or a closed one, which looking at must not load again.
        h->act([&] { h->setup.Form1().Show(); });
        h->setup.Form1().window()->close();
        QCOMPARE(h->setup.Form1().lifecycle(), Lifecycle::Closed);
        h->setup.runtime().windowActivatedByUser(&bg);
        QCOMPARE(h->active(), QStringLiteral("Background"));
        QCOMPARE(h->setup.Form1().lifecycle(), Lifecycle::Closed);

        // Indicator 3 with the completion dialog visible.
        h->act([&] { h->setup.Form2().Show(); });
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(3));
        h->setup.runtime().windowActivatedByUser(&bg);
        QCOMPARE(h->active(), QStringLiteral("Form2"));

        // As on the second pass: the indicator names the hidden completion
        // dialog while the wizard, and then the installation, is on screen;
        // the one on screen takes the focus, and loads nothing.
        h->act([&] {
            h->setup.Form2().Hide();
            h->setup.Form1().Show();
        });
        h->setup.runtime().windowActivatedByUser(&bg);
        QCOMPARE(h->active(), QStringLiteral("Form1"));
        QCOMPARE(h->setup.Inst().lifecycle(), Lifecycle::NotCreated);
        h->act([&] {
            h->setup.Form1().Hide();
            h->setup.Inst().Show();
        });
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(2));
        // The completion dialog closed and built anew says 3 again, and goes.
        h->setup.Form2().window()->close();
        h->act([&] { h->setup.Form2().Show(); });
        h->act([&] { h->setup.Form2().Hide(); });
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(3));
        h->setup.runtime().windowActivatedByUser(&bg);
        QCOMPARE(h->active(), QStringLiteral("Inst"));
        QCOMPARE(h->visible(), QStringList({"Background", "Inst"}));
    }

    // The backdrop keeps below the dialogs on every showing, the window it
    // was first made with kept (a window made anew would lose its place with
    // the window manager); no dialog and not the crash screen keeps below.
    void theBackdropStaysBehindTheDialogs()
    {
        h->advance(2000);
        Background& bg = h->setup.Background();
        const auto below = [](Screen& s) {
            return s.window()->windowFlags().testFlag(Qt::WindowStaysOnBottomHint) &&
                   s.window()->windowHandle()->flags().testFlag(Qt::WindowStaysOnBottomHint);
        };
        h->act([&] {
            h->setup.Start().Hide();
            bg.Show();
            h->setup.Form1().Show();
        });
        QVERIFY(below(bg));
        QVERIFY(!below(h->setup.Form1()));
        const WId first = bg.window()->winId();
        h->act([&] { bg.Hide(); });
        h->act([&] { bg.Show(); });
        QVERIFY(below(bg));
        QCOMPARE(bg.window()->winId(), first);
        h->act([&] {
            h->setup.Form1().Hide();
            bg.Hide();
            h->setup.Rst().Show();
        });
        QVERIFY(!below(h->setup.Rst()));
    }

    // The window managers' rules by the names their check windows give, to
    // the letter; any other name has none.
    void windowManagersRules()
    {
        QVERIFY(ws::rulesFor("KWin").keepBelowGoesUnderPanels);
        QVERIFY(ws::rulesFor("KWin").groupDialogsAboveOnlyWhenModal);
        QVERIFY(!ws::rulesFor("KWin").tiles);
        QVERIFY(ws::rulesFor("wlroots wm").tiles);
        QVERIFY(ws::rulesFor("i3").tiles);
        QVERIFY(!ws::rulesFor("i3").keepBelowGoesUnderPanels);
        for (const char* other : {"", "kwin", "KWin ", "Openbox", "GNOME Shell", "i3 "}) {
            const auto& r = ws::rulesFor(other);
            QVERIFY2(!r.tiles && !r.keepBelowGoesUnderPanels && !r.groupDialogsAboveOnlyWhenModal, other);
        }
    }

    void closingTheLastWindowEndsTheProgram()
    {
        int ended = 0;
        h->setup.runtime().onNothingVisible = [&] { ++ended; };
        h->setup.PreStart().window()->close(); // Alt+F4 on the borderless splash
        QCOMPARE(ended, 1);
        QCOMPARE(h->visible(), QStringList());
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
