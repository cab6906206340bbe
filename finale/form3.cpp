#include "finale/form3.h"

#include "module1/module1.h"
#include "screens/screens.h"

namespace vp {

namespace {

QString FaultText()
{
    return QStringLiteral("Aplikace Valdrinix Plim 1.0. porušila obecnou ochranu. Instalace není není platná. "
                          "Ukončete program , nebo začněte instalovat znovu.");
}

} // namespace

Form3::Form3(Program& p) : Screen(p.runtime(), Form3Def()), program(p)
{
    bind<Form3>({
        {"Form", Event::Activate, &Form3::Form_Activate},
        {"Command1", Event::Click, &Form3::Command1_Click},
        {"Command2", Event::Click, &Form3::Command2_Click},
        {"Form", Event::Unload, &Form3::Form_Unload},
    });
}

void Form3::Form_Activate() { Label1->setCaption(FaultText()); }

// "Znovu": back to the welcome prompt as it was left, without the splash.
void Form3::Command1_Click()
{
    Hide();
    program.Start().Show();
}

void Form3::Command2_Click() { Module1::ExitRefusal(runtime.boxes()); }

void Form3::Form_Unload() { program.Form2().Show(); }

} // namespace vp
