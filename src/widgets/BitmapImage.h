// The engine's TBitmap as a QImage (a deep copy; the bitmap may go away afterwards).
#pragma once

#include "engine/Bitmap.h"

#include <QImage>

namespace mw {

// A null image for an empty bitmap or an unknown depth.
QImage BitmapToImage(const TBitmap& bitmap);

} // namespace mw
