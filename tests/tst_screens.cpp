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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>

using namespace vp;
using namespace vp::test;

Q_DECLARE_METATYPE(const vp::ScreenDef*)

namespace {

QRect pixels(const ControlDef& d)
{
    const int l = toPixels(d.left), t = toPixels(d.top);
    return {l, t, toPixels(d.left + d.width) - l, toPixels(d.top + d.height) - t};
}

struct Text {
    const ScreenDef& (*def)();
    const char* control;
    int index;
    const char* text;
};

const Text Texts[] = {
    {PreStartDef, "", -1, "Form4"},
    {PreStartDef, "Label1", 1, "Valdrynix Plim   1.0."},
    {PreStartDef, "Label1", 0, "Valdrynix Plim 1.0."},
    {StartDef, "", -1, "Vítá vás aplikace Valdrynix Plim"},
    {StartDef, "Command2", -1, "Ne"},
    {StartDef, "Command1", -1, "Ano"},
    {StartDef, "Label1", -1,
     "Chcete na váš počítač nainstalovat aplikaci Valdrynix Plim 1.0.? (Varování: Při případných potížích se obraťte "
     "na vašeho distributora softwaru, ale ten vám s tím nejspíš neporadí, takže máte smůlu)"},
    {BackgroundDef, "", -1, "Form2"},
    {Form1Def, "", -1, "Instalace"},
    {Form1Def, "lblGoToIns", -1, "Stisknutím tlačítka 'Další' začněte s instalací. Přejeme vám hodně trpělivosti."},
    {Form1Def, "optKon3", -1, "Profesionální"},
    {Form1Def, "optKon2", -1, "Standartní"},
    {Form1Def, "optKon1", -1, "Minimální"},
    {Form1Def, "lblKonf", -1, "Vyberte v jaké konfiguraci chcete aplikaci Valdrynix Plim 1.0. nainstalovat."},
    {Form1Def, "Option2", -1, "Nesouhlasím"},
    {Form1Def, "Option1", -1, "Souhlasím"},
    {Form1Def, "txtPodminky", -1, "Text2"},
    {Form1Def, "lblSouhlasite", -1, "Souhlasíte s podmínkami?"},
    {Form1Def, "cmdZProch", -1, "Procházet"},
    {Form1Def, "Text1", -1, "C:\\Program Files\\Valdrynix Plim\\Plim\\Plim_1_0"},
    {Form1Def, "cptF2", -1, "Specifikujte, do jaké složky chcete aplikaci nainstalovat."},
    {Form1Def, "cptF1", -1,
     "Gratulujeme vám! Rozhodli jste se nainstalovat na svůj počítač aplikaci Valdrynix Plim 1.0. Pro pokračování "
     "stiskněte tlačítko 'Další'."},
    {Form1Def, "cmdKonec", -1, "Konec"},
    {Form1Def, "cmdDalsi", -1, "Další  >>"},
    {Form1Def, "cmdZpet", -1, "<<  Zpět"},
    {InstDef, "", -1, "Probíhá instalace. Nerušit."},
    {InstDef, "Command1", -1, "Konec"},
    {InstDef, "lblPrcnt", -1, "0%"},
    {InstDef, "lblCo", -1, "."},
    {InstDef, "lblInstalujeSe", -1, "Instaluje se:"},
    {InstDef, "lblZbyva", -1, "..."},
    {Form2Def, "", -1, "Instalace Valdrynix Plim 1.0."},
    {Form2Def, "Command1", -1, "OK"},
    {Form2Def, "Label1", -1,
     "Proces instalace aplikace Valdrynix Plim 1.0.byl dokončen. Potvrďte stiskem tlačítka OK."},
    {RstDef, "", -1, "Form2"},
    {Form3Def, "", -1, "Chyba"},
    {Form3Def, "Command2", -1, "Konec"},
    {Form3Def, "Command1", -1, "Znovu"},
    {ImageBankDef, "", -1, "Form2"},
};

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT

private slots:
    void init() { h = std::make_unique<Harness>(); }
    void cleanup() { h.reset(); } // the harness checks its boxes as it goes

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
    // Window, controls, containers, stacking, and no rearranging on a resize.
    void definitionBuiltAsTabled()
    {
        QFETCH(const ScreenDef*, def);
        QFETCH(QSize, client);
        Screen s(h->setup.runtime(), *def);
        s.Show();
        QWidget* w = s.window();
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
        }

        // Within each parent, Qt paints later children over earlier ones: the
        // children list must be the table read from back to front.
        QHash<QWidget*, QStringList> listed, painted;
        for (const ControlDef& d : def->controls)
            if (QWidget* cw = s.findControl(d.name, d.index)->widget())
                listed[cw->parentWidget()].prepend(cw->objectName());
        for (auto it = listed.begin(); it != listed.end(); ++it) {
            for (QObject* child : it.key()->children())
                if (auto* cw = qobject_cast<QWidget*>(child); cw && !cw->objectName().isEmpty() && !cw->isWindow())
                    painted[it.key()] << cw->objectName();
            QCOMPARE(painted[it.key()], it.value());
        }

