#include "startup/prestart.h"

#include "screens/screens.h"

namespace vp {

PreStart::PreStart(Program& p) : Screen(p.runtime(), PreStartDef()), program(p)
{
    bind<PreStart>({{"Timer1", Event::Timer, &PreStart::Timer1_Timer}});
}

// Two seconds after the splash was shown (or re-armed) it gives way to the prompt.
void PreStart::Timer1_Timer()
{
    Hide();
    Timer1->setEnabled(false);
    program.Start().Show();
}

} // namespace vp
