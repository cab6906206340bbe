// Completion dialog, crash screen and protection-fault dialog.
#include "fixture.h"

#include <cmath>

using namespace vp;
using namespace vp::test;

class FinaleTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        h = std::make_unique<Harness>();
        // As the installation leaves things: the backdrop with the completion dialog.
        h->act([&] {
            h->setup.Background().Show();
            h->setup.Form2().Show();
        });
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(3));
    }
    void cleanup() { h.reset(); } // the harness checks its boxes as it goes

    void okLeavesOnlyTheCrashScreen()
    {
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(h->visible(), QStringList({"Rst"}));
        QCOMPARE(h->active(), QStringLiteral("Rst"));
        QCOMPARE(h->setup.Form2().lifecycle(), Lifecycle::Loaded); // hidden, not closed
        QCOMPARE(h->setup.Rst().C<Label>("Label1").Caption(), texts::CrashReport);
    }

    void reportIsTheSameOnEveryShowing()
    {
        for (int round = 0; round < 3; ++round) {
            h->act([&] {
                h->setup.Start().Hide(); // left up by the last "Znovu"
                h->setup.Form2().Show();
            });
            QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
            QCOMPARE(h->setup.Rst().C<Label>("Label1").Caption(), texts::CrashReport);
            QTest::mouseClick(h->setup.Rst().C("Label1").widget(), Qt::LeftButton);
            QCOMPARE(h->visible(), QStringList({"Form3"}));
            QTest::mouseClick(h->setup.Form3().C("Command1").widget(), Qt::LeftButton); // "Znovu"
        }
    }

    void labelCentredWithHalfTwips()
    {
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        Rst& rst = h->setup.Rst();
        const float w = rst.Width(), hgt = rst.Height();
        QCOMPARE(std::fmod(w, 2.0F), 0.0F); // a screen of even twips
        Control& label = rst.C("Label1");
        QCOMPARE(label.Left(), w / 2 - 9135.0F / 2);
        QCOMPARE(label.Top(), hgt / 2 - 3135.0F / 2);
        QCOMPARE(label.Left() - std::floor(label.Left()), 0.5F);
        QCOMPARE(label.Top() - std::floor(label.Top()), 0.5F);
        QCOMPARE(label.Width(), 9135.0F);
        QCOMPARE(label.Height(), 3135.0F);
        const QPoint offset = rst.window()->geometry().center() - label.widget()->geometry().center();
        QVERIFY(offset.manhattanLength() <= 2);
    }

    void clickOnLabelOrBesideLeadsOn_data()
    {
        QTest::addColumn<bool>("onLabel");
        QTest::newRow("label") << true;
        QTest::newRow("beside") << false;
    }
    void clickOnLabelOrBesideLeadsOn()
    {
        QFETCH(bool, onLabel);
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        Rst& rst = h->setup.Rst();
        QTest::mouseClick(onLabel ? rst.C("Label1").widget() : rst.window(), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(h->visible(), QStringList({"Form3"}));
        QCOMPARE(h->active(), QStringLiteral("Form3"));
        QCOMPARE(h->setup.Form3().C<Label>("Label1").Caption(), texts::FaultText);
        // Keys do nothing on the crash screen.
        h->act([&] { rst.Show(); });
        QTest::keyClick(rst.window(), Qt::Key_Return);
        QTest::keyClick(rst.window(), Qt::Key_Escape);
        QVERIFY(rst.isVisible());
    }

    void konecOnlyRefuses()
    {
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        QTest::mouseClick(h->setup.Rst().window(), Qt::LeftButton);
        Form3& fault = h->setup.Form3();
        h->boxes.expectExitRefusal();
        QTest::mouseClick(fault.C("Command2").widget(), Qt::LeftButton);
        QCOMPARE(h->visible(), QStringList({"Form3"}));
        QCOMPARE(fault.C<Label>("Label1").Caption(), texts::FaultText);
        QCOMPARE(fault.C<CommandButton>("Command2").Caption(), QStringLiteral("Konec"));
    }

    void closingTheFaultDialogBringsBackTheCompletion()
    {
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        QTest::mouseClick(h->setup.Rst().window(), Qt::LeftButton);
        h->setup.Form3().window()->close();
        QCOMPARE(h->setup.Form3().lifecycle(), Lifecycle::Closed);
        QCOMPARE(h->visible(), QStringList({"Form2"})); // without the backdrop
        QCOMPARE(h->active(), QStringLiteral("Form2"));
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(h->visible(), QStringList({"Rst"}));
        QTest::mouseClick(h->setup.Rst().window(), Qt::LeftButton);
        QCOMPARE(h->setup.Form3().lifecycle(), Lifecycle::Loaded); // built anew
        QCOMPARE(h->setup.Form3().C<Label>("Label1").Caption(), texts::FaultText);
    }

    void closedCompletionDialogComesBackNew()
    {
        h->setup.Form2().window()->close();
        QCOMPARE(h->visible(), QStringList({"Background"})); // nothing in front, nothing else happens
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(3));
        h->setup.runtime().windowActivatedByUser(&h->setup.Background());
        QCOMPARE(h->active(), QStringLiteral("Background"));
        QCOMPARE(h->setup.Form2().lifecycle(), Lifecycle::Closed);
        h->setup.ActiveDialog = 1;
        h->act([&] { h->setup.Form2().Show(); });
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(3));
    }

    void znovuGoesBackToThePromptWithoutTheSplash()
    {
        h->setup.launch();
        h->advance(2000); // splash gone, prompt up, then answered
        h->act([&] {
            h->setup.Start().Command2_MouseMove();
            h->setup.Start().Hide();
        });
        QTest::mouseClick(h->setup.Form2().C("Command1").widget(), Qt::LeftButton);
        QTest::mouseClick(h->setup.Rst().window(), Qt::LeftButton);
        QTest::mouseClick(h->setup.Form3().C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(h->visible(), QStringList({"Start"}));
        QCOMPARE(h->active(), QStringLiteral("Start"));
        QCOMPARE(h->setup.Form3().lifecycle(), Lifecycle::Loaded);
        QVERIFY(!h->setup.PreStart().C("Timer1").Enabled());
        QCOMPARE(h->setup.Start().C<CommandButton>("Command2").Caption(),
                 QStringLiteral("Ano")); // as the mouse left it
        h->advance(4000);
        QCOMPARE(h->visible(), QStringList({"Start"}));
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(FinaleTest)
#include "tst_finale.moc"
