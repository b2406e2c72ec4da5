#include "browse/ThumbnailPixmap.h"

#include <QBitmap>
#include <QImage>

namespace tavrel {
namespace {

// The pictures' background, shown as transparent.
constexpr QRgb kTransparent = qRgb(0x1F, 0x1F, 0x1F);

}  // namespace

QPixmap ThumbnailPixmap(const ThumbnailPicture& picture) {
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_RGB888);
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(kTransparent, Qt::MaskInColor)));
    return pixmap;
}

QPixmap BlankThumbnail(int size) {
    QPixmap blank(size, size);
    blank.fill(Qt::transparent);
    return blank;
}

}  // namespace tavrel
