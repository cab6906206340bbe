// The setup wizard: pages, licence, configurations, refusals and hand-over,
// through its real buttons.
#include "fixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>

using namespace vp;
using namespace vp::test;

class WizardTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        h = std::make_unique<Harness>();
        h->setup.launch();
        h->advance(2000);
        QTest::mouseClick(h->setup.Start().C("Command1").widget(), Qt::LeftButton);
        QVERIFY(h->setup.Form1().isVisible());
    }
    void cleanup() { h.reset(); } // the harness checks its boxes as it goes

    void fazeTable_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("back");
        for (int page = 1; page <= 5; ++page)
            QTest::addRow("page %d", page) << page << (page != 1);
    }
    void fazeTable()
    {
        QFETCH(int, page);
        QFETCH(bool, back);
        Form1& w = h->setup.Form1();
        for (int i = 1; i < page; ++i)
            next();
        QCOMPARE(w.AktFaze, std::int16_t(page));
        for (int f = 1; f <= 5; ++f) {
            const std::string frame = "Frame" + std::to_string(f);
            QCOMPARE(w.C(frame).Visible(), f == page);
            QCOMPARE(w.C(frame).widget()->isVisible(), f == page);
        }
        QCOMPARE(w.C("cmdZpet").Enabled(), back);
        QVERIFY(w.C("cmdDalsi").Enabled());
        QVERIFY(w.C("cmdKonec").Enabled());
        QCOMPARE(w.C<CommandButton>("cmdDalsi").Caption(), QStringLiteral("Další  >>"));
        QCOMPARE(w.C<CommandButton>("cmdZpet").Caption(), QStringLiteral("<<  Zpět"));
        if (page > 1) {
            QTest::mouseClick(w.C("cmdZpet").widget(), Qt::LeftButton);
            QCOMPARE(w.AktFaze, std::int16_t(page - 1));
        }
    }

    void firstShowAndInertBack()
    {
        Form1& w = h->setup.Form1();
        QCOMPARE(w.AktFaze, std::int16_t(1));
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(1));
        QVERIFY(!w.C("cmdZpet").Enabled());
        // Disabled, and inert should its handler run anyway.
        QTest::mouseClick(w.C("cmdZpet").widget(), Qt::LeftButton);
        h->act([&] { w.cmdZpet_Click(); });
        QCOMPARE(w.AktFaze, std::int16_t(1));
        QVERIFY(w.C("Frame1").Visible());
    }

    void pageOutOfRangeChangesNothing()
    {
        Form1& w = h->setup.Form1();
        next();
        next();
        w.C<TextBox>("txtPodminky").setText(QStringLiteral("typed"));
        for (int bad : {0, 6, -1, 32767}) {
            w.Faze(static_cast<std::int16_t>(bad));
            QCOMPARE(w.AktFaze, std::int16_t(3));
            QVERIFY(w.C("Frame3").Visible());
            QVERIFY(!w.C("Frame1").Visible());
            QCOMPARE(w.C<TextBox>("txtPodminky").Text(), QStringLiteral("typed"));
        }
    }

    void licenceIsRebuiltOnEveryEntry()
    {
        Form1& w = h->setup.Form1();
        next();
        next();
        const QString text = w.C<TextBox>("txtPodminky").Text();
        QCOMPARE(text, texts::Licence);
        // The box shows the two line feeds as marks on one line, not as breaks.
        const QString shown = static_cast<QPlainTextEdit*>(w.C("txtPodminky").widget())->toPlainText();
        QVERIFY(!shown.contains(QLatin1Char('\n')));

        // Whatever the user typed is gone when the page is entered again.
        QTest::keyClicks(w.C("txtPodminky").widget(), QStringLiteral("xyz"));
        QVERIFY(w.C<TextBox>("txtPodminky").Text() != text);
        next();
        back();
        QCOMPARE(w.C<TextBox>("txtPodminky").Text(), text);
    }

    void nextIgnoresTheLicenceAnswer()
    {
        Form1& w = h->setup.Form1();
        next();
        next();
        next(); // no answer at all
        QCOMPARE(w.AktFaze, std::int16_t(4));
        back();
        QTest::mouseClick(w.C("Option1").widget(), Qt::LeftButton);
        QVERIFY(w.C<OptionButton>("Option1").Value());
        next();
        QCOMPARE(w.AktFaze, std::int16_t(4));
        QVERIFY(!w.C("Option2").Enabled());
    }

    void configurationDescriptions()
    {
        Form1& w = h->setup.Form1();
        for (int i = 0; i < 3; ++i)
            next();
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), QString());
        QTest::keyClicks(w.C("txtKonf").widget(), QStringLiteral("moje"));
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), QStringLiteral("moje"));
        QTest::mouseClick(w.C("optKon2").widget(), Qt::LeftButton);
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), texts::Configuration[1]);
        QTest::mouseClick(w.C("optKon1").widget(), Qt::LeftButton);
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), texts::Configuration[0]);
        QTest::mouseClick(w.C("optKon3").widget(), Qt::LeftButton);
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), texts::Configuration[2]);
        // Leaving the page and coming back keeps choice and description.
        next();
        back();
        QVERIFY(w.C<OptionButton>("optKon3").Value());
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), texts::Configuration[2]);
    }

    void browsingIsRefusedForAsLongAsTheUserRetries()
    {
        Form1& w = h->setup.Form1();
        next();
        const QString folder = w.C<TextBox>("Text1").Text();
        for (int i = 0; i < 3; ++i)
            h->boxes.expect(texts::BusyTitle, mb::RetryCancel, mb::Retry);
        h->boxes.expect(texts::BusyTitle, mb::RetryCancel, mb::Cancel);
        QTest::mouseClick(w.C("cmdZProch").widget(), Qt::LeftButton);
        QCOMPARE(h->boxes.shown.size(), std::size_t(4));
        QCOMPARE(h->boxes.shown.front().prompt, texts::BusyPrompt);
        QCOMPARE(w.C<TextBox>("Text1").Text(), folder);
        QCOMPARE(w.AktFaze, std::int16_t(2));
    }

    void portraitTurnsOverFromTheSecondClick()
    {
        Form1& w = h->setup.Form1();
        Screen& bank = h->setup.ImageBank();
        QCOMPARE(bank.lifecycle(), Lifecycle::NotCreated);
        const PictureRef defined = w.C<Image>("Image1").Picture();
        QCOMPARE(defined->id, PictureKey(PictureId::Portrait));

        QTest::mouseClick(w.C("Image1").widget(), Qt::LeftButton);
        QCOMPARE(bank.lifecycle(), Lifecycle::Loaded); // created hidden on first use
        const PictureRef plim1 = bank.C<Image>("plim1").Picture();
        const PictureRef plim2 = bank.C<Image>("plim2").Picture();
        QVERIFY(handleOf(defined) != handleOf(plim1)); // same pixels, another picture
        QCOMPARE(handleOf(w.C<Image>("Image1").Picture()), handleOf(plim1));
        for (const PictureRef& expected : {plim2, plim1, plim2}) {
            QTest::mouseClick(w.C("Image1").widget(), Qt::LeftButton);
            QCOMPARE(handleOf(w.C<Image>("Image1").Picture()), handleOf(expected));
        }
        QCOMPARE(plim2->id, PictureKey(PictureId::PortraitInverted));
        QVERIFY(!bank.isVisible());
        QCOMPARE(w.AktFaze, std::int16_t(1));
    }

    void exitOnEveryPageOnlyRefuses()
    {
        Form1& w = h->setup.Form1();
        for (int page = 1; page <= 5; ++page) {
            if (page > 1)
                next();
            for (int twice = 0; twice < 2; ++twice) {
                h->boxes.expectExitRefusal();
                QTest::mouseClick(w.C("cmdKonec").widget(), Qt::LeftButton);
            }
            QCOMPARE(w.AktFaze, std::int16_t(page));
            QCOMPARE(w.C("cmdZpet").Enabled(), page != 1);
            QVERIFY(w.C("cmdDalsi").Enabled());
            QVERIFY(w.isVisible());
        }
        QCOMPARE(h->setup.Inst().lifecycle(), Lifecycle::NotCreated); // only Next hands over
        QCOMPARE(h->boxes.shown.back().prompt, texts::ExitRefusal);
    }

    void handsOverFromPageFiveAndComesBackThere()
    {
        Form1& w = h->setup.Form1();
        for (int i = 0; i < 4; ++i)
            next();
        next();
        QCOMPARE(h->visible(), QStringList({"Background", "Inst"}));
        QCOMPARE(h->active(), QStringLiteral("Inst"));
        QCOMPARE(w.AktFaze, std::int16_t(5));
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(2));
        h->act([&] { w.Show(); });
        QCOMPARE(w.AktFaze, std::int16_t(5));
        QVERIFY(w.C("Frame5").Visible());
        QVERIFY(w.C("cmdZpet").Enabled());
        QVERIFY(w.C("cmdDalsi").Enabled());
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(2)); // a show writes no indicator
    }

    void closedWizardLoadsAfresh()
    {
        Form1& w = h->setup.Form1();
        next();
        next();
        QTest::mouseClick(w.C("Image1").widget(), Qt::LeftButton);
        w.window()->close();
        QCOMPARE(w.lifecycle(), Lifecycle::Closed);
        QCOMPARE(h->visible(), QStringList({"Background"}));
        h->setup.ActiveDialog = 3;
        h->act([&] { w.Show(); });
        QCOMPARE(w.AktFaze, std::int16_t(1));
        QCOMPARE(h->setup.ActiveDialog, std::int16_t(1));
        QCOMPARE(w.C<Image>("Image1").Picture()->id, PictureKey(PictureId::Portrait));
        QCOMPARE(w.C<TextBox>("txtPodminky").Text(), QStringLiteral("Text2"));
    }

    // Pasting nothing does nothing; pasting text inserts it as plain text under
    // the box's own line-break rule, and the wizard goes on.
    void pastingIntoTheTextBoxes_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("box");
        QTest::newRow("licence") << 3 << "txtPodminky";
        QTest::newRow("configuration") << 4 << "txtKonf";
    }
    void pastingIntoTheTextBoxes()
    {
        QFETCH(int, page);
        QFETCH(QString, box);
        Form1& w = h->setup.Form1();
        for (int i = 1; i < page; ++i)
            next();
        TextBox& c = w.C<TextBox>(box.toUtf8().constData());
        auto* edit = qobject_cast<QPlainTextEdit*>(c.widget());
        QVERIFY(edit);
        const QString before = c.Text();

        // An X11 clipboard that nobody owns hands out data with no formats at
        // all; pasting that is what killed the program.
        edit->setFocus();
        for (bool owned : {false, true}) {
            if (owned)
                QGuiApplication::clipboard()->setMimeData(new QMimeData);
            else
                QGuiApplication::clipboard()->clear();
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
            QTest::mouseClick(edit->viewport(), Qt::MiddleButton, {}, QPoint(10, 10));
            QCOMPARE(c.Text(), before);
        }

        // Rich data: only the plain text goes in, and a lone LF stays a mark.
        auto* data = new QMimeData;
        data->setHtml(QStringLiteral("<b>tučně</b>"));
        data->setText(QStringLiteral("ř\r\ns\nt"));
        QGuiApplication::clipboard()->setMimeData(data);
        edit->moveCursor(QTextCursor::Start);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(c.Text(), QStringLiteral("ř\r\ns\nt") + before);
        QCOMPARE(edit->toPlainText().count(QLatin1Char('\n')), textToDisplay(before).count(QLatin1Char('\n')) + 1);

        // Data that has no text at all inserts nothing either.
        auto* picture = new QMimeData;
        picture->setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
        QGuiApplication::clipboard()->setMimeData(picture);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(c.Text(), QStringLiteral("ř\r\ns\nt") + before);
        QGuiApplication::clipboard()->clear();

        next();
        QCOMPARE(w.AktFaze, std::int16_t(page + 1));
    }

    // Tab leaves a multi-line box (and Shift+Tab goes back) instead of typing a tab.
    void tabLeavesTheTextBoxes()
    {
        Form1& w = h->setup.Form1();
        next();
        next();
        QWidget* licence = w.C("txtPodminky").widget();
        const QString text = w.C<TextBox>("txtPodminky").Text();
        licence->setFocus();
        QTest::keyClick(licence, Qt::Key_Tab);
        QCOMPARE(w.window()->focusWidget(), w.C("Option1").widget());
        QCOMPARE(w.C<TextBox>("txtPodminky").Text(), text);
        licence->setFocus();
        QTest::keyClick(licence, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(w.window()->focusWidget() != licence);
        QCOMPARE(w.C<TextBox>("txtPodminky").Text(), text);

        next();
        QWidget* konf = w.C("txtKonf").widget();
        konf->setFocus();
        QTest::keyClick(konf, Qt::Key_Tab);
        QVERIFY(w.window()->focusWidget() != konf);
        QCOMPARE(w.C<TextBox>("txtKonf").Text(), QString());
    }

private:
    void next() { QTest::mouseClick(h->setup.Form1().C("cmdDalsi").widget(), Qt::LeftButton); }
    void back() { QTest::mouseClick(h->setup.Form1().C("cmdZpet").widget(), Qt::LeftButton); }

    std::unique_ptr<Harness> h;
};

QTEST_MAIN(WizardTest)
#include "tst_wizard.moc"
