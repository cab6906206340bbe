// The installation screen: a bar that fills in about 196 ticks of 800 ms, a
// file name made up on every tick, a remaining-time estimate that grows before
// it shrinks, a waste bin that cannot be emptied, and a head jumping across.
#pragma once

#include "app/program_interface.h"

#include <cstdint>

namespace vp {

class Inst final : public Screen {
public:
    explicit Inst(Program& p);

    // Kept across a close of the window; zero when the program starts.
    double RemainingMinutes = 0;
    std::int16_t PercentDone = 0;
    bool BinOffered = false;
    std::int16_t HeadStartTop = 0;
    std::int16_t HeadStartLeft = 0;
    std::int16_t HeadEndLeft = 0;

    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();
    void Form_Unload();
    void Kolik();
    static QString PrevedMNaHMS(const double& minutes);
    void Co();
    void Kos();
    void Timer2_Timer();
    void Timer3_Timer();

private:
    Program& program;
    ControlRef<Label> lblB{*this, "lblB"};
    ControlRef<Label> lblM{*this, "lblM"};
    ControlRef<Label> lblPrcnt{*this, "lblPrcnt"};
    ControlRef<Label> lblZbyva{*this, "lblZbyva"};
    ControlRef<Label> lblCo{*this, "lblCo"};
    ControlRef<Image> hlava{*this, "hlava"};
    ControlRef<Timer> Timer3{*this, "Timer3"};
};

} // namespace vp
