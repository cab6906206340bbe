#include "screens/catalogue.h"

namespace vp {
namespace {

constexpr PictureEntry entries[] = {
    {PictureId::Portrait, ":/pictures/portrait.jpg", PictureKind::Photograph, "Fotografie usměvavého muže s brýlemi"},
    {PictureId::PortraitInverted, ":/pictures/portrait_inverted.jpg", PictureKind::Photograph,
     "Fotografie usměvavého muže s brýlemi, vzhůru nohama"},
    {PictureId::BackdropGradient, ":/pictures/backdrop_gradient.jpg", PictureKind::Photograph, "Modré pozadí"},
    {PictureId::ProductIcon, ":/pictures/product_icon.ico", PictureKind::Icon, "Plim 1.0."},
    {PictureId::ArrowCursor, ":/pictures/arrow_cursor.cur", PictureKind::Cursor, "Šipka"},
    {PictureId::FolderIcon, ":/pictures/folder_icon.ico", PictureKind::Icon, "Otevřená složka"},
    {PictureId::ComputerIcon, ":/pictures/computer_icon.ico", PictureKind::Icon, "Počítač"},
    {PictureId::HeadCutout, ":/pictures/head_cutout.gif", PictureKind::Cutout, "Smějící se hlava"},
};

} // namespace

const PictureCatalogue& Pictures()
{
    static const PictureCatalogue catalogue(entries);
    return catalogue;
}

} // namespace vp
