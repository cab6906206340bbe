// Pictures, from a catalogue the program hands the runtime: which resource
// each picture comes from, how it is drawn, and what a screen reader is told
// it shows. Each picture is loaded once, when first used, and shared. Each
// image control gets a picture object of its own; assigning one control's
// picture to another shares the object, and two pictures are the same when
// their handles (the objects' addresses) are equal.
#pragma once

#include "definition.h"

#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace vp {

// How a picture's file is read and drawn. Photographs are smoothed when
// scaled; icons, cursors and cut-outs are pixel art and scale by whole pixels.
// Icon and cursor files hold several images: the 32 x 32 one is shown.
enum class PictureKind : std::uint8_t { Photograph, Icon, Cursor, Cutout };

struct PictureEntry {
    PictureKey key;
    std::string_view resource; // a path in the resource system
    PictureKind kind;
    std::string_view spoken; // what it shows, in the program's language (UTF-8)
};

struct Picture {
    PictureKey id;
    QPixmap pixmap;
};
using PictureRef = std::shared_ptr<const Picture>;

inline const void* handleOf(const PictureRef& p) { return p.get(); }

class PictureCatalogue {
public:
    explicit PictureCatalogue(std::span<const PictureEntry> entries);

    // The pixels of a picture at the size an image control shows it; none
    // for no picture. A key the catalogue lacks, or a file that cannot be
    // read, is a RuntimeError naming it.
    const QPixmap& pixmap(PictureKey key) const;
    // A new picture object (pixels shared with every other use); null for none.
    PictureRef newPicture(PictureKey key) const;
    bool isPhotograph(PictureKey key) const;
    // All images of an icon, for a window's title bar and taskbar button.
    QIcon icon(PictureKey key) const;
    // The mouse pointer's hot spot, read from the cursor file.
    QPoint hotSpot(PictureKey key) const;
    // What the picture shows, for a screen reader.
    QString spoken(PictureKey key) const;

private:
    std::size_t indexOf(PictureKey key) const;

    std::span<const PictureEntry> m_entries;
    mutable std::vector<QPixmap> m_cache; // one slot per entry
};

} // namespace vp
