// The welcome prompt. Whichever answer the pointer is over reads "Ano", and
// both answers lead on to the wizard.
#pragma once

#include "app/program_interface.h"

namespace vp {

class Start final : public Screen {
public:
    explicit Start(Program& p);

    void Command1_MouseMove();
    void Command2_MouseMove();
    void Command1_Click();
    void Command2_Click();
    void Fertig();
    void Form_Unload();

private:
    Program& program;
    ControlRef<CommandButton> Command1{*this, "Command1"};
    ControlRef<CommandButton> Command2{*this, "Command2"};
    ControlRef<Timer> splashTimer{program.PreStart(), "Timer1"};
};

} // namespace vp
