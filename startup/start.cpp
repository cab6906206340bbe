#include "startup/start.h"

#include "screens/screens.h"

namespace vp {

Start::Start(Program& p) : Screen(p.runtime(), StartDef()), program(p)
{
    bind<Start>({
        {"Command1", Event::MouseMove, &Start::Command1_MouseMove},
        {"Command2", Event::MouseMove, &Start::Command2_MouseMove},
        {"Command1", Event::Click, &Start::Command1_Click},
        {"Command2", Event::Click, &Start::Command2_Click},
        {"Form", Event::Unload, &Start::Form_Unload},
    });
}

void Start::Command1_MouseMove()
{
    Command1->setCaption(QStringLiteral("Ano"));
    Command2->setCaption(QStringLiteral("Ne"));
}

void Start::Command2_MouseMove()
{
    Command2->setCaption(QStringLiteral("Ano"));
    Command1->setCaption(QStringLiteral("Ne"));
}

// Neither the button nor what it reads matters.
void Start::Command1_Click() { Fertig(); }
void Start::Command2_Click() { Fertig(); }

void Start::Fertig()
{
    Hide();
    // The backdrop first, so that the wizard ends up in front of it.
    program.Background().Show();
    program.Form1().Show();
}

// Closing the prompt only re-arms the splash screen, which brings a new prompt.
void Start::Form_Unload()
{
    program.PreStart().Show();
    splashTimer->setEnabled(true);
}

} // namespace vp
