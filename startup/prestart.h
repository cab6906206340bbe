// The splash screen: the program starts here, and the welcome prompt falls
// back here when it is closed.
#pragma once

#include "app/program_interface.h"

namespace vp {

class PreStart final : public Screen {
public:
    explicit PreStart(Program& p);

    void Timer1_Timer();

private:
    Program& program;
    ControlRef<Timer> Timer1{*this, "Timer1"};
};

} // namespace vp
