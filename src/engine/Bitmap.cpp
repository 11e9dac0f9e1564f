#include "engine/Bitmap.h"

#include <algorithm>

namespace mw {

void TBitmap::SetFormat(int width, int height, int bitsPixel) {
    FWidth = std::max(width, 0);
    FHeight = std::max(height, 0);
    FBitsPixel = bitsPixel;
    const int storedBits = bitsPixel == 15 ? 16 : bitsPixel;
    FStride = ((FWidth * storedBits + 31) / 32) * 4;
    FData.assign(static_cast<size_t>(FStride) * FHeight, 0);
}

void TBitmap::FillBlack() {
    std::fill(FData.begin(), FData.end(), 0);
}

} // namespace mw
