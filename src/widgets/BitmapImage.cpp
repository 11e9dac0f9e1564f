#include "widgets/BitmapImage.h"

namespace mw {

namespace {

struct TDepthRow {
    int Bits;
    QImage::Format Format;
};

// The engine stores its pixels the way a device-independent bitmap does (blue first).
const TDepthRow Depths[] = {
    {15, QImage::Format_RGB555},
    {16, QImage::Format_RGB16},
    {24, QImage::Format_BGR888},
    {32, QImage::Format_RGB32},
};

} // namespace

QImage BitmapToImage(const TBitmap& bitmap) {
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
    if (bitmap.BitsPixel() == 8) { // 3-3-2 bits, red in the low bits
        QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
        for (int y = 0; y < bitmap.Height(); ++y) {
            const uint8_t* src = bitmap.ScanLine(y);
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < bitmap.Width(); ++x) {
                const uint8_t p = src[x];
                dst[x] = qRgb((p & 7) * 255 / 7, ((p >> 3) & 7) * 255 / 7, (p >> 6) * 255 / 3);
            }
        }
        return image;
    }
    for (const TDepthRow& d : Depths)
        if (d.Bits == bitmap.BitsPixel())
            return QImage(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.BytesPerScanLine(),
                          d.Format)
                .copy();
    return {};
}

} // namespace mw
