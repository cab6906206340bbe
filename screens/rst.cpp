// Restart screen: dark blue over the whole screen, white fixed-pitch text as
// its only content. The label's caption and place are set when it is shown.
#include "screens.h"

namespace vp {
namespace {

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::Label,
     .name = "Label1",
     .left = 120.0F, .top = 360.0F, .width = 9135.0F, .height = 3135.0F,
     .align = Align::Centre,
     .transparent = true,
     .fore = rgb(255, 255, 255),
     .font = {.face = "Courier New", .points = 9.0F},
     .tabIndex = 0},
};
// clang-format on

} // namespace

const ScreenDef& RstDef()
{
    static const ScreenDef def{
        .name = "Rst",
        .title = "Form2",
        .border = Border::None,
        .clientWidth = 9405.0F,
        .clientHeight = 3945.0F,
        .maximised = true,
        .taskbar = false,
        .icon = PictureId::None,
        .back = rgb(0, 0, 192),
        .font = {.face = "Tengwar Quenya", .points = 8.25F}, // nothing draws text in it
        .controls = controls,
        .spokenNameFrom = "Label1",
    };
    return def;
}

} // namespace vp
