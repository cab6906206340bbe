// Two monitors side by side (tests/monitors.json: 1024x768 on the left, the
// primary one, and 1280x1024 on the right). The program lives on the monitor
// of the window the user has: screens handed over to, the backdrop, the crash
// screen and the message boxes open there, and only at start-up on the primary.
#include "core/msgbox.h"
#include "fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

using namespace vp;
using namespace vp::test;

namespace {

const QRect Left(0, 0, 1024, 768);
const QRect Right(1024, 0, 1280, 1024);

// The monitors as Qt sees them, primary first: "1024x768+0+0, 1280x1024+1024+0".
QString describeMonitors()
{
    QStringList out;
    for (const QScreen* m : QGuiApplication::screens()) {
        const QRect g = m->geometry();
        const QString one = QStringLiteral("%1x%2+%3+%4").arg(g.width()).arg(g.height()).arg(g.x()).arg(g.y());
        if (m == QGuiApplication::primaryScreen())
            out.prepend(one);
        else
            out << one;
    }
    return QStringLiteral("%1 monitor(s): %2").arg(out.size()).arg(out.join(QLatin1String(", ")));
}

// How far the middle of a window, frame included, is from the middle of a monitor.
int offCentre(const QWidget* w, const QRect& monitor)
{
    const QPoint d = w->frameGeometry().center() - monitor.center();
    return std::max(std::abs(d.x()), std::abs(d.y()));
}

QString where(const QWidget* w)
{
    const QRect f = w->frameGeometry();
    return QStringLiteral("frame %1,%2 %3x%4").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height());
}

// The user drags a window by its title bar so that it lies in the middle of a monitor.
void dragTo(Screen& s, const QRect& monitor)
{
    QRect f = s.window()->frameGeometry();
    f.moveCenter(monitor.center() + QPoint(37, -21)); // not quite in the middle
    s.window()->move(f.topLeft());
}

} // namespace

class MonitorsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // CTest runs this with the two monitors of tests/monitors.json and says so in VP_REQUIRE.
        VP_SKIP_UNLESS(QGuiApplication::screens().size() == 2 && QGuiApplication::primaryScreen()->geometry() == Left,
                       "two-monitors",
                       qPrintable(QStringLiteral("needs the two monitors of tests/monitors.json "
                                                 "(QT_QPA_PLATFORM=offscreen:configfile=...); Qt sees %1")
                                      .arg(describeMonitors())));
    }
    void init() { h = std::make_unique<Harness>(); }
    void cleanup()
    {
        verifyBoxes(h->boxes);
        h.reset();
    }

    // At start-up there is no window yet: the primary monitor. From then on
    // each screen opens where the one that handed over to it is.
    void passagesFollowTheProgram()
    {
        Setup& s = h->setup;
        s.launch();
        QVERIFY2(offCentre(s.PreStart().window(), Left) <= 2, qPrintable(where(s.PreStart().window())));
        h->advance(2000);
        QVERIFY2(offCentre(s.Start().window(), Left) <= 2, qPrintable(where(s.Start().window())));

        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        QVERIFY(s.Background().window()->windowState() & Qt::WindowFullScreen);
        QCOMPARE(s.Background().window()->frameGeometry(), Left);
        QVERIFY2(offCentre(s.Form1().window(), Left) <= 2, qPrintable(where(s.Form1().window())));

        // The user moves the wizard to the right-hand monitor.
        dragTo(s.Form1(), Right);

        // The busy box of page 2 is asked for by the wizard.
        const QWidget* asking = nullptr;
        h->boxes.expect(QStringLiteral("Zpráva systému"), mb::RetryCancel, [&] {
            asking = h->boxes.askingWindow ? h->boxes.askingWindow() : nullptr;
            return mb::Cancel;
        });
        QTest::mouseClick(s.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        QTest::mouseClick(s.Form1().C("cmdZProch").widget(), Qt::LeftButton);
        QCOMPARE(asking, s.Form1().window());

        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(s.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        QVERIFY(s.Inst().isVisible());
        QVERIFY2(offCentre(s.Inst().window(), Right) <= 2, qPrintable(where(s.Inst().window())));

        // The user takes the installation back to the left; the rest follows it.
        dragTo(s.Inst(), Left);
        h->boxes.expect(QStringLiteral("Upozornění"), mb::YesNo, mb::No);
        VP_ADVANCE_UNTIL(h->clock, s.Form2().isVisible(), 260 * 800, "the completion dialog");
        QVERIFY2(offCentre(s.Form2().window(), Left) <= 2, qPrintable(where(s.Form2().window())));
        dragTo(s.Form2(), Right);
        QTest::mouseClick(s.Form2().C("Command1").widget(), Qt::LeftButton);
        QVERIFY(s.Rst().isVisible());
        QCOMPARE(s.Rst().window()->frameGeometry(), Right);
        // The crash report is centred on the monitor it covers: 1280 x 1024 pixels.
        QCOMPARE(s.Rst().Width(), 1280.0F * 15);
        QTest::mouseClick(s.Rst().C("Label1").widget(), Qt::LeftButton);
        QVERIFY2(offCentre(s.Form3().window(), Right) <= 2, qPrintable(where(s.Form3().window())));

        // "Znovu": the prompt, last seen on the left, opens centred on the right.
        QTest::mouseClick(s.Form3().C("Command1").widget(), Qt::LeftButton);
        QVERIFY2(offCentre(s.Start().window(), Right) <= 2, qPrintable(where(s.Start().window())));
        // Answered there, the backdrop covers the right monitor again and the
        // wizard, left on the right, is back where the user had it.
        const QRect wizardWas = s.Form1().window()->frameGeometry();
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        QCOMPARE(s.Background().window()->frameGeometry(), Right);
        QVERIFY(s.Background().isVisible());
        QCOMPARE(s.Form1().window()->frameGeometry(), wizardWas);
    }

    // A hidden screen shown again on the monitor it was on goes back exactly
    // where the user left it, off the middle too.
    void shownAgainOnItsMonitorWhereItWas()
    {
        Setup& s = h->setup;
        s.launch();
        h->advance(2000);
        dragTo(s.Start(), Right);
        QTest::mouseClick(s.Start().C("Command1").widget(), Qt::LeftButton);
        dragTo(s.Form1(), Right);
        const QRect was = s.Form1().window()->frameGeometry();
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(s.Form1().C("cmdDalsi").widget(), Qt::LeftButton);
        QVERIFY(s.Inst().isVisible());
        s.Inst().window()->close(); // back to the wizard
        QVERIFY(s.Form1().isVisible());
        QCOMPARE(s.Form1().window()->frameGeometry(), was);
    }

    // The real message box opens on the monitor of the window that asks, not
    // under the mouse pointer and not on the primary monitor.
    void messageBoxOnTheAskingMonitor_data()
    {
        QTest::addColumn<QRect>("monitor");
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("asked on the right, pointer on the left") << Right << QPoint(100, 100);
        QTest::newRow("asked on the left, pointer on the right") << Left << QPoint(1500, 500);
    }
    void messageBoxOnTheAskingMonitor()
    {
        QFETCH(QRect, monitor);
        QFETCH(QPoint, pointer);
        QWidget asking;
        asking.setGeometry(QRect(monitor.topLeft() + QPoint(50, 60), QSize(300, 200)));
        asking.show();
        QCursor::setPos(pointer);
        QtMessageBoxes boxes;
        boxes.askingWindow = [&]() -> const QWidget* { return &asking; };
        QRect seen;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->frameGeometry();
                box->buttons().front()->click();
            }
        });
        QCOMPARE(boxes.MsgBox(QStringLiteral("Nelze."), mb::OkOnly), mb::Ok);
        QVERIFY(seen.isValid());
        const QRect area = QGuiApplication::screenAt(monitor.center())->availableGeometry();
        const QPoint d = seen.center() - area.center();
        QVERIFY2(
            std::max(std::abs(d.x()), std::abs(d.y())) <= 2,
            qPrintable(
                QStringLiteral("box at %1,%2 %3x%4").arg(seen.x()).arg(seen.y()).arg(seen.width()).arg(seen.height())));
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(MonitorsTest)
#include "tst_monitors.moc"
