// Welcome prompt: the question and the two answer buttons, "Ano" at the left.
#include "screens.h"

namespace vp {
namespace {

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::CommandButton,
     .name = "Command2",
     .left = 2280.0F, .top = 1320.0F, .width = 1215.0F, .height = 375.0F,
     .caption = "Ne",
     .tabIndex = 2},
    {.kind = Kind::CommandButton,
     .name = "Command1",
     .left = 960.0F, .top = 1320.0F, .width = 1215.0F, .height = 375.0F,
     .caption = "Ano",
     .tabIndex = 1},
    {.kind = Kind::Label,
     .name = "Label1",
     .left = 240.0F, .top = 240.0F, .width = 3855.0F, .height = 855.0F,
     .caption = "Chcete na váš počítač nainstalovat aplikaci Valdrynix Plim 1.0.? (Varování: Při případných "
                "potížích se obraťte na vašeho distributora softwaru, ale ten vám s tím nejspíš neporadí, "
                "takže máte smůlu)",
     .align = Align::Centre,
     .tabIndex = 0},
};
// clang-format on

} // namespace

const ScreenDef& StartDef()
{
    static const ScreenDef def{
        .name = "Start",
        .title = "Vítá vás aplikace Valdrynix Plim",
        .clientWidth = 4410.0F,
        .clientHeight = 1830.0F,
        .icon = PictureId::ProductIcon,
        .controls = controls,
        .dialog = true,
    };
    return def;
}

} // namespace vp
