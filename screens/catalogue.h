// The program's pictures: the names the screen tables use, and the catalogue
// that says where each comes from and what a screen reader is told it shows.
#pragma once

#include "core/pictures.h"

#include <cstdint>

namespace vp {

enum class PictureId : std::uint8_t {
    None,
    Portrait,
    PortraitInverted,
    BackdropGradient,
    ProductIcon,
    ArrowCursor,
    FolderIcon,
    ComputerIcon,
    HeadCutout,
};

const PictureCatalogue& Pictures();

} // namespace vp
