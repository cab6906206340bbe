// The nine definitions, built by the runtime with no behaviour attached:
// geometry in pixels at 96 DPI, captions to the letter, stacking, containers,
// option groups, focus order, and windows that do not rearrange on resize.
#include "core/control.h"
#include "core/theme.h"
#include "fixture.h"
#include "screens/screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QSet>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

using namespace vp;
using namespace vp::test;

Q_DECLARE_METATYPE(const vp::ScreenDef*)

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QRect pixels(const ControlDef& d)
{
    const int l = toPixels(d.left), t = toPixels(d.top);
    return {l, t, toPixels(d.left + d.width) - l, toPixels(d.top + d.height) - t};
}

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT

private slots:
    void init() { h = std::make_unique<Harness>(); }
    void cleanup()
    {
        verifyBoxes(h->boxes);
        h.reset();
    }

    void definitionBuiltAsTabled_data()
    {
        QTest::addColumn<const ScreenDef*>("def");
        QTest::addColumn<QSize>("client");
        QTest::newRow("PreStart") << &PreStartDef() << QSize(323, 241);
        QTest::newRow("Start") << &StartDef() << QSize(294, 122);
        QTest::newRow("Background") << &BackgroundDef() << QSize();
        QTest::newRow("Form1") << &Form1Def() << QSize(459, 244);
        QTest::newRow("Inst") << &InstDef() << QSize(363, 223);
        QTest::newRow("Form2") << &Form2Def() << QSize(314, 125);
        QTest::newRow("Rst") << &RstDef() << QSize();
        QTest::newRow("Form3") << &Form3Def() << QSize(228, 94);
        QTest::newRow("ImageBank") << &ImageBankDef() << QSize(312, 213);
    }
    void definitionBuiltAsTabled()
    {
        QFETCH(const ScreenDef*, def);
        QFETCH(QSize, client);
        Screen s(h->setup.runtime(), *def);
        s.Show();
        QWidget* w = s.window();
        QCOMPARE(w->windowTitle(), q(def->title));
        QCOMPARE(bool(w->windowFlags() & Qt::FramelessWindowHint), def->border == Border::None);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        if (def->maximised) {
            QCOMPARE(w->geometry(), screen);
        } else {
            QCOMPARE(w->size(), client);
            if (def->centred)
                QVERIFY(qAbs(w->geometry().center().x() - screen.center().x()) <= 1);
        }
        QCOMPARE(w->palette().color(QPalette::Window), toQColor(def->back, Role::ButtonFace));

        QCOMPARE(s.controls().size(), def->controls.size());
        for (const ControlDef& d : def->controls) {
            Control* c = s.findControl(d.name, d.index);
            QVERIFY2(c, d.name.data());
            if (d.kind == Kind::Timer) {
                QVERIFY(!c->widget());
                QCOMPARE(c->Enabled(), d.enabled);
                continue;
            }
            QWidget* widget = c->widget();
            QWidget* expectedParent = d.container.empty() ? w : s.findControl(d.container)->widget();
            QCOMPARE(widget->parentWidget(), expectedParent);
            if (d.kind != Kind::Line)
                QCOMPARE(widget->geometry(), pixels(d));
            QCOMPARE(widget->isVisibleTo(w), d.visible && (d.container.empty() || expectedParent->isVisibleTo(w)));
            QCOMPARE(widget->isEnabled(), d.enabled);
            QCOMPARE(c->Caption(), q(d.caption));
            if (auto* b = qobject_cast<QAbstractButton*>(widget))
                QCOMPARE(b->text(), q(d.caption));
        }
    }

    void stackingFollowsTheTables_data()
    {
        QTest::addColumn<const ScreenDef*>("def");
        for (const ScreenDef* d : {&PreStartDef(), &StartDef(), &Form1Def(), &InstDef(), &Form2Def(), &RstDef(), &Form3Def(), &ImageBankDef()})
            QTest::newRow(d->name.data()) << d;
    }
    void stackingFollowsTheTables()
    {
        QFETCH(const ScreenDef*, def);
        Screen s(h->setup.runtime(), *def);
        s.Show();
        // Within each parent, Qt paints later children over earlier ones: the
        // children list must be the table read from back to front.
        QHash<QWidget*, QStringList> listed, painted;
        for (const ControlDef& d : def->controls)
            if (QWidget* w = s.findControl(d.name, d.index)->widget())
                listed[w->parentWidget()].prepend(w->objectName());
        for (auto it = listed.begin(); it != listed.end(); ++it) {
            for (QObject* child : it.key()->children())
                if (auto* cw = qobject_cast<QWidget*>(child); cw && !cw->objectName().isEmpty() && !cw->isWindow())
                    painted[it.key()] << cw->objectName();
            QCOMPARE(painted[it.key()], it.value());
        }
    }

    void captionsToTheLetter()
    {
        Screen wizard(h->setup.runtime(), Form1Def());
        QCOMPARE(wizard.C("cmdDalsi").Caption(), QStringLiteral("Další  >>"));
        QCOMPARE(wizard.C("cmdZpet").Caption(), QStringLiteral("<<  Zpět"));
        QCOMPARE(wizard.C("txtPodminky").Text(), QStringLiteral("Text2"));
        QCOMPARE(wizard.C("txtKonf").Text(), QString());
        QCOMPARE(wizard.C("Text1").Text(), QStringLiteral("C:\\Program Files\\Valdrynix Plim\\Plim\\Plim_1_0"));
        QCOMPARE(static_cast<QLineEdit*>(wizard.C("Text1").widget())->text(), wizard.C("Text1").Text());

        Screen done(h->setup.runtime(), Form2Def());
        QVERIFY(done.C("Label1").Caption().contains(QStringLiteral("Valdrynix Plim 1.0.byl dokončen.")));
        Screen splash(h->setup.runtime(), PreStartDef());
        QCOMPARE(splash.C("Label1", 1).Caption(), QStringLiteral("Valdrynix Plim   1.0."));
        QCOMPARE(splash.C("Label1", 0).Caption(), QStringLiteral("Valdrynix Plim 1.0."));
        Screen install(h->setup.runtime(), InstDef());
        QCOMPARE(install.C("lblPrcnt").Caption(), QStringLiteral("0%"));
        QCOMPARE(install.C("lblCo").Caption(), QStringLiteral("."));
        QCOMPARE(install.C("lblZbyva").Caption(), QStringLiteral("..."));
    }

    void installationScreenLayers()
    {
        Screen s(h->setup.runtime(), InstDef());
        s.Show();
        // The head is behind every other control; the percentage is in front of the bar.
        const auto siblings = s.window()->children();
        QObject* first = nullptr;
        for (QObject* o : siblings)
            if (qobject_cast<QWidget*>(o) && !o->objectName().isEmpty()) {
                first = o;
                break;
            }
        QCOMPARE(first->objectName(), QStringLiteral("hlava"));
        const auto bar = s.C("Frame1").widget()->children();
        QVERIFY(bar.indexOf(s.C("lblPrcnt").widget()) > bar.indexOf(s.C("lblM").widget()));
        QVERIFY(bar.indexOf(s.C("lblM").widget()) > bar.indexOf(s.C("lblB").widget()));
        QVERIFY(!s.C("lblPrcnt").widget()->autoFillBackground());
        QVERIFY(!s.C("hlava").Visible());
        QVERIFY(!s.C("Timer3").Enabled());
    }

    void optionGroupsAreIndependent()
    {
        // The pages lie on top of each other, so a click needs its page shown.
        Form1& s = h->setup.Form1();
        s.Show();
        auto radio = [&](const char* n) { return static_cast<QRadioButton*>(s.C(n).widget()); };
        for (const char* n : {"optKon1", "optKon2", "optKon3", "Option1", "Option2"})
            QVERIFY(!radio(n)->isChecked());
        s.Faze(4);
        QTest::mouseClick(radio("optKon2"), Qt::LeftButton);
        s.Faze(3);
        QTest::mouseClick(radio("Option1"), Qt::LeftButton);
        s.Faze(4);
        QVERIFY(radio("optKon2")->isChecked());
        QVERIFY(radio("Option1")->isChecked());
        QTest::mouseClick(radio("optKon3"), Qt::LeftButton);
        QVERIFY(!radio("optKon2")->isChecked());
        QVERIFY(radio("Option1")->isChecked());
        QVERIFY(s.C("optKon3").Value());
    }

    void disagreeingCannotBeChosen()
    {
        Form1& s = h->setup.Form1();
        s.Show();
        s.Faze(3);
        auto* agree = static_cast<QRadioButton*>(s.C("Option1").widget());
        auto* disagree = static_cast<QRadioButton*>(s.C("Option2").widget());
        QTest::mouseClick(disagree, Qt::LeftButton);
        QVERIFY(!disagree->isChecked());
        QTest::mouseClick(agree, Qt::LeftButton);
        agree->setFocus();
        QTest::keyClick(agree, Qt::Key_Right);
        QTest::keyClick(agree, Qt::Key_Down);
        QTest::keyClick(agree, Qt::Key_Space);
        QVERIFY(agree->isChecked());
        QVERIFY(!disagree->isChecked());
    }

    void wizardFocusOrder()
    {
        h->setup.Form1().Show(); // the real wizard: page 1, Back disabled
        QWidget* w = h->setup.Form1().window();
        QCOMPARE(w->focusWidget(), h->setup.Form1().C("cmdDalsi").widget());
        QStringList chain;
        QWidget* start = h->setup.Form1().C("cmdZpet").widget();
        QWidget* it = start;
        do {
            if (it->focusPolicy() & Qt::TabFocus)
                chain << it->objectName();
            it = it->nextInFocusChain();
        } while (it != start);
        QCOMPARE(chain, QStringList({"cmdZpet", "cmdDalsi", "cmdKonec", "Text1", "cmdZProch", "txtPodminky", "Option1", "Option2",
                                     "optKon1", "optKon2", "optKon3", "txtKonf"}));
        QCOMPARE(h->setup.Form3().C("Command1").widget()->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        h->setup.Form3().Show();
        QCOMPARE(h->setup.Form3().window()->focusWidget(), h->setup.Form3().C("Command1").widget());
        h->setup.Start().Show();
        QCOMPARE(h->setup.Start().window()->focusWidget(), h->setup.Start().C("Command1").widget());
    }

    void resizingMovesNothing_data()
    {
        QTest::addColumn<const ScreenDef*>("def");
        for (const ScreenDef* d : {&StartDef(), &Form1Def(), &InstDef(), &Form2Def(), &Form3Def()})
            QTest::newRow(d->name.data()) << d;
    }
    void resizingMovesNothing()
    {
        QFETCH(const ScreenDef*, def);
        Screen s(h->setup.runtime(), *def);
        s.Show();
        QList<QRect> before;
        for (const auto& c : s.controls())
            if (c->widget())
                before << c->widget()->geometry();
        s.window()->resize(s.window()->size() * 2);
        s.window()->resize(s.window()->size() / 3);
        QList<QRect> after;
        for (const auto& c : s.controls())
            if (c->widget())
                after << c->widget()->geometry();
        QCOMPARE(after, before);
    }

    void portraitPointerIsTheArrow()
    {
        Screen s(h->setup.runtime(), Form1Def());
        QWidget* image = s.C("Image1").widget();
        QCOMPARE(image->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(image->cursor().hotSpot(), QPoint(0, 1));
        QCOMPARE(image->cursor().pixmap().size(), QSize(32, 32));
        QCOMPARE(s.C("cmdDalsi").widget()->cursor().shape(), Qt::ArrowCursor);
    }

    void picturesHaveTheirSizes()
    {
        QCOMPARE(pixmapOf(PictureId::Portrait).size(), QSize(165, 129));
        QCOMPARE(pixmapOf(PictureId::PortraitInverted).size(), QSize(165, 129));
        QCOMPARE(pixmapOf(PictureId::BackdropGradient).size(), QSize(1600, 600));
        QCOMPARE(pixmapOf(PictureId::HeadCutout).size(), QSize(47, 53));
        QVERIFY(pixmapOf(PictureId::HeadCutout).hasAlpha());
        for (PictureId id : {PictureId::ProductIcon, PictureId::FolderIcon, PictureId::ComputerIcon, PictureId::ArrowCursor})
            QCOMPARE(pixmapOf(id).size(), QSize(32, 32));
        QVERIFY(iconOf(PictureId::FolderIcon).availableSizes().contains(QSize(16, 16)));
        // The inverted portrait is the upright one upside down, not mirrored sideways.
        const QImage up = pixmapOf(PictureId::Portrait).toImage();
        const QImage down = pixmapOf(PictureId::PortraitInverted).toImage();
        auto near = [](QRgb a, QRgb b) { return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) < 40; };
        int matches = 0;
        for (int y = 0; y < 129; y += 8)
            for (int x = 0; x < 165; x += 8)
                matches += near(up.pixel(x, y), down.pixel(x, 128 - y));
        QVERIFY(matches > 21 * 17 * 9 / 10);
        // Each control gets a picture object of its own.
        QVERIFY(handleOf(newPicture(PictureId::Portrait)) != handleOf(newPicture(PictureId::Portrait)));
    }

    // Stretched pixel art scales by whole pixels: the six colours of the
    // folder (its transparent ground among them) stay six, at 1x and on a 2x
    // screen; the portrait photograph is smoothed.
    void pixelArtStaysSharpWhenScaled_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<bool>("photograph");
        QTest::newRow("folder 1x") << QStringLiteral("Image1") << 1.0 << false;
        QTest::newRow("folder 2x") << QStringLiteral("Image1") << 2.0 << false;
        QTest::newRow("computer 2x") << QStringLiteral("imgR") << 2.0 << false;
        QTest::newRow("head 2x") << QStringLiteral("hlava") << 2.0 << false;
        QTest::newRow("portrait 1x") << QStringLiteral("portrait") << 1.0 << true;
    }
    void pixelArtStaysSharpWhenScaled()
    {
        QFETCH(QString, control);
        QFETCH(qreal, ratio);
        QFETCH(bool, photograph);
        Screen install(h->setup.runtime(), InstDef());
        Screen wizard(h->setup.runtime(), Form1Def());
        QWidget* w = control == QLatin1String("portrait") ? wizard.C("Image1").widget() : install.C(control.toStdString()).widget();
        w->setVisible(true);
        const auto coloursOf = [&](const QPixmap& source, QSize size, qreal dpr) {
            QPixmap target(size * dpr);
            target.setDevicePixelRatio(dpr);
            target.fill(Qt::magenta); // one colour where the picture is transparent
            if (source.isNull())
                w->render(&target, QPoint(), QRegion(), QWidget::DrawChildren);
            else
                QPainter(&target).drawPixmap(0, 0, source);
            QSet<QRgb> colours;
            const QImage img = target.toImage();
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    colours.insert(img.pixel(x, y));
            return static_cast<int>(colours.size());
        };
        const int drawn = coloursOf(QPixmap(), w->size(), ratio);
        const int own = coloursOf(pixmapOf(control == QLatin1String("Image1") ? PictureId::FolderIcon : control == QLatin1String("imgR") ? PictureId::ComputerIcon : control == QLatin1String("hlava") ? PictureId::HeadCutout : PictureId::Portrait), QSize(200, 200), 1.0);
        if (control == QLatin1String("Image1"))
            QCOMPARE(drawn, 6);
        if (photograph)
            QVERIFY2(drawn > own, qPrintable(QStringLiteral("%1 colours drawn, %2 in the picture").arg(drawn).arg(own)));
        else
            QVERIFY2(drawn <= own, qPrintable(QStringLiteral("%1 colours drawn, %2 in the picture").arg(drawn).arg(own)));
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
