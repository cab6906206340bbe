// Splash screen: the product name twice over a stretched portrait. The black
// text lies 30 twips right and below the white one, and behind it.
#include "screens.h"

namespace vp {
namespace {

constexpr FontDef splashFont{
    .face = "Times New Roman", .points = 26.25F, .bold = true, .italic = true, .centralEuropean = true};

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::Timer, .name = "Timer1", .interval = 2000},
    {.kind = Kind::Label,
     .name = "Label1",
     .index = 1,
     .left = 360.0F, .top = 240.0F, .width = 4455.0F, .height = 735.0F,
     .caption = "Valdrynix Plim   1.0.",
     .transparent = true,
     .fore = rgb(255, 255, 255),
     .font = splashFont,
     .tabIndex = 1},
    {.kind = Kind::Label,
     .name = "Label1",
     .index = 0,
     .left = 390.0F, .top = 270.0F, .width = 4335.0F, .height = 735.0F,
     .caption = "Valdrynix Plim 1.0.",
     .transparent = true,
     .fore = rgb(0, 0, 0),
     .font = splashFont,
     .tabIndex = 0,
     .access = {.decoration = true}}, // the shadow of the white text
    // 30 twips wider than the window: cut off at the right edge.
    {.kind = Kind::Image,
     .name = "Image1",
     .left = 0.0F, .top = 0.0F, .width = 4875.0F, .height = 3615.0F,
     .picture = PictureId::Portrait,
     .stretch = true},
};
// clang-format on

} // namespace

const ScreenDef& PreStartDef()
{
    static const ScreenDef def{
        .name = "PreStart",
        .title = "Form4",
        .border = Border::None,
        .clientWidth = 4845.0F,
        .clientHeight = 3615.0F,
        .taskbar = false,
        .icon = PictureId::None,
        .controls = controls,
        .spokenName = "Valdrynix Plim 1.0.",
    };
    return def;
}

} // namespace vp
