#pragma once
// Pictures as the thumbnail list shows them: a made picture with its background left
// transparent, and a blank one while the picture is still to come.
#include <QPixmap>

#include "browse/core/ThumbnailPicture.h"

namespace tavrel {

QPixmap ThumbnailPixmap(const ThumbnailPicture& picture);
QPixmap BlankThumbnail(int size);

}  // namespace tavrel
