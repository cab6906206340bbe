#include "pictures.h"

#include "values.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <string>

namespace vp {

namespace {

QString pathOf(const PictureEntry& e)
{
    return QString::fromUtf8(e.resource.data(), static_cast<qsizetype>(e.resource.size()));
}

QPixmap load(const PictureEntry& e)
{
    const QString path = pathOf(e);
    const bool iconFile = e.kind == PictureKind::Icon || e.kind == PictureKind::Cursor;
    // Icons and cursors share one file format; pick the 32 x 32 image.
    QImageReader reader(path, iconFile ? QByteArray("ico") : QByteArray());
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

PictureCatalogue::PictureCatalogue(std::span<const PictureEntry> entries) : m_entries(entries), m_cache(entries.size())
{
}

std::size_t PictureCatalogue::indexOf(PictureKey key) const
{
    const auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const PictureEntry& e) { return e.key == key; });
    if (it == m_entries.end())
        throw RuntimeError("picture " + std::to_string(key.id) + " is not in the catalogue");
    return static_cast<std::size_t>(it - m_entries.begin());
}

const QPixmap& PictureCatalogue::pixmap(PictureKey key) const
{
    static const QPixmap none;
    if (key.none())
        return none;
    const std::size_t i = indexOf(key);
    if (m_cache[i].isNull())
        m_cache[i] = load(m_entries[i]);
    return m_cache[i];
}

PictureRef PictureCatalogue::newPicture(PictureKey key) const
{
    if (key.none())
        return nullptr;
    return std::make_shared<const Picture>(Picture{key, pixmap(key)});
}

bool PictureCatalogue::isPhotograph(PictureKey key) const
{
    return !key.none() && m_entries[indexOf(key)].kind == PictureKind::Photograph;
}

QIcon PictureCatalogue::icon(PictureKey key) const
{
    if (key.none())
        return {};
    return QIcon(pathOf(m_entries[indexOf(key)]));
}

QPoint PictureCatalogue::hotSpot(PictureKey key) const
{
    if (key.none())
        return {};
    QFile f(pathOf(m_entries[indexOf(key)]));
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

QString PictureCatalogue::spoken(PictureKey key) const
{
    if (key.none())
        return {};
    const std::string_view s = m_entries[indexOf(key)].spoken;
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace vp
