#include "startup/background.h"

#include "core/platform.h"
#include "screens/screens.h"

namespace vp {

Background::Background(Program& p) : Screen(p.runtime(), BackgroundDef()), program(p)
{
    bind<Background>({{"Form", Event::Activate, &Background::Form_Activate}});
}

namespace {

// The indicator can name a dialog that is hidden or was closed (the second
// pass, a close box); the focus only goes to a visible one, and otherwise
// stays where it is. Looking does not load a closed dialog.
void focusIfShown(Screen& dialog)
{
    if (dialog.isVisible())
        dialog.SetFocus();
}

} // namespace

// The backdrop stays below the dialogs even while it has the focus: a click on
// it can then never bury a dialog that the indicator does not name (on the
// second pass the indicator names the hidden completion dialog). Under kwin
// the dialogs keep it so (keepBelowBehindDialogs()).
void Background::windowBuilt(QWidget& window)
{
    if (keepBelowBehindDialogs())
        window.setWindowFlag(Qt::WindowStaysOnBottomHint);
}

void Background::Form_Activate()
{
    // Three separate tests, each reading the indicator afresh.
    if (program.ActiveDialog == 1)
        focusIfShown(program.Form1());
    if (program.ActiveDialog == 2)
        focusIfShown(program.Inst());
    if (program.ActiveDialog == 3)
        focusIfShown(program.Form2());
}

} // namespace vp
