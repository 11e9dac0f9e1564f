// Writes an engine bitmap as a PNG file with the libraries' own PNG encoder.
#pragma once

#include "engine/FFUtils.h"

#include <string>

namespace mw {

// 24-bit bitmaps only; false with error set when the picture cannot be encoded or written.
// Without replaceExisting an existing file is left alone (and reported as an error).
bool SaveBitmapAsPng(const TBitmap& bitmap, const std::string& fileName, std::string& error,
                     bool replaceExisting = true);

} // namespace mw
