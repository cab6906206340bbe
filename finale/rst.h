// The full-screen crash report.
#pragma once

#include "app/program_interface.h"

namespace vp {

class Rst final : public Screen {
public:
    explicit Rst(Program& p);

    void Form_Activate();
    void Form_Click();
    void Label1_Click();

private:
    Program& program;
    ControlRef<Label> Label1{*this, "Label1"};
};

} // namespace vp
