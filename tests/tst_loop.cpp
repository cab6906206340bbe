// The whole loop, from launch through a full installation to the fault dialog
// and round again, through the real widgets on virtual time. Each row is one
// passage between screens: what the user does, then which screens are
// visible and which one is active.
#include "fixture.h"

#include <QApplication>

using namespace vp;
using namespace vp::test;

namespace {

struct Passage {
    const char* what;
    std::function<void(Harness&)> act;
    QStringList visible;
    const char* active;
};

void click(Screen& s, const char* control) { QTest::mouseClick(s.C(control).widget(), Qt::LeftButton); }
void clickWindow(Screen& s) { QTest::mouseClick(s.window(), Qt::LeftButton, {}, QPoint(2, 2)); }
void closeBox(Screen& s) { s.window()->close(); }
void backdropClicked(Harness& h)
{
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(h.setup.Background().window(), &activate);
}
void untilCompleted(Harness& h)
{
    VP_ADVANCE_UNTIL(h.clock, h.setup.Form2().isVisible(), 260 * 800, "the completion dialog");
}

} // namespace

class LoopTest : public QObject {
    Q_OBJECT

private slots:
    void wholeLoop()
    {
        Harness h;
        Setup& s = h.setup;
        const auto refusal = [](Harness& x) { x.boxes.expectExitRefusal(); };

        const std::vector<Passage> passages = {
            {"launch: the splash screen", [](Harness& x) { x.setup.launch(); }, {"PreStart"}, "PreStart"},
            {"splash tick after 2000 ms: the prompt", [](Harness& x) { x.advance(2000); }, {"Start"}, "Start"},
            {"prompt closed: the splash re-armed",
             [](Harness& x) { closeBox(x.setup.Start()); },
             {"PreStart"},
             "PreStart"},
            {"2000 ms later: a new prompt", [](Harness& x) { x.advance(2000); }, {"Start"}, "Start"},
            {"pointer onto the right answer",
             [](Harness& x) {
                 QTest::mouseMove(x.setup.Start().C("Command2").widget(), {10, 10});
             },
             {"Start"},
             "Start"},
            {"an answer: backdrop, wizard in front",
             [](Harness& x) { click(x.setup.Start(), "Command2"); },
             {"Background", "Form1"},
             "Form1"},
            {"backdrop clicked: the wizard again", backdropClicked, {"Background", "Form1"}, "Form1"},
            {"wizard Exit: refused",
             [&](Harness& x) {
                 refusal(x);
                 click(x.setup.Form1(), "cmdKonec");
             },
             {"Background", "Form1"},
             "Form1"},
            {"four times Next: page 5",
             [](Harness& x) {
                 for (int i = 0; i < 4; ++i)
                     click(x.setup.Form1(), "cmdDalsi");
             },
             {"Background", "Form1"},
             "Form1"},
            {"Next on page 5: the installation",
             [](Harness& x) { click(x.setup.Form1(), "cmdDalsi"); },
             {"Background", "Inst"},
             "Inst"},
            {"installation closed: the wizard",
             [](Harness& x) { closeBox(x.setup.Inst()); },
             {"Background", "Form1"},
             "Form1"},
            {"Next again: the installation anew",
             [](Harness& x) { click(x.setup.Form1(), "cmdDalsi"); },
             {"Background", "Inst"},
             "Inst"},
            {"installation Exit: refused",
             [&](Harness& x) {
                 refusal(x);
                 click(x.setup.Inst(), "Command1");
             },
             {"Background", "Inst"},
             "Inst"},
            {"backdrop clicked: the installation again", backdropClicked, {"Background", "Inst"}, "Inst"},
            {"full bar, with the waste bin: completion",
             [](Harness& x) {
                 x.boxes.expect(texts::WarningTitle, mb::YesNo, mb::Yes);
                 x.boxes.expect(texts::RefusalTitle, mb::OkOnly + mb::Critical, mb::Ok);
                 untilCompleted(x);
             },
             {"Background", "Form2"},
             "Form2"},
            {"backdrop clicked: the completion dialog again", backdropClicked, {"Background", "Form2"}, "Form2"},
            {"OK: the crash screen alone", [](Harness& x) { click(x.setup.Form2(), "Command1"); }, {"Rst"}, "Rst"},
            {"crash screen clicked: the fault dialog",
             [](Harness& x) { clickWindow(x.setup.Rst()); },
             {"Form3"},
             "Form3"},
            {"fault Exit: refused",
             [&](Harness& x) {
                 refusal(x);
                 click(x.setup.Form3(), "Command2");
             },
             {"Form3"},
             "Form3"},
            {"fault dialog closed: the completion dialog",
             [](Harness& x) { closeBox(x.setup.Form3()); },
             {"Form2"},
             "Form2"},
            {"OK again: the crash screen", [](Harness& x) { click(x.setup.Form2(), "Command1"); }, {"Rst"}, "Rst"},
            {"label clicked: a new fault dialog",
             [](Harness& x) { click(x.setup.Rst(), "Label1"); },
             {"Form3"},
             "Form3"},
            {"Znovu: the prompt, no splash",
             [](Harness& x) { click(x.setup.Form3(), "Command1"); },
             {"Start"},
             "Start"},
            {"second answer: backdrop and the wizard on page 5",
             [](Harness& x) { click(x.setup.Start(), "Command1"); },
             {"Background", "Form1"},
             "Form1"},
            {"Next: the installation, full",
             [](Harness& x) { click(x.setup.Form1(), "cmdDalsi"); },
             {"Background", "Inst"},
             "Inst"},
            // The indicator still names the hidden completion dialog: the dialog on screen takes the focus.
            {"backdrop clicked on the second pass", backdropClicked, {"Background", "Inst"}, "Inst"},
            {"time passes: nothing more", [](Harness& x) { x.advance(30000); }, {"Background", "Inst"}, "Inst"},
        };

        for (const Passage& p : passages) {
            p.act(h);
            QVERIFY2(h.boxes.unexpected.isEmpty(), p.what);
            QVERIFY2(h.boxes.expected.empty(), p.what);
            QVERIFY2(
                h.visible() == p.visible,
                qPrintable(
                    QStringLiteral("%1: visible %2").arg(QLatin1String(p.what), h.visible().join(QLatin1Char(',')))));
            QVERIFY2(h.active() == QLatin1String(p.active),
                     qPrintable(QStringLiteral("%1: active %2").arg(QLatin1String(p.what), h.active())));
            if (QByteArray(p.what).startsWith("second answer")) {
                QCOMPARE(s.Form1().AktFaze, std::int16_t(5));
                QVERIFY(s.Form1().C("cmdZpet").Enabled());
            }
        }
        QCOMPARE(s.Inst().C<Label>("lblPrcnt").Caption(), QStringLiteral(" 100%"));
        QCOMPARE(s.ActiveDialog, std::int16_t(3));
        QCOMPARE(h.boxes.shown.size(), std::size_t(5));
    }
};

QTEST_MAIN(LoopTest)
#include "tst_loop.moc"
