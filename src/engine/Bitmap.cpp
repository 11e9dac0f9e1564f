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

TBitmap RotatedBitmap(const TBitmap& bitmap, int degrees) {
    if (degrees != 90 && degrees != 180 && degrees != 270) return bitmap;
    const int w = bitmap.Width(), h = bitmap.Height();
    const bool across = degrees != 180;
    TBitmap turned;
    turned.SetFormat(across ? h : w, across ? w : h, bitmap.BitsPixel());
    const size_t bytes = bitmap.BitsPixel() == 15 ? 2 : static_cast<size_t>(bitmap.BitsPixel()) / 8;
    for (int y = 0; y < h; ++y) {
        const uint8_t* source = bitmap.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            // Where pixel (x, y) lands after the turn.
            int tx = w - 1 - x, ty = h - 1 - y;
            if (degrees == 90) tx = h - 1 - y, ty = x;
            if (degrees == 270) tx = y, ty = w - 1 - x;
            std::copy_n(source + x * bytes, bytes, turned.ScanLine(ty) + tx * bytes);
        }
    }
    return turned;
}

} // namespace mw
