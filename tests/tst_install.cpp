// The installation screen on virtual time: progress, estimate, file names,
// the waste bin and the jumping head.
#include "fixture.h"

#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <map>

using namespace vp;
using namespace vp::test;

namespace {

// The generator state whose next number is `next` / 2^24: the step of the
// generator run backwards, so a test can choose the random number it gets.
std::uint32_t stateBefore(std::uint32_t next)
{
    constexpr std::uint32_t mask = 0xFFFFFFU, a = 1140671485U & mask, c = 12820163U;
    std::uint32_t inverse = 1; // Newton's iteration for the inverse of an odd number mod 2^24
    for (int i = 0; i < 5; ++i)
        inverse = (inverse * (2U - a * inverse)) & mask;
    return ((next - c) * inverse) & mask;
}

const QString& Warning = texts::WarningTitle;
const QString& Refusal = texts::RefusalTitle;

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        h = std::make_unique<Harness>();
        h->clock.advance(0);
    }
    void cleanup() { h.reset(); } // the harness checks its boxes as it goes

    void wholeInstallation_data()
    {
        QTest::addColumn<std::uint32_t>("state");
        QTest::addColumn<double>("timeOfDay");
        QTest::newRow("morning") << 0x50000U << 36000.0;
        QTest::newRow("noon") << 0x123456U << 43200.5;
        QTest::newRow("night") << 0xFFFFFFU << 86399.0;
        QTest::newRow("midnight") << 0U << 0.0;
    }
    void wholeInstallation()
    {
        QFETCH(std::uint32_t, state);
        QFETCH(double, timeOfDay);
        auto harness = std::make_unique<Harness>(timeOfDay);
        harness->random.setState(state);
        Inst& inst = harness->setup.Inst();
        harness->boxes.expect(Warning, mb::YesNo, mb::No);
        harness->act([&] { inst.Show(); });

        int ticks = 0;
        while (!harness->setup.Form2().isVisible() && ticks < 400) {
            harness->advance(800);
            ++ticks;
        }
        QVERIFY2(ticks >= 190 && ticks <= 202, qPrintable(QString::number(ticks)));
        QCOMPARE(inst.PercentDone, std::int16_t(100));
        QCOMPARE(inst.C<Label>("lblPrcnt").Caption(), QStringLiteral(" 100%"));
        QVERIFY(!inst.isVisible());
        QCOMPARE(harness->visible(), QStringList({"Form2"}));
        const float track = inst.C("lblB").Width(), fill = inst.C("lblM").Width();
        QVERIFY(fill >= track);
        QVERIFY(fill - track < track * 0.005F + 1.0F);
        QVERIFY(inst.BinOffered);
        QVERIFY(inst.RemainingMinutes > 0 && inst.RemainingMinutes < 60);

        // Later ticks change nothing, and the dialog is not shown again.
        harness->act([&] { harness->setup.Form2().Hide(); });
        const QString file = inst.C<Label>("lblCo").Caption(), estimate = inst.C<Label>("lblZbyva").Caption();
        harness->advance(8000);
        QCOMPARE(inst.C("lblM").Width(), fill);
        QCOMPARE(inst.C<Label>("lblCo").Caption(), file);
        QCOMPARE(inst.C<Label>("lblZbyva").Caption(), estimate);
        QVERIFY(!harness->setup.Form2().isVisible());
    }

    void percentageCaptionAndColour()
    {
        Inst& inst = h->setup.Inst();
        h->boxes.expect(Warning, mb::YesNo, mb::No);
        h->act([&] { inst.Show(); });
        QCOMPARE(inst.C<Label>("lblPrcnt").Caption(), QStringLiteral("0%"));
        QCOMPARE(inst.C("lblM").Width(), 0.0F);
        QCOMPARE(inst.C("lblM").Left(), inst.C("lblB").Left());
        QCOMPARE(inst.C<Label>("lblCo").Caption(), QStringLiteral("."));
        QVERIFY(inst.C<Label>("lblZbyva").Caption().startsWith(QStringLiteral("Zbývá ještě:")));
        h->advance(800);
        QCOMPARE(inst.C<Label>("lblPrcnt").Caption(), QStringLiteral(" 0%"));
        QVERIFY(inst.C("lblM").Width() > 21.675F && inst.C("lblM").Width() < 22.675F);
        bool saw49 = false, saw50 = false;
        for (int ticks = 0; inst.PercentDone < 60; ++ticks) {
            QVERIFY2(ticks < 200, "waited 200 ticks of 800 ms of virtual time for the bar to reach 60 %");
            h->advance(800);
            const Colour fore = inst.C<Label>("lblPrcnt").ForeColor();
            QCOMPARE(inst.C<Label>("lblPrcnt").Caption(),
                     QStringLiteral(" %1%").arg(inst.PercentDone)); // a blank before the number
            if (inst.PercentDone == 49) {
                saw49 = true;
                QCOMPARE(fore, inst.C<Label>("lblM").BackColor());
            }
            if (inst.PercentDone == 50) {
                saw50 = true;
                QCOMPARE(fore, inst.C<Label>("lblB").BackColor());
            }
        }
        QVERIFY(saw49 && saw50);
        QCOMPARE(inst.C<Label>("lblM").BackColor(), role(Role::ActiveTitleBar));
        h->advance(200 * 800);
    }

    void remainingTimeRules_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<std::uint32_t>("next"); // the random number the step gets, times 2^24
        QTest::addColumn<double>("expected");
        QTest::addColumn<bool>("draws");
        QTest::addColumn<QString>("caption");
        QTest::newRow("4 falls") << 4 << 8388608U << 19.72 << true
                                 << "Zbývá ještě: 0 h  19 m  43 s  (odhad)"; // r = 0.5: -0.40, cut a hundredth lower
        QTest::newRow("4 falls by a hundredth")
            << 4 << 1U << 20.12 << true << "Zbývá ještě: 0 h  20 m  7 s  (odhad)"; // r tiny: -0.01
        QTest::newRow("4 stays only for r = 0") << 4 << 0U << 20.13 << true << "Zbývá ještě: 0 h  20 m  8 s  (odhad)";
        QTest::newRow("5 rises")
            << 5 << 8388608U << 21.02 << true
            << "Zbývá ještě: 0 h  21 m  1 s  (odhad)"; // r = 0.5: +0.90 in single precision, cut to 21.02
        QTest::newRow("85 rises") << 85 << 16777215U << 21.91 << true
                                  << "Zbývá ještě: 0 h  21 m  55 s  (odhad)"; // r ~ 1: +1.79, cut to 21.91
        QTest::newRow("rise of 0.29 loses a hundredth")
            << 40 << 2768241U << 20.41 << true << "Zbývá ještě: 0 h  20 m  25 s  (odhad)";
        QTest::newRow("rise of zero") << 40 << 0U << 20.13 << true << "Zbývá ještě: 0 h  20 m  8 s  (odhad)";
        QTest::newRow("86 shrinks") << 86 << 5U << 18.11 << false << "Zbývá ještě: 0 h  18 m  7 s  (odhad)";
        QTest::newRow("100 shrinks") << 100 << 5U << 18.11 << false << "Zbývá ještě: 0 h  18 m  7 s  (odhad)";
    }
    void remainingTimeRules()
    {
        QFETCH(int, percent);
        QFETCH(std::uint32_t, next);
        QFETCH(double, expected);
        QFETCH(bool, draws);
        QFETCH(QString, caption);
        Inst& inst = h->setup.Inst();
        inst.C("lblZbyva"); // loaded first: the load makes its own estimate
        inst.PercentDone = static_cast<std::int16_t>(percent);
        inst.RemainingMinutes = 20.13;
        const std::uint32_t before = stateBefore(next);
        h->random.setState(before);
        inst.Kolik();
        QCOMPARE(inst.RemainingMinutes, expected);
        QCOMPARE(h->random.state() != before, draws);
        QCOMPARE(inst.C<Label>("lblZbyva").Caption(), caption);
    }

    void hoursMinutesSeconds_data()
    {
        QTest::addColumn<double>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("20.13") << 20.13 << " 0 h  20 m  8 s ";
        QTest::newRow("75.5") << 75.5 << " 1 h  15 m  30 s ";
        QTest::newRow("59.99") << 59.99 << " 0 h  59 m  59 s ";
        QTest::newRow("150.01") << 150.01 << " 2 h  30 m  1 s ";
        QTest::newRow("0") << 0.0 << " 0 h  0 m  0 s ";
    }
    void hoursMinutesSeconds()
    {
        QFETCH(double, minutes);
        QFETCH(QString, text);
        const double kept = minutes;
        QCOMPARE(Inst::PrevedMNaHMS(minutes), text);
        QCOMPARE(minutes, kept);
    }

    void estimateCaptionAfterLoad()
    {
        Inst& inst = h->setup.Inst();
        h->random.setState(stateBefore(0)); // a falling step of zero
        h->act([&] { inst.Show(); });
        QCOMPARE(inst.C<Label>("lblZbyva").Caption(), QStringLiteral("Zbývá ještě: 0 h  20 m  8 s  (odhad)"));
        h->act([&] { inst.Hide(); });
    }

    void seconds_never_reach_sixty()
    {
        for (int hundredths = 0; hundredths < 100000; ++hundredths) {
            const double m = hundredths / 100.0;
            const QString t = Inst::PrevedMNaHMS(m);
            const int s = t.section(QLatin1Char(' '), -3, -3).toInt();
            QVERIFY2(s >= 0 && s <= 59, qPrintable(t));
        }
    }

    // Name, blank-led number below 99 and extension; each name as often as it
    // fills slots among the 23 (three, five or two of them for some).
    void inventedFileNames()
    {
        Inst& inst = h->setup.Inst();
        const std::map<QString, int> share = {
            {"Bezvýznamný_soubor", 1}, {"Nezajímavý_soubor", 1}, {"Nezajímavý_modul", 1},
            {"Doplňkový_modul", 1},    {"Přídavný_modul", 1},    {"Modul", 1},
            {"Záložní_soubor", 1},     {"Záložní_modul", 1},     {"Doplněk", 1},
            {"Quorsova_galerie", 1},   {"Zbytečný_soubor", 3},   {"Zbytečný_modul", 3},
            {"Generátor_chyb", 5},     {"Soubor_k_ničemu", 2}};
        const QRegularExpression shape(QStringLiteral("^(\\w+) (\\d{1,2})(\\.plm|\\.exe|\\.pll|\\.quo)$"),
                                       QRegularExpression::UseUnicodePropertiesOption);
        std::map<QString, int> names, extensions;
        QSet<int> seenNumbers;
        constexpr int Draws = 6900;
        for (int i = 0; i < Draws; ++i) {
            h->advance(7); // the generator is reseeded from the time of day on every call
            inst.Co();
            const QString caption = inst.C<Label>("lblCo").Caption();
            const auto m = shape.match(caption);
            QVERIFY2(m.hasMatch(), qPrintable(caption));
            QVERIFY2(share.contains(m.captured(1)), qPrintable(caption));
            ++names[m.captured(1)];
            ++extensions[m.captured(3)];
            seenNumbers << m.captured(2).toInt();
        }
        for (const auto& [name, n] : share)
            QVERIFY2(std::abs(names[name] - n * Draws / 23) < n * Draws / 23 / 3,
                     qPrintable(QStringLiteral("%1: %2").arg(name).arg(names[name])));
        QCOMPARE(extensions.size(), std::size_t(4));
        for (const auto& [extension, n] : extensions)
            QVERIFY2(std::abs(n - Draws / 4) < Draws / 4 / 5, qPrintable(extension));
        QCOMPARE(seenNumbers.size(), 99);
        QVERIFY(!seenNumbers.contains(99));
    }

    void wasteBinOnceAndOnlyPastEighty_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << mb::Yes;
        QTest::newRow("no") << mb::No;
    }
    void wasteBinOnceAndOnlyPastEighty()
    {
        QFETCH(int, answer);
        Inst& inst = h->setup.Inst();
        int percentAtQuestion = -1;
        QString shownAtQuestion, fileAtQuestion;
        h->boxes.expect(Warning, mb::YesNo, [&] {
            percentAtQuestion = inst.PercentDone;
            shownAtQuestion = inst.C<Label>("lblPrcnt").Caption();
            fileAtQuestion = inst.C<Label>("lblCo").Caption();
            return answer;
        });
        if (answer == mb::Yes)
            h->boxes.expect(Refusal, mb::OkOnly + mb::Critical, mb::Ok);
        h->act([&] { inst.Show(); });
        // A box before 81 % shows in the percentage it was asked at.
        VP_ADVANCE_UNTIL(h->clock, inst.PercentDone > 80, 200 * 800, "the bar to pass 80 %");
        // The first tick past 80 asks, with its percentage and file name already shown.
        QCOMPARE(percentAtQuestion, 81);
        QCOMPARE(shownAtQuestion, QStringLiteral(" 81%"));
        QVERIFY(fileAtQuestion != QStringLiteral("."));
        QCOMPARE(h->boxes.shown.front().prompt, texts::WarningPrompt);
        QVERIFY(inst.BinOffered);
        VP_ADVANCE_UNTIL(h->clock, h->setup.Form2().isVisible(), 200 * 800, "the completion dialog");
        QCOMPARE(h->boxes.shown.size(), std::size_t(answer == mb::Yes ? 2 : 1));
        if (answer == mb::Yes)
            QCOMPARE(h->boxes.shown[1].prompt, texts::RefusalPrompt);
    }

    void ticksStandStillWhileTheQuestionIsOpen()
    {
        Inst& inst = h->setup.Inst();
        float fillBefore = 0, fillAfter = 0, headBefore = 0, headAfter = 0;
        QString estimateBefore, estimateAfter;
        h->boxes.expect(Warning, mb::YesNo, [&] {
            fillBefore = inst.C("lblM").Width();
            headBefore = inst.C("hlava").Left();
            estimateBefore = inst.C<Label>("lblZbyva").Caption();
            h->advance(10000);
            fillAfter = inst.C("lblM").Width();
            headAfter = inst.C("hlava").Left();
            estimateAfter = inst.C<Label>("lblZbyva").Caption();
            return mb::No;
        });
        h->act([&] { inst.Show(); });
        VP_ADVANCE_UNTIL(h->clock, inst.BinOffered, 200 * 800, "the waste-bin question");
        QCOMPARE(fillAfter, fillBefore);
        QCOMPARE(headAfter, headBefore);
        QCOMPARE(estimateAfter, estimateBefore);
    }

    void closedAtNinetyRestartsWithoutASecondQuestion()
    {
        Inst& inst = h->setup.Inst();
        h->boxes.expect(Warning, mb::YesNo, mb::Yes);
        h->boxes.expect(Refusal, mb::OkOnly + mb::Critical, mb::Ok);
        h->act([&] {
            h->setup.Form1().Show();
            h->setup.Form1().Hide();
            inst.Show();
        });
        VP_ADVANCE_UNTIL(h->clock, inst.PercentDone >= 90, 200 * 800, "the bar to reach 90 %");
        inst.window()->close();
        QCOMPARE(inst.lifecycle(), Lifecycle::Closed);
        QCOMPARE(h->visible(), QStringList({"Form1"}));
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(2));
        h->advance(5000); // the installation's timers died with its window
        QCOMPARE(inst.PercentDone, std::int16_t(90));

        h->act([&] { inst.Show(); });
        QCOMPARE(inst.C("lblM").Width(), 0.0F);
        QCOMPARE(inst.C<Label>("lblPrcnt").Caption(), QStringLiteral("0%"));
        QCOMPARE(inst.RemainingMinutes, 18.11); // shrinking rule: PercentDone still says 90
        QCOMPARE(inst.PercentDone, std::int16_t(90));
        VP_ADVANCE_UNTIL(h->clock, h->setup.Form2().isVisible(), 200 * 800, "the completion dialog");
        QCOMPARE(h->boxes.shown.size(), std::size_t(2)); // no second episode
    }

    void konecOnlyRefuses()
    {
        Inst& inst = h->setup.Inst();
        h->act([&] { inst.Show(); });
        h->advance(8000);
        const float fill = inst.C("lblM").Width();
        h->boxes.expectExitRefusal();
        QTest::mouseClick(inst.C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(inst.C("lblM").Width(), fill);
        QVERIFY(inst.isVisible());
        h->advance(800);
        QVERIFY(inst.C("lblM").Width() > fill);
    }

    void headPath_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<float>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<bool>("flying");
        QTest::newRow("1") << 1 << 400.0F << 368 << true;
        QTest::newRow("2") << 2 << 560.0F << 259 << true;
        QTest::newRow("5") << 5 << 1040.0F << -23 << true;
        QTest::newRow("10") << 10 << 1840.0F << -220 << true;
        QTest::newRow("15") << 15 << 2640.0F << 11 << true;
        QTest::newRow("19") << 19 << 3280.0F << 416 << true;
        QTest::newRow("20") << 20 << 3440.0F << 528 << false;
    }
    void headPath()
    {
        QFETCH(int, step);
        QFETCH(float, left);
        QFETCH(int, top);
        QFETCH(bool, flying);
        Inst& inst = h->setup.Inst();
        h->act([&] { inst.Show(); });
        Control& head = inst.C("hlava");
        QCOMPARE(head.Left(), 240.0F);
        QCOMPARE(head.Top(), 480.0F);
        h->advance(3199);
        QVERIFY(!head.Visible());
        h->advance(1);
        QVERIFY(head.Visible());
        QVERIFY(inst.C("Timer3").Enabled());
        h->advance(40 * step);
        QCOMPARE(head.Left(), left);
        QCOMPARE(static_cast<int>(std::lround(head.Top())), top);
        QCOMPARE(head.Visible(), flying);
        QCOMPARE(inst.C("Timer3").Enabled(), flying);
        // It stays where it vanished until the next jump.
        if (!flying) {
            h->advance(3200 - 40 * 20 - 1);
            QVERIFY(!head.Visible());
            QCOMPARE(head.Left(), left);
            h->advance(1);
            QVERIFY(head.Visible());
            QCOMPARE(head.Left(), 240.0F);
        }
    }

    void aNewJumpRestartsOneInFlight()
    {
        Inst& inst = h->setup.Inst();
        h->act([&] { inst.Show(); });
        h->advance(3200 + 40 * 10);
        Control& head = inst.C("hlava");
        QCOMPARE(head.Left(), 1840.0F);
        h->act([&] { inst.Timer2_Timer(); });
        QCOMPARE(head.Left(), 240.0F);
        QCOMPARE(head.Top(), 480.0F);
        QVERIFY(head.Visible());
        h->advance(40);
        QCOMPARE(head.Left(), 400.0F);
        // The head is drawn behind every other control.
        QCOMPARE(inst.window()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).first(), head.widget());
    }

    void shownAgainAfterTheEndStaysFull()
    {
        Inst& inst = h->setup.Inst();
        h->boxes.expect(Warning, mb::YesNo, mb::No);
        h->act([&] { inst.Show(); });
        VP_ADVANCE_UNTIL(h->clock, h->setup.Form2().isVisible(), 200 * 800, "the completion dialog");
        h->act([&] {
            h->setup.Form2().Hide();
            inst.Show(); // the second pass shows it again without a load
        });
        QCOMPARE(inst.C<Label>("lblPrcnt").Caption(), QStringLiteral(" 100%"));
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(3));
        h->advance(20000);
        QVERIFY(inst.isVisible());
        QVERIFY(!h->setup.Form2().isVisible());
        QCOMPARE(inst.PercentDone, std::int16_t(100));
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
