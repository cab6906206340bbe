// Picture bank: a window that is never shown and only holds the upright and
// the inverted portrait for the wizard to take.
#include "screens.h"

namespace vp {
namespace {

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::Image,
     .name = "plim2",
     .left = 1200.0F, .top = 240.0F, .width = 855.0F, .height = 975.0F,
     .picture = PictureId::PortraitInverted,
     .stretch = true},
    {.kind = Kind::Image,
     .name = "plim1",
     .left = 240.0F, .top = 240.0F, .width = 855.0F, .height = 975.0F,
     .picture = PictureId::Portrait,
     .stretch = true},
};
// clang-format on

} // namespace

const ScreenDef& ImageBankDef()
{
    static const ScreenDef def{
        .name = "ImageBank",
        .title = "Form2",
        .clientWidth = 4680.0F,
        .clientHeight = 3195.0F,
        .centred = false,
        .icon = PictureId::None,
        .controls = controls,
    };
    return def;
}

} // namespace vp
