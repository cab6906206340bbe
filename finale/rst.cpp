#include "finale/rst.h"

#include "screens/screens.h"

namespace vp {

namespace {

const QString Text1 =
    QStringLiteral(" Došlo k zásadní v j mce na adrese '2k45547MHůř8296N54.845BLA / x123456;vALdry0-NX000;H,335978/2'");
const QString Text2 = QStringLiteral(" Ukončete všechny aplikace, vypněte počítač a hoďte ho do záchoda.");
const QString Text3 = QStringLiteral(" V systému došlo k chybě. Program provedl neplatnou operaci a bude ukončen.");
const QString Text4 = QStringLiteral(" Restartujte počítač stiskem 'CTRL + ALT + DEL'");
const QString Text5 = QStringLiteral(" Došlo k přetížení interní paměti. Toto chybové hlášení není platné...");
constexpr QChar CR = QLatin1Char('\r');

} // namespace

Rst::Rst(Program& p) : Screen(p.runtime(), RstDef()), program(p)
{
    bind<Rst>({
        {"Form", Event::Activate, &Rst::Form_Activate},
        {"Form", Event::Click, &Rst::Form_Click},
        {"Label1", Event::Click, &Rst::Label1_Click},
    });
}

void Rst::Form_Activate()
{
    Label& label = *Label1;
    // The screen is maximised, so its own size is the display's; half twips stay.
    label.setLeft(Width() / 2 - label.Width() / 2);
    label.setTop(Height() / 2 - label.Height() / 2);
    // Rebuilt from the first text on every activation, never appended twice.
    label.setCaption(Text1);
    label.setCaption(label.Caption() + Text2 + CR);
    label.setCaption(label.Caption() + Text3 + CR + CR);
    label.setCaption(label.Caption() + Text4 + CR);
    label.setCaption(label.Caption() + Text5 + CR);
}

void Rst::Form_Click()
{
    Hide();
    program.Form3().Show();
}

void Rst::Label1_Click() { Form_Click(); }

} // namespace vp
