// The completion dialog.
#pragma once

#include "core/screen.h"

namespace vp {

class Form2 final : public Screen {
public:
    explicit Form2(Program& p);

    void Form_Load();
    void Command1_Click();
};

} // namespace vp
