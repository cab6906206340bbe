#include "wizard/form1.h"

#include "core/msgbox.h"
#include "module1/module1.h"
#include "screens/screens.h"

#include <array>

namespace vp {

namespace {

const QString Filler = QStringLiteral("Blabla bla bla. Bla blabla.");
constexpr int FillerRepeats = 40;

QString LicenceHeading()
{
    return QStringLiteral("Podmínky využívání aplikace Valdrynix Plim 1.0.") + QString(54, QLatin1Char(' '));
}

QString BusyPrompt()
{
    return QStringLiteral(
        "Bohužel systém je zaneprázdněn a vzhledem ke kritickému protokolu AH45.2L!!!K_fň47/52.P.L.I.M-82 "
        "nedovoluje otevření požadovaného dialogového okna. Stiskněte 'Storno' nebo počkejte a akci opakujte později.");
}

QString ConfigurationText(int option)
{
    static const std::array<QString, 3> texts = {
        QStringLiteral(
            "Minimální konfigurace - vhodná pro začátečníky. Nejjednodušší ovládání. Obsahuje speciální soubory "
            "nápovědy a z toho důvodu má obzvláště vysoké nároky na volné místo na disku (ze všech konfigurací "
            "nejvyšší)."),
        QStringLiteral(
            "Standartní konfigurace - obsahuje oproti Profesionální konfiguraci zvláštní pluginy pro pohodlnější "
            "ovládání a zároveň proti minimální konfiguraci je rozsáhlejší. Z těchto důvodu zabírá ze všech tří "
            "možností na disku nejvíce místa."),
        QStringLiteral(
            "Profesionální konfigurace - má maximální nároky na diskové místo a proto zabírá více paměti než obě "
            "dvě zbylé konfigurace dohromady."),
    };
    return texts.at(static_cast<std::size_t>(option - 1));
}

} // namespace

Form1::Form1(Program& p) : Screen(p.runtime(), Form1Def()), program(p)
{
    bind<Form1>({
        {"Form", Event::Load, &Form1::Form_Load},
        {"cmdDalsi", Event::Click, &Form1::cmdDalsi_Click},
        {"cmdZpet", Event::Click, &Form1::cmdZpet_Click},
        {"optKon1", Event::Click, &Form1::optKon1_Click},
        {"optKon2", Event::Click, &Form1::optKon2_Click},
        {"optKon3", Event::Click, &Form1::optKon3_Click},
        {"cmdZProch", Event::Click, &Form1::cmdZProch_Click},
        {"Image1", Event::Click, &Form1::Image1_Click},
        {"cmdKonec", Event::Click, &Form1::cmdKonec_Click},
    });
}

void Form1::Faze(std::int16_t page)
{
    if (page < 1 || page > 5)
        return;
    AktFaze = page;
    for (std::size_t i = 0; i < Frames.size(); ++i)
        Frames[i]->setVisible(static_cast<int>(i) + 1 == page);
    cmdZpet->setEnabled(page != 1);
    cmdDalsi->setEnabled(true);
    if (page == 3) {
        // Rebuilt from scratch on every entry, so the filler never doubles; put
        // into the box in one piece: every change of the box's text is news to
        // a screen reader, and forty of them in a row flooded Orca, which then
        // dropped the page's own news.
        QString terms = LicenceHeading() + QLatin1Char('\n') + QLatin1Char('\n');
        for (int i = 0; i < FillerRepeats; ++i)
            terms += Filler;
        txtPodminky->setText(terms);
    }
}

void Form1::Form_Load()
{
    Faze(1);
    program.ActiveDialog = 1;
}

void Form1::cmdDalsi_Click()
{
    if (AktFaze >= 1 && AktFaze <= 4) {
        Faze(static_cast<std::int16_t>(AktFaze + 1));
    } else if (AktFaze == 5) {
        Hide();
        program.Inst().Show();
    }
}

void Form1::cmdZpet_Click()
{
    if (AktFaze >= 2 && AktFaze <= 5)
        Faze(static_cast<std::int16_t>(AktFaze - 1));
}

void Form1::optKon1_Click() { txtKonf->setText(ConfigurationText(1)); }
void Form1::optKon2_Click() { txtKonf->setText(ConfigurationText(2)); }
void Form1::optKon3_Click() { txtKonf->setText(ConfigurationText(3)); }

// Browsing is never possible; the box comes back for as long as the user retries.
void Form1::cmdZProch_Click()
{
    while (runtime.boxes().MsgBox(BusyPrompt(), mb::RetryCancel, QStringLiteral("Zpráva systému")) == mb::Retry) {
    }
}

// From the second click on the portrait stands on its head, then upright again.
void Form1::Image1_Click()
{
    Image& image = *Image1;
    const PictureRef upright = plim1->Picture();
    if (handleOf(image.Picture()) == handleOf(upright))
        image.setPicture(plim2->Picture());
    else
        image.setPicture(upright);
}

void Form1::cmdKonec_Click() { Module1::ExitRefusal(runtime.boxes()); }

} // namespace vp