        // Resizing the window moves nothing.
        const auto geometries = [&] {
            QList<QRect> out;
            for (const auto& c : s.controls())
                if (c->widget())
                    out << c->widget()->geometry();
            return out;
        };
        const QList<QRect> before = geometries();
        w->resize(w->size() * 2);
        w->resize(w->size() / 3);
        QCOMPARE(geometries(), before);
    }

    // Every title and every caption or text that a definition gives, letter
    // for letter (no control is left out: a text nobody listed here fails).
    void textsToTheLetter_data()
    {
        QTest::addColumn<const ScreenDef*>("def");
        QTest::addColumn<QString>("control"); // empty: the window title
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        for (const Text& t : Texts)
            QTest::addRow("%s %s %d", t.def().name.data(), t.control, t.index)
                << &t.def() << QString::fromUtf8(t.control) << t.index << QString::fromUtf8(t.text);
    }
    void textsToTheLetter()
    {
        QFETCH(const ScreenDef*, def);
        QFETCH(QString, control);
        QFETCH(int, index);
        QFETCH(QString, text);
        Screen s(h->setup.runtime(), *def);
        s.Hide();
        if (control.isEmpty()) {
            QCOMPARE(s.window()->windowTitle(), text);
            return;
        }
        Control& c = s.C(control.toStdString(), index);
        QCOMPARE(c.shownText(), text);
        if (auto* b = qobject_cast<QAbstractButton*>(c.widget()))
            QCOMPARE(b->text(), text);
        if (auto* e = qobject_cast<QLineEdit*>(c.widget()))
            QCOMPARE(e->text(), text);
        if (auto* e = qobject_cast<QPlainTextEdit*>(c.widget()))
            QCOMPARE(e->toPlainText(), text);
    }
    void noTextOutsideTheTable()
    {
        int captions = 0;
        for (const ScreenDef* d : {&PreStartDef(), &StartDef(), &BackgroundDef(), &Form1Def(), &InstDef(), &Form2Def(),
                                   &RstDef(), &Form3Def(), &ImageBankDef()})
            captions += static_cast<int>(std::count_if(d->controls.begin(), d->controls.end(),
                                                       [](const ControlDef& c) { return !c.caption.empty(); }));
        QCOMPARE(captions, static_cast<int>(std::count_if(std::begin(Texts), std::end(Texts),
                                                          [](const Text& t) { return *t.control != 0; })));
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
        QVERIFY(s.C<OptionButton>("optKon3").Value());
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
            // Every control that takes the focus, in tab order; which option of
            // a group Tab stops at is the option group's own business.
            if (it->focusPolicy() != Qt::NoFocus)
                chain << it->objectName();
            it = it->nextInFocusChain();
        } while (it != start);
        QCOMPARE(chain, QStringList({"cmdZpet", "cmdDalsi", "cmdKonec", "Text1", "cmdZProch", "txtPodminky", "Option1",
                                     "Option2", "optKon1", "optKon2", "optKon3", "txtKonf"}));
        QCOMPARE(h->setup.Form3().C("Command1").widget()->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        h->setup.Form3().Show();
        QCOMPARE(h->setup.Form3().window()->focusWidget(), h->setup.Form3().C("Command1").widget());
        h->setup.Start().Show();
        QCOMPARE(h->setup.Start().window()->focusWidget(), h->setup.Start().C("Command1").widget());
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
        QCOMPARE(Pictures().pixmap(PictureId::Portrait).size(), QSize(165, 129));
        QCOMPARE(Pictures().pixmap(PictureId::PortraitInverted).size(), QSize(165, 129));
        QCOMPARE(Pictures().pixmap(PictureId::BackdropGradient).size(), QSize(1600, 600));
        QCOMPARE(Pictures().pixmap(PictureId::HeadCutout).size(), QSize(47, 53));
        QVERIFY(Pictures().pixmap(PictureId::HeadCutout).hasAlpha());
        for (PictureId id :
             {PictureId::ProductIcon, PictureId::FolderIcon, PictureId::ComputerIcon, PictureId::ArrowCursor})
            QCOMPARE(Pictures().pixmap(id).size(), QSize(32, 32));
        QVERIFY(Pictures().icon(PictureId::FolderIcon).availableSizes().contains(QSize(16, 16)));
        // The inverted portrait is the upright one upside down, not mirrored sideways.
        const QImage up = Pictures().pixmap(PictureId::Portrait).toImage();
        const QImage down = Pictures().pixmap(PictureId::PortraitInverted).toImage();
        auto near = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) < 40;
        };
        int matches = 0;
        for (int y = 0; y < 129; y += 8)
            for (int x = 0; x < 165; x += 8)
                matches += near(up.pixel(x, y), down.pixel(x, 128 - y));
        QVERIFY(matches > 21 * 17 * 9 / 10);
        // Each control gets a picture object of its own.
        QVERIFY(handleOf(Pictures().newPicture(PictureId::Portrait)) !=
                handleOf(Pictures().newPicture(PictureId::Portrait)));
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
        QWidget* w = control == QLatin1String("portrait") ? wizard.C("Image1").widget()
                                                          : install.C(control.toStdString()).widget();
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
        const int own = coloursOf(Pictures().pixmap(control == QLatin1String("Image1")  ? PictureId::FolderIcon
                                                    : control == QLatin1String("imgR")  ? PictureId::ComputerIcon
                                                    : control == QLatin1String("hlava") ? PictureId::HeadCutout
                                                                                        : PictureId::Portrait),
                                  QSize(200, 200), 1.0);
        if (control == QLatin1String("Image1"))
            QCOMPARE(drawn, 6);
        if (photograph)
            QVERIFY2(drawn > own,
                     qPrintable(QStringLiteral("%1 colours drawn, %2 in the picture").arg(drawn).arg(own)));
        else
            QVERIFY2(drawn <= own,
                     qPrintable(QStringLiteral("%1 colours drawn, %2 in the picture").arg(drawn).arg(own)));
    }

private:
    std::unique_ptr<Harness> h;
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
