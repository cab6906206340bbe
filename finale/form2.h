// The completion dialog.
#pragma once

#include "app/program_interface.h"

namespace vp {

class Form2 final : public Screen {
public:
    explicit Form2(Program& p);

    void Form_Load();
    void Command1_Click();

private:
    Program& program;
};

} // namespace vp
