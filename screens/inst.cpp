// Installation screen: folder and computer icons with the head jumping between
// them, the remaining-time and file-name lines, the progress bar made of three
// labels in Frame1, and the three timers that drive it all.
#include "screens.h"

namespace vp {
namespace {

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    {.kind = Kind::Timer, .name = "Timer1", .interval = 800},                    // progress ticks
    {.kind = Kind::Timer, .name = "Timer2", .interval = 3200},                   // start of a head jump
    {.kind = Kind::Timer, .name = "Timer3", .enabled = false, .interval = 40},  // steps of a jump

    {.kind = Kind::CommandButton,
     .name = "Command1",
     .left = 3600.0F, .top = 2880.0F, .width = 1215.0F, .height = 375.0F,
     .caption = "Konec",
     .tabIndex = 4},

    // The progress bar: the figure in front, then the fill, then the track.
    // The figure's rectangle starts 75 twips below the top of the bar and
    // reaches 75 twips below its bottom; being transparent, it lets the fill
    // and the track show around its text.
    {.kind = Kind::Frame,
     .name = "Frame1",
     .left = 360.0F, .top = 1800.0F, .width = 4695.0F, .height = 975.0F,
     .tabIndex = 0,
     .access = {.barFill = "lblM", .barTrack = "lblB"}},
    {.kind = Kind::Label,
     .name = "lblPrcnt",
     .container = "Frame1",
     .left = 1560.0F, .top = 435.0F, .width = 1095.0F, .height = 375.0F,
     .caption = "0%",
     .align = Align::Centre,
     .transparent = true,
     .font = {.face = "MS Sans Serif", .points = 9.75F, .centralEuropean = true},
     .tabIndex = 3},
    {.kind = Kind::Label,
     .name = "lblM",
     .container = "Frame1",
     .left = 120.0F, .top = 360.0F, .width = 255.0F, .height = 375.0F,
     .back = role(Role::ActiveTitleBar),
     .tabIndex = 2},
    {.kind = Kind::Label,
     .name = "lblB",
     .container = "Frame1",
     .left = 120.0F, .top = 360.0F, .width = 4335.0F, .height = 375.0F,
     .back = role(Role::WindowBackground),
     .tabIndex = 1},

    {.kind = Kind::Image,
     .name = "Image1",
     .left = 720.0F, .top = 600.0F, .width = 675.0F, .height = 600.0F,
     .picture = PictureId::FolderIcon,
     .stretch = true},
    {.kind = Kind::Image,
     .name = "imgR",
     .left = 3720.0F, .top = 600.0F, .width = 720.0F, .height = 600.0F,
     .picture = PictureId::ComputerIcon,
     .stretch = true},

    // "Instaluje se:" ends 105 twips before the file name begins, so the two
    // read as one line.
    {.kind = Kind::Label,
     .name = "lblCo",
     .left = 2400.0F, .top = 1560.0F, .width = 2175.0F, .height = 255.0F,
     .caption = ".",
     .transparent = true,
     .tabIndex = 7},
    {.kind = Kind::Label,
     .name = "lblInstalujeSe",
     .left = 1080.0F, .top = 1560.0F, .width = 1215.0F, .height = 255.0F,
     .caption = "Instaluje se:",
     .align = Align::Right,
     .transparent = true,
     .tabIndex = 6},
    {.kind = Kind::Label,
     .name = "lblZbyva",
     .left = 960.0F, .top = 1320.0F, .width = 3375.0F, .height = 255.0F,
     .caption = "...",
     .align = Align::Centre,
     .transparent = true,
     .tabIndex = 5,
     .access = {.status = true}},

    // The head passes behind everything above.
    {.kind = Kind::Image,
     .name = "hlava",
     .left = 600.0F, .top = 480.0F, .width = 735.0F, .height = 735.0F,
     .visible = false,
     .picture = PictureId::HeadCutout,
     .stretch = true},
};
// clang-format on

} // namespace

const ScreenDef& InstDef()
{
    static const ScreenDef def{
        .name = "Inst",
        .title = "Probíhá instalace. Nerušit.",
        .clientWidth = 5445.0F,
        .clientHeight = 3345.0F,
        .icon = PictureId::ProductIcon,
        .controls = controls,
        .dialog = true,
    };
    return def;
}

} // namespace vp
