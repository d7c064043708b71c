// Bitmaps as BMP files, the simplest image file a browser shows.
#pragma once

#include <string>

#include "media/bitmap.h"

namespace vhost {

// The image as a 32-bit BMP file with alpha (a version 4 header with bit fields), rows from the
// top, colour no longer premultiplied. An image without pixels gives a 1x1 transparent image.
std::string EncodeBmp(const Bitmap& bitmap);

}  // namespace vhost
