// Protection-fault dialog. The message is written into Label1 when the dialog
// is activated; "Znovu" has the focus.
#include "screens.h"

namespace vp {
namespace {

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::CommandButton,
     .name = "Command2",
     .left = 1800.0F, .top = 960.0F, .width = 1215.0F, .height = 375.0F,
     .caption = "Konec",
     .tabIndex = 2},
    {.kind = Kind::CommandButton,
     .name = "Command1",
     .left = 360.0F, .top = 960.0F, .width = 1215.0F, .height = 375.0F,
     .caption = "Znovu",
     .tabIndex = 1},
    {.kind = Kind::Label,
     .name = "Label1",
     .left = 120.0F, .top = 120.0F, .width = 3255.0F, .height = 735.0F,
     .tabIndex = 0},
};
// clang-format on

} // namespace

const ScreenDef& Form3Def()
{
    static const ScreenDef def{
        .name = "Form3",
        .title = "Chyba",
        .clientWidth = 3420.0F,
        .clientHeight = 1410.0F,
        .icon = PictureId::ProductIcon,
        .controls = controls,
        .dialog = true,
    };
    return def;
}

} // namespace vp
