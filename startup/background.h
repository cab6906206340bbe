// The full-screen backdrop behind the wizard, the installation screen and the
// completion dialog. Clicked, it hands the focus back to the current one.
#pragma once

#include "app/program_interface.h"

namespace vp {

class Background final : public Screen {
public:
    explicit Background(Program& p);

    void Form_Activate();

private:
    Program& program;
};

} // namespace vp
