// The picture catalogue, loaded once from the resources and shared. Each image
// control gets a picture object of its own; assigning one control's picture to
// another shares the object, and two pictures are the same when their handles
// (the objects' addresses) are equal.
#pragma once

#include "definition.h"

#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <memory>

namespace vp {

struct Picture {
    PictureId id = PictureId::None;
    QPixmap pixmap;
};
using PictureRef = std::shared_ptr<const Picture>;

inline const void* handleOf(const PictureRef& p) { return p.get(); }

// A new picture object for `id` (pixels shared with every other use of it).
PictureRef newPicture(PictureId id);

// The pixels of a catalogue entry at the size an image control shows it:
// icons at 32 x 32.
const QPixmap& pixmapOf(PictureId id);

// The photographs (JPEG) are smoothed when scaled; icons, cursors and the GIF
// cut-out are pixel art and scale by whole pixels.
bool isPhotograph(PictureId id);

// All images of an icon, for a window's title bar and taskbar button.
QIcon iconOf(PictureId id);

// The mouse pointer of a cursor picture, with the hot spot read from its file.
QPoint hotSpotOf(PictureId id);

} // namespace vp
