// Backdrop: a borderless, maximised blue window with the gradient picture in
// its top-left corner, behind the dialogs. It has no controls.
#include "screens.h"

namespace vp {

const ScreenDef& BackgroundDef()
{
    static const ScreenDef def{
        .name = "Background",
        .title = "Form2",
        .border = Border::None,
        .clientWidth = 4680.0F,
        .clientHeight = 3195.0F,
        .maximised = true,
        .taskbar = false,
        .behind = true,
        .icon = PictureId::None,
        .back = rgb(0, 0, 255),
        .picture = PictureId::BackdropGradient,
        .spokenName = "Pozadí instalace Valdrynix Plim 1.0.",
    };
    return def;
}

} // namespace vp
