// Setup wizard: five pages stacked in one place (Frame1 to Frame5, all on the
// same rectangle), the navigation buttons along the bottom, a separator line
// and the portrait at the left. Children follow their frame.
#include "screens.h"

namespace vp {
namespace {

constexpr float pageLeft = 3000.0F, pageTop = 120.0F, pageWidth = 3735.0F, pageHeight = 2535.0F;

// The table keeps the layout it is read in: one control, one block.
// clang-format off
constexpr ControlDef controls[] = {
    // Page 5: ready to install.
    {.kind = Kind::Frame,
     .name = "Frame5",
     .left = pageLeft, .top = pageTop, .width = pageWidth, .height = pageHeight,
     .tabIndex = 8},
    {.kind = Kind::Label,
     .name = "lblGoToIns",
     .container = "Frame5",
     .left = 240.0F, .top = 360.0F, .width = 3255.0F, .height = 975.0F,
     .caption = "Stisknutím tlačítka 'Další' začněte s instalací. Přejeme vám hodně trpělivosti.",
     .tabIndex = 21},

    // Page 4: configuration.
    {.kind = Kind::Frame,
     .name = "Frame4",
     .left = pageLeft, .top = pageTop, .width = pageWidth, .height = pageHeight,
     .tabIndex = 7},
    {.kind = Kind::TextBox,
     .name = "txtKonf",
     .container = "Frame4",
     .left = 240.0F, .top = 1560.0F, .width = 3375.0F, .height = 855.0F,
     .back = role(Role::InactiveBorder),
     .tabIndex = 20,
     .multiLine = true,
     .verticalScroll = true,
     .access = {.labelledBy = "lblKonf"}},
    {.kind = Kind::OptionButton,
     .name = "optKon3",
     .container = "Frame4",
     .left = 240.0F, .top = 1200.0F, .width = 3375.0F, .height = 255.0F,
     .caption = "Profesionální",
     .tabIndex = 18,
     .access = {.labelledBy = "lblKonf"}},
    {.kind = Kind::OptionButton,
     .name = "optKon2",
     .container = "Frame4",
     .left = 240.0F, .top = 960.0F, .width = 3375.0F, .height = 255.0F,
     .caption = "Standartní",
     .tabIndex = 17,
     .access = {.labelledBy = "lblKonf"}},
    {.kind = Kind::OptionButton,
     .name = "optKon1",
     .container = "Frame4",
     .left = 240.0F, .top = 720.0F, .width = 3375.0F, .height = 255.0F,
     .caption = "Minimální",
     .tabIndex = 16,
     .access = {.labelledBy = "lblKonf"}},
    {.kind = Kind::Label,
     .name = "lblKonf",
     .container = "Frame4",
     .left = 240.0F, .top = 240.0F, .width = 3375.0F, .height = 375.0F,
     .caption = "Vyberte v jaké konfiguraci chcete aplikaci Valdrynix Plim 1.0. nainstalovat.",
     .tabIndex = 19},

    // Page 3: licence terms. "Nesouhlasím" can never be chosen.
    {.kind = Kind::Frame,
     .name = "Frame3",
     .left = pageLeft, .top = pageTop, .width = pageWidth, .height = pageHeight,
     .tabIndex = 6},
    {.kind = Kind::OptionButton,
     .name = "Option2",
     .container = "Frame3",
     .left = 2040.0F, .top = 2160.0F, .width = 1455.0F, .height = 255.0F,
     .caption = "Nesouhlasím",
     .tabIndex = 14,
     .enabled = false,
     .access = {.labelledBy = "lblSouhlasite"}},
    {.kind = Kind::OptionButton,
     .name = "Option1",
     .container = "Frame3",
     .left = 240.0F, .top = 2160.0F, .width = 1455.0F, .height = 255.0F,
     .caption = "Souhlasím",
     .tabIndex = 13,
     .access = {.labelledBy = "lblSouhlasite"}},
    {.kind = Kind::TextBox,
     .name = "txtPodminky",
     .container = "Frame3",
     .left = 240.0F, .top = 240.0F, .width = 3375.0F, .height = 1575.0F,
     .caption = "Text2",
     .back = role(Role::InactiveBorder),
     .tabIndex = 12,
     .multiLine = true,
     .verticalScroll = true,
     .access = {.labelledBy = "lblSouhlasite"}},
    {.kind = Kind::Label,
     .name = "lblSouhlasite",
     .container = "Frame3",
     .left = 240.0F, .top = 1920.0F, .width = 3255.0F, .height = 255.0F,
     .caption = "Souhlasíte s podmínkami?",
     .tabIndex = 15},

    // Page 2: target folder.
    {.kind = Kind::Frame,
     .name = "Frame2",
     .left = pageLeft, .top = pageTop, .width = pageWidth, .height = pageHeight,
     .tabIndex = 5},
    {.kind = Kind::CommandButton,
     .name = "cmdZProch",
     .container = "Frame2",
     .left = 2280.0F, .top = 1920.0F, .width = 1215.0F, .height = 375.0F,
     .caption = "Procházet",
     .tabIndex = 11},
    {.kind = Kind::TextBox,
     .name = "Text1",
     .container = "Frame2",
     .left = 240.0F, .top = 1440.0F, .width = 3255.0F, .height = 285.0F,
     .caption = R"(C:\Program Files\Valdrynix Plim\Plim\Plim_1_0)",
     .tabIndex = 10,
     .access = {.labelledBy = "cptF2"}},
    {.kind = Kind::Label,
     .name = "cptF2",
     .container = "Frame2",
     .left = 240.0F, .top = 360.0F, .width = 3255.0F, .height = 855.0F,
     .caption = "Specifikujte, do jaké složky chcete aplikaci nainstalovat.",
     .tabIndex = 9},

    // Page 1: welcome.
    {.kind = Kind::Frame,
     .name = "Frame1",
     .left = pageLeft, .top = pageTop, .width = pageWidth, .height = pageHeight,
     .tabIndex = 3},
    {.kind = Kind::Label,
     .name = "cptF1",
     .container = "Frame1",
     .left = 240.0F, .top = 360.0F, .width = 3255.0F, .height = 1215.0F,
     .caption = "Gratulujeme vám! Rozhodli jste se nainstalovat na svůj počítač aplikaci Valdrynix Plim 1.0. "
                "Pro pokračování stiskněte tlačítko 'Další'.",
     .tabIndex = 4},

    // Navigation along the bottom.
    {.kind = Kind::CommandButton,
     .name = "cmdKonec",
     .left = 5640.0F, .top = 3120.0F, .width = 1095.0F, .height = 375.0F,
     .caption = "Konec",
     .tabIndex = 2},
    {.kind = Kind::CommandButton,
     .name = "cmdDalsi",
     .left = 4440.0F, .top = 3120.0F, .width = 1095.0F, .height = 375.0F,
     .caption = "Další  >>",
     .tabIndex = 1},
    {.kind = Kind::CommandButton,
     .name = "cmdZpet",
     .left = 3240.0F, .top = 3120.0F, .width = 1095.0F, .height = 375.0F,
     .caption = "<<  Zpět",
     .tabIndex = 0},

    // Separator between the pages and the buttons.
    {.kind = Kind::Line, .name = "Line1", .x1 = 6720.0F, .y1 = 2880.0F, .x2 = 120.0F, .y2 = 2880.0F},

    {.kind = Kind::Image,
     .name = "Image1",
     .left = 120.0F, .top = 360.0F, .width = 2715.0F, .height = 2175.0F,
     .picture = PictureId::Portrait,
     .stretch = true,
     .mousePointer = PictureId::ArrowCursor},
};
// clang-format on

} // namespace

const ScreenDef& Form1Def()
{
    static const ScreenDef def{
        .name = "Form1",
        .title = "Instalace",
        .clientWidth = 6885.0F,
        .clientHeight = 3660.0F,
        .icon = PictureId::ProductIcon,
        .controls = controls,
        .dialog = true,
    };
    return def;
}

} // namespace vp
