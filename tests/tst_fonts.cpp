// Every text inside its control with the fonts this system really gives the
// program: each face the screens ask for must come out as the font it was
// made for (written out below), and every label, button, option and text box
// of every screen, as first built and along a whole pass, must have room for
// its text in that font. A fallback font never passes.
#include "core/theme.h"
#include "fixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <map>
#include <set>

using namespace vp;
using namespace vp::test;

namespace {

// The face each definition names, and the family that must draw it here, with
// the Debian package that has it.
struct Wanted {
    const char* family;
    const char* package;
};
const std::map<QString, Wanted>& wantedFaces()
{
    static const std::map<QString, Wanted> faces = {
        {QStringLiteral("MS Sans Serif"),
         {"Liberation Sans Narrow", "fonts-liberation (Debian 12) or fonts-liberation-sans-narrow (Debian 13)"}},
        {QStringLiteral("Times New Roman"), {"Liberation Serif", "fonts-liberation"}},
        {QStringLiteral("Courier New"), {"Liberation Mono", "fonts-liberation"}},
        {QStringLiteral("Tengwar Quenya"), {"DejaVu Serif", "fonts-dejavu-core"}},
    };
    return faces;
}

// Greedy wrapping at blanks, as a reader of the label would lay it out.
int linesAtBlanks(const QString& paragraph, const QFontMetricsF& fm, qreal width, QString* widest)
{
    const QStringList words = paragraph.split(QLatin1Char(' '));
    int lines = 1;
    QString line;
    for (const QString& word : words) {
        if (fm.horizontalAdvance(word) > width && fm.horizontalAdvance(word) > fm.horizontalAdvance(*widest))
            *widest = word;
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && fm.horizontalAdvance(longer) > width) {
            ++lines;
            line = word;
        } else {
            line = longer;
        }
    }
    return lines;
}

class Fit {
public:
    QStringList misfits;
    QStringList missingFonts;

    // Each visible control of each visible (or, with `all`, loaded) screen.
    void check(const Runtime& runtime, const QString& when, bool all = false)
    {
        for (const Screen* s : runtime.screens) {
            if (!s->window() || (!all && !s->isVisible()))
                continue;
            for (const auto& c : s->controls())
                if (c->widget() && c->widget()->isVisibleTo(s->window()))
                    checkControl(*s, *c, when);
        }
    }

private:
    std::set<QString> m_said; // each control's misfit once, at its first showing

    void fail(QStringList& list, const QString& what, const QString& key = {})
    {
        if (m_said.insert(key.isEmpty() ? what : key).second)
            list << what;
    }

    void checkControl(const Screen& s, const Control& c, const QString& when)
    {
        const QWidget* w = c.widget();
        QString text = c.shownText();
        if (c.kind() != Kind::Label && c.kind() != Kind::CommandButton && c.kind() != Kind::OptionButton &&
            c.kind() != Kind::TextBox)
            return;
        const QString asked = QString::fromUtf8(c.def().font.face.data(), qsizetype(c.def().font.face.size()));
        const QString got = QFontInfo(w->font()).family();
        const auto wanted = wantedFaces().find(asked);
        const QString where = QStringLiteral("%1 %2").arg(s.name(), w->objectName());
        if (wanted == wantedFaces().end()) {
            fail(missingFonts, QStringLiteral("%1 asks for \"%2\", which this test does not know").arg(where, asked));
            return;
        }
        if (got != QLatin1String(wanted->second.family)) {
            fail(missingFonts, QStringLiteral("\"%1\" (%2) is drawn in \"%3\", not \"%4\": install %5")
                                   .arg(asked, where, got, QLatin1String(wanted->second.family),
                                        QLatin1String(wanted->second.package)));
            return;
        }
        if (text.isEmpty())
            return;
        const QFontMetricsF fm(w->font());
        const QString font = QStringLiteral("%1 %2 pt").arg(got).arg(w->font().pointSizeF());
        const QString head = QStringLiteral("%1 (%2) in %3: ").arg(where, when, font);
        switch (c.kind()) {
        case Kind::Label: {
            text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
            int lines = 0;
            QString widest;
            for (const QString& paragraph : text.split(QLatin1Char('\n')))
                lines += linesAtBlanks(paragraph, fm, w->width(), &widest);
            const int room = w->height() < fm.height() ? 0 : 1 + int((w->height() - fm.height()) / fm.lineSpacing());
            if (!widest.isEmpty())
                fail(misfits,
                     head + QStringLiteral("\"%1\" needs %2 px, the label is %3 px wide")
                                .arg(widest)
                                .arg(fm.horizontalAdvance(widest))
                                .arg(w->width()),
                     where + QStringLiteral(" width"));
            if (lines > room)
                fail(misfits,
                     head + QStringLiteral("needs %1 lines, the label has room for %2 (%3 px high)")
                                .arg(lines)
                                .arg(room)
                                .arg(w->height()),
                     where + QStringLiteral(" lines"));
            break;
        }
        case Kind::CommandButton:
        case Kind::OptionButton: {
            const auto* b = static_cast<const QAbstractButton*>(w);
            QStyleOptionButton option;
            option.initFrom(b);
            option.text = b->text();
            const bool push = c.kind() == Kind::CommandButton;
            const QRect inside = w->style()->subElementRect(
                push ? QStyle::SE_PushButtonContents : QStyle::SE_RadioButtonContents, &option, w);
            const qreal need = fm.horizontalAdvance(QString(b->text()).remove(QLatin1Char('&')));
            if (need > inside.width() || fm.height() > inside.height())
                fail(misfits,
                     head + QStringLiteral("\"%1\" needs %2×%3 px, the %4 has %5×%6 inside")
                                .arg(b->text())
                                .arg(need)
                                .arg(fm.height())
                                .arg(QLatin1String(push ? "button" : "option"))
                                .arg(inside.width())
                                .arg(inside.height()),
                     where);
            break;
        }
        case Kind::TextBox: {
            // A box with a scroll bar scrolls by design; a one-line box shows its whole text.
            const auto* edit = qobject_cast<const QLineEdit*>(w);
            if (!edit)
                break;
            const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
            const int inside = w->width() - 2 * frame - 4; // QLineEdit's own margin of 2 px a side
            if (fm.horizontalAdvance(edit->text()) > inside || fm.height() > w->height() - 2 * frame)
                fail(misfits,
                     head + QStringLiteral("\"%1\" needs %2×%3 px, the box has %4×%5 inside")
                                .arg(edit->text())
                                .arg(fm.horizontalAdvance(edit->text()))
                                .arg(fm.height())
                                .arg(inside)
                                .arg(w->height() - 2 * frame),
                     where);
            break;
        }
        default:
            break;
        }
    }
};

