#include "finale/form2.h"

#include "screens/screens.h"

namespace vp {

Form2::Form2(Program& p) : Screen(p.runtime(), Form2Def()), program(p)
{
    bind<Form2>({
        {"Form", Event::Load, &Form2::Form_Load},
        {"Command1", Event::Click, &Form2::Command1_Click},
    });
}

void Form2::Form_Load() { program.ActiveDialog = 3; }

// OK leaves the installer look behind: only the crash screen stays.
void Form2::Command1_Click()
{
    Hide();
    program.Background().Hide();
    program.Rst().Show();
}

} // namespace vp
