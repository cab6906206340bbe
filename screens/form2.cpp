// Completion dialog. The head, at natural size, overlaps the lower right
// corner of the text and is in front of it.
#include "screens.h"

namespace vp {
namespace {

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::CommandButton,
     .name = "Command1",
     .left = 1680.0F, .top = 1320.0F, .width = 1335.0F, .height = 375.0F,
     .caption = "OK",
     .tabIndex = 1},
    {.kind = Kind::Image,
     .name = "Image2",
     .left = 3600.0F, .top = 720.0F, .width = 705.0F, .height = 795.0F,
     .picture = PictureId::HeadCutout},
    {.kind = Kind::Image,
     .name = "Image1",
     .left = 600.0F, .top = 960.0F, .width = 480.0F, .height = 480.0F,
     .picture = PictureId::ProductIcon,
     .access = {.decoration = true}}, // the text beside it names the product
    {.kind = Kind::Label,
     .name = "Label1",
     .left = 480.0F, .top = 240.0F, .width = 3735.0F, .height = 615.0F,
     .caption = "Proces instalace aplikace Valdrynix Plim 1.0.byl dokončen. Potvrďte stiskem tlačítka OK.",
     .tabIndex = 0},
};
// clang-format on

} // namespace

const ScreenDef& Form2Def()
{
    static const ScreenDef def{
        .name = "Form2",
        .title = "Instalace Valdrynix Plim 1.0.",
        .clientWidth = 4710.0F,
        .clientHeight = 1875.0F,
        .icon = PictureId::ProductIcon,
        .controls = controls,
        .dialog = true,
    };
    return def;
}

} // namespace vp