void click(Screen& s, const char* control) { QTest::mouseClick(s.C(control).widget(), Qt::LeftButton); }

} // namespace

class FontsTest : public QObject {
    Q_OBJECT

private slots:
    // The program's own look and its font substitutes, as it sets them at start.
    void initTestCase() { installTheme(*qApp); }

    // Every screen as its definition builds it, the picture bank included.
    void everyScreenAsBuilt()
    {
        Harness h;
        Fit fit;
        for (Screen* s : h.setup.runtime().screens)
            s->Hide(); // a reference: the screen is built, hidden
        fit.check(h.setup.runtime(), QStringLiteral("as built"), true);
        QVERIFY2(fit.missingFonts.isEmpty(), qPrintable(fit.missingFonts.join(QLatin1Char('\n'))));
        QVERIFY2(fit.misfits.isEmpty(), qPrintable(fit.misfits.join(QLatin1Char('\n'))));
    }

    // The texts that come at run time: the wizard's pages, the installation's
    // file names, percentages and remaining time at every tick, the finale.
    void alongAWholePass()
    {
        Harness h;
        Setup& s = h.setup;
        Fit fit;
        Runtime& rt = s.runtime();
        s.launch();
        fit.check(rt, QStringLiteral("splash"));
        h.advance(2000);
        fit.check(rt, QStringLiteral("prompt"));
        QTest::mouseMove(s.Start().C("Command2").widget(), {10, 10});
        fit.check(rt, QStringLiteral("prompt, answers swapped"));
        click(s.Start(), "Command1");
        for (int page = 1; page <= 5; ++page) {
            fit.check(rt, QStringLiteral("wizard page %1").arg(page));
            click(s.Form1(), "cmdDalsi");
        }
        h.boxes.expect(texts::WarningTitle, mb::YesNo, mb::Yes);
        h.boxes.expect(texts::RefusalTitle, mb::OkOnly + mb::Critical, mb::Ok);
        for (int tick = 0; tick < 260 && !s.Form2().isVisible(); ++tick) {
            fit.check(rt, QStringLiteral("installation, tick %1").arg(tick));
            h.advance(800);
        }
        QVERIFY(s.Form2().isVisible());
        fit.check(rt, QStringLiteral("completion"));
        click(s.Form2(), "Command1");
        fit.check(rt, QStringLiteral("crash screen"));
        click(s.Rst(), "Label1");
        fit.check(rt, QStringLiteral("fault dialog"));
        QVERIFY2(fit.missingFonts.isEmpty(), qPrintable(fit.missingFonts.join(QLatin1Char('\n'))));
        QVERIFY2(fit.misfits.isEmpty(), qPrintable(fit.misfits.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(FontsTest)
#include "tst_fonts.moc"
