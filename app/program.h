// The program: the runtime services, the nine single screens and the
// active-dialog indicator. Tests build it on a virtual clock with scripted
// message boxes; main() on real timers and real boxes.
#pragma once

#include "app/program_interface.h"
#include "finale/form2.h"
#include "finale/form3.h"
#include "finale/rst.h"
#include "install/inst.h"
#include "startup/background.h"
#include "startup/prestart.h"
#include "startup/start.h"
#include "wizard/form1.h"

#include <memory>

namespace vp {

// The program's name: its command, and what its own lines on stderr begin with.
inline constexpr char ProgramName[] = "valdrynix-plim";

class Setup final : public Program {
public:
    Setup(Clock& clock, MessageBoxes& boxes, Random& random);
    ~Setup() override;

    Runtime& runtime() override { return m_runtime; }
    vp::PreStart& PreStart() override { return m_preStart; }
    vp::Start& Start() override { return m_start; }
    vp::Background& Background() override { return m_background; }
    vp::Form1& Form1() override { return m_form1; }
    vp::Inst& Inst() override { return m_inst; }
    vp::Form2& Form2() override { return m_form2; }
    vp::Rst& Rst() override { return m_rst; }
    vp::Form3& Form3() override { return m_form3; }
    Screen& ImageBank() override { return m_imageBank; }

    // Launch: the splash screen is the start-up screen.
    void launch();

private:
    Runtime m_runtime;
    // The picture bank comes first: the wizard holds references to its pictures.
    Screen m_imageBank; // two pictures for the wizard; no handlers, never shown
    vp::PreStart m_preStart;
    vp::Start m_start;
    vp::Background m_background;
    vp::Form1 m_form1;
    vp::Inst m_inst;
    vp::Form2 m_form2;
    vp::Rst m_rst;
    vp::Form3 m_form3;
};

} // namespace vp
