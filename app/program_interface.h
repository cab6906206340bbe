// What the screens know of the program they belong to: the nine screens as
// single instances, the runtime, and the active-dialog indicator. Behaviours
// include this header only; Setup (app/program.h) is the one implementation.
#pragma once

#include "core/screen.h"

#include <cstdint>

namespace vp {

class Program {
public:
    virtual ~Program() = default;
    virtual Runtime& runtime() = 0;
    virtual Screen& PreStart() = 0;
    virtual Screen& Start() = 0;
    virtual Screen& Background() = 0;
    virtual Screen& Form1() = 0;
    virtual Screen& Inst() = 0;
    virtual Screen& Form2() = 0;
    virtual Screen& Rst() = 0;
    virtual Screen& Form3() = 0;
    virtual Screen& ImageBank() = 0;

    // 0 none yet, 1 wizard, 2 installation screen, 3 completion dialog.
    std::int16_t ActiveDialog = 0;
};

} // namespace vp
