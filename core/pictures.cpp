#include "pictures.h"

#include "values.h"

#include <QFile>
#include <QImageReader>
#include <array>
#include <cstddef>
#include <string>

namespace vp {

static const char* resourcePathOf(PictureId id)
{
    switch (id) {
    case PictureId::Portrait:
        return ":/pictures/portrait.jpg";
    case PictureId::PortraitInverted:
        return ":/pictures/portrait_inverted.jpg";
    case PictureId::BackdropGradient:
        return ":/pictures/backdrop_gradient.jpg";
    case PictureId::ProductIcon:
        return ":/pictures/product_icon.ico";
    case PictureId::ArrowCursor:
        return ":/pictures/arrow_cursor.cur";
    case PictureId::FolderIcon:
        return ":/pictures/folder_icon.ico";
    case PictureId::ComputerIcon:
        return ":/pictures/computer_icon.ico";
    case PictureId::HeadCutout:
        return ":/pictures/head_cutout.gif";
    case PictureId::None:
        break;
    }
    return "";
}

bool isPhotograph(PictureId id)
{
    return id == PictureId::Portrait || id == PictureId::PortraitInverted || id == PictureId::BackdropGradient;
}

namespace {

bool isIconFile(PictureId id)
{
    return id == PictureId::ProductIcon || id == PictureId::ArrowCursor || id == PictureId::FolderIcon ||
           id == PictureId::ComputerIcon;
}

QPixmap load(PictureId id)
{
    const QString path = QString::fromLatin1(resourcePathOf(id));
    // Icons and cursors share one file format; pick the 32 x 32 image.
    QImageReader reader(path, isIconFile(id) ? QByteArray("ico") : QByteArray());
    QImage best;
    for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToNextImage())
            break;
        QImage img = reader.read();
        if (!img.isNull() && (best.isNull() || img.width() == 32))
            best = std::move(img);
    }
    if (best.isNull())
        throw RuntimeError("cannot load picture " + path.toStdString() + ": " + reader.errorString().toStdString());
    return QPixmap::fromImage(best);
}

} // namespace

const QPixmap& pixmapOf(PictureId id)
{
    static std::array<QPixmap, 9> cache;
    auto& slot = cache.at(static_cast<std::size_t>(id));
    if (slot.isNull() && id != PictureId::None)
        slot = load(id);
    return slot;
}

PictureRef newPicture(PictureId id)
{
    if (id == PictureId::None)
        return nullptr;
    return std::make_shared<const Picture>(Picture{id, pixmapOf(id)});
}

QIcon iconOf(PictureId id)
{
    if (id == PictureId::None)
        return {};
    return QIcon(QString::fromLatin1(resourcePathOf(id)));
}

QPoint hotSpotOf(PictureId id)
{
    QFile f(QString::fromLatin1(resourcePathOf(id)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = f.read(22);
    // Cursor directory: type 2 at byte 2, first entry's hot spot at bytes 10 and 12.
    if (head.size() < 22 || head[2] != 2)
        return {};
    auto word = [&](int at) {
        return static_cast<int>(static_cast<unsigned char>(head[at]) |
                                (static_cast<unsigned char>(head[at + 1]) << 8U));
    };
    return {word(10), word(12)};
}

} // namespace vp
