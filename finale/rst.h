// The full-screen crash report.
#pragma once

#include "core/screen.h"

namespace vp {

class Rst final : public Screen {
public:
    explicit Rst(Program& p);

    void Form_Activate();
    void Form_Click();
    void Label1_Click();

    static QString Report();
};

} // namespace vp
