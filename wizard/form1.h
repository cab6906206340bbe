// The five-page setup wizard.
#pragma once

#include "app/program_interface.h"

#include <array>
#include <cstdint>

namespace vp {

class Form1 final : public Screen {
public:
    explicit Form1(Program& p);

    // The page now shown, 1 to 5; 0 until the first load.
    std::int16_t AktFaze = 0;

    void Faze(std::int16_t page);
    void Form_Load();
    void cmdDalsi_Click();
    void cmdZpet_Click();
    void optKon1_Click();
    void optKon2_Click();
    void optKon3_Click();
    void cmdZProch_Click();
    void Image1_Click();
    void cmdKonec_Click();

private:
    Program& program;
    std::array<ControlRef<Frame>, 5> Frames{
        {{*this, "Frame1"}, {*this, "Frame2"}, {*this, "Frame3"}, {*this, "Frame4"}, {*this, "Frame5"}}};
    ControlRef<CommandButton> cmdZpet{*this, "cmdZpet"};
    ControlRef<CommandButton> cmdDalsi{*this, "cmdDalsi"};
    ControlRef<TextBox> txtPodminky{*this, "txtPodminky"};
    ControlRef<TextBox> txtKonf{*this, "txtKonf"};
    ControlRef<Image> Image1{*this, "Image1"};
    ControlRef<Image> plim1{program.ImageBank(), "plim1"};
    ControlRef<Image> plim2{program.ImageBank(), "plim2"};
};

} // namespace vp
