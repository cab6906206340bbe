// The protection-fault dialog that closes the loop.
#pragma once

#include "app/program_interface.h"

namespace vp {

class Form3 final : public Screen {
public:
    explicit Form3(Program& p);

    void Form_Activate();
    void Command1_Click();
    void Command2_Click();
    void Form_Unload();

private:
    Program& program;
    ControlRef<Label> Label1{*this, "Label1"};
};

} // namespace vp
