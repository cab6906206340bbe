#include "install/inst.h"

#include "core/clock.h"
#include "core/msgbox.h"
#include "core/values.h"
#include "module1/module1.h"
#include "screens/screens.h"

#include <array>
#include <cmath>

namespace vp {

namespace {

QString FileName(int c)
{
    static const std::array<const char*, 23> names = {
        "Bezvýznamný_soubor", "Nezajímavý_soubor", "Nezajímavý_modul",
        "Doplňkový_modul",    "Přídavný_modul",    "Modul",
        "Záložní_soubor",     "Záložní_modul",     "Doplněk",
        "Quorsova_galerie",   "Zbytečný_soubor",   "Zbytečný_soubor",
        "Zbytečný_soubor",    "Zbytečný_modul",    "Zbytečný_modul",
        "Zbytečný_modul",     "Generátor_chyb",    "Generátor_chyb",
        "Generátor_chyb",     "Generátor_chyb",    "Generátor_chyb",
        "Soubor_k_ničemu",    "Soubor_k_ničemu",
    };
    return QString::fromUtf8(names.at(static_cast<std::size_t>(c)));
}

QString Extension(int e)
{
    static const std::array<const char*, 4> extensions = {".plm", ".exe", ".pll", ".quo"};
    return QString::fromLatin1(extensions.at(static_cast<std::size_t>(e)));
}

QString WarningPrompt()
{
    return QStringLiteral(
        "Na jednotce 'C:' zbývá pouze 000120kB volného místa. Na této jednotce se nachází Odpadkový koš o "
        "velikosti [?] kB. Chcete tento koš vysypat?");
}

QString RefusalPrompt()
{
    return QStringLiteral("Bohužel, tento koš nemůže být vysypán, protože je již využíván jinou aplikací.");
}

} // namespace

Inst::Inst(Program& p) : Screen(p.runtime(), InstDef()), program(p)
{
    bind<Inst>({
        {"Form", Event::Load, &Inst::Form_Load},
        {"Form", Event::Unload, &Inst::Form_Unload},
        {"Timer1", Event::Timer, &Inst::Timer1_Timer},
        {"Timer2", Event::Timer, &Inst::Timer2_Timer},
        {"Timer3", Event::Timer, &Inst::Timer3_Timer},
        {"Command1", Event::Click, &Inst::Command1_Click},
    });
}

void Inst::Form_Load()
{
    program.ActiveDialog = 2;
    Label& track = *lblB;
    Label& fill = *lblM;
    fill.setLeft(track.Left());
    fill.setTop(track.Top());
    fill.setWidth(0);
    fill.setHeight(track.Height());
    RemainingMinutes = 20.13;
    Kolik(); // still sees the PercentDone of an earlier load, if there was one
    HeadStartTop = 480;
    HeadStartLeft = 240;
    HeadEndLeft = 3370;
    hlava->setLeft(HeadStartLeft);
    hlava->setTop(HeadStartTop);
}

void Inst::Timer1_Timer()
{
    Label& track = *lblB;
    Label& fill = *lblM;
    // Widths are read back from the controls every time.
    if (!(fill.Width() < track.Width()))
        return;
    const float r = runtime.random().Rnd();
    fill.setWidth(fill.Width() + (track.Width() / 100.0F) * 0.5F + r); // single precision, not clamped
    const float done = fill.Width() / track.Width() * 100.0F;
    PercentDone = CInt(Int(done));

    Label& percent = *lblPrcnt;
    percent.setCaption(Str(PercentDone) + QLatin1Char('%'));
    percent.setForeColor(PercentDone < 50 ? fill.BackColor() : track.BackColor());

    Co();
    Kolik();
    if (PercentDone > 80 && !BinOffered)
        Kos(); // the tick waits here while its boxes are open
    if (PercentDone >= 100) {
        Hide();
        program.Form2().Show();
    }
}

void Inst::Command1_Click() { Module1::ExitRefusal(runtime.boxes()); }

void Inst::Form_Unload() { program.Form1().Show(); }

void Inst::Kolik()
{
    double step = 0;
    if (PercentDone < 5) {
        step = static_cast<float>(Int(static_cast<double>(runtime.random().Rnd()) * -80.0) / 100.0);
    } else if (PercentDone <= 85) {
        step = static_cast<float>(Int(static_cast<double>(runtime.random().Rnd()) * 180.0) / 100.0);
    } else {
        step = -0.1 * RemainingMinutes; // no random number in the shrinking phase
    }
    RemainingMinutes = Int((RemainingMinutes + step) * 100.0) / 100.0;
    lblZbyva->setCaption(QStringLiteral("Zbývá ještě:") + PrevedMNaHMS(RemainingMinutes) + QStringLiteral(" (odhad)"));
}

QString Inst::PrevedMNaHMS(const double& minutes)
{
    const double hours = Int(minutes / 60.0);
    const double wholeMinutes = Int(minutes - 60.0 * hours);
    const std::int16_t seconds = CInt((minutes - 60.0 * hours - wholeMinutes) * 60.0);
    return Str(hours) + QStringLiteral(" h ") + Str(wholeMinutes) + QStringLiteral(" m ") + Str(seconds) +
           QStringLiteral(" s ");
}

void Inst::Co()
{
    Random& rnd = runtime.random();
    rnd.Randomize(runtime.clock().secondsSinceMidnight());
    // Products are taken in double so that no rounding can reach 99, 23 or 4.
    const auto number = static_cast<float>(Int(static_cast<double>(rnd.Rnd()) * 99.0));
    const auto c = static_cast<int>(Int(static_cast<double>(rnd.Rnd()) * 23.0));
    const std::int16_t e = CInt(Int(static_cast<double>(rnd.Rnd()) * 4.0));
    lblCo->setCaption(FileName(c) + Str(number) + Extension(e));
}

void Inst::Kos()
{
    MessageBoxes& boxes = runtime.boxes();
    if (boxes.MsgBox(WarningPrompt(), mb::YesNo, QStringLiteral("Upozornění")) == mb::Yes)
        boxes.MsgBox(RefusalPrompt(), mb::OkOnly + mb::Critical, QStringLiteral("Požadavek nelze splnit"));
    BinOffered = true;
}

void Inst::Timer2_Timer()
{
    Image& head = *hlava;
    head.setTop(HeadStartTop);
    head.setLeft(HeadStartLeft);
    Timer3->setEnabled(true);
    head.setVisible(true);
}

// One step of the arch: 160 twips right, up to 700 twips high, 3.14 radians in all.
void Inst::Timer3_Timer()
{
    Image& head = *hlava;
    head.setLeft(head.Left() + 160.0F);
    const double left = head.Left();
    const double angle = 3.14 * (left - HeadStartLeft) / static_cast<double>(HeadEndLeft - HeadStartLeft);
    head.setTop(static_cast<float>(HeadStartTop - 700.0 * std::sin(angle)));
    if (head.Left() > HeadEndLeft) {
        Timer3->setEnabled(false);
        head.setVisible(false);
    }
}

} // namespace vp
