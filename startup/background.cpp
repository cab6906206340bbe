#include "startup/background.h"

#include "screens/screens.h"

namespace vp {

Background::Background(Program& p) : Screen(p.runtime(), BackgroundDef()), program(p)
{
    bind<Background>({{"Form", Event::Activate, &Background::Form_Activate}});
}

namespace {

// The indicator can name a dialog that is hidden or was closed (the second
// pass, a close box). Looking does not load a closed dialog.
bool focusIfShown(Screen& dialog)
{
    if (!dialog.isVisible())
        return false;
    dialog.SetFocus();
    return true;
}

} // namespace

void Background::Form_Activate()
{
    // Three separate tests, each reading the indicator afresh.
    bool handed = false;
    if (program.ActiveDialog == 1)
        handed = focusIfShown(program.Form1()) || handed;
    if (program.ActiveDialog == 2)
        handed = focusIfShown(program.Inst()) || handed;
    if (program.ActiveDialog == 3)
        handed = focusIfShown(program.Form2()) || handed;
    // Where the indicator names a dialog that is not on screen (on the second
    // pass it names the hidden completion dialog), the one of the three that
    // is on screen takes the focus, so that a click on the backdrop, or the
    // backdrop made active after the dialog, never leaves it in front of it.
    if (!handed && program.ActiveDialog >= 1 && program.ActiveDialog <= 3)
        (void)(focusIfShown(program.Form1()) || focusIfShown(program.Inst()) || focusIfShown(program.Form2()));
}

} // namespace vp
