// The engine's picture type, apart from the FFmpeg headers so that the desktop side can use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mw {

// The engine's device-independent bitmap: rows top to bottom, each padded to 32 bits.
class TBitmap {
  public:
    // 8, 15, 16, 24 or 32; 15 is stored in 16 bits per pixel.
    void SetFormat(int width, int height, int bitsPixel);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int BitsPixel() const { return FBitsPixel; }
    int BytesPerScanLine() const { return FStride; }
    uint8_t* ScanLine(int row) { return FData.data() + static_cast<size_t>(row) * FStride; }
    const uint8_t* ScanLine(int row) const { return FData.data() + static_cast<size_t>(row) * FStride; }
    void FillBlack();

  private:
    int FWidth = 0;
    int FHeight = 0;
    int FBitsPixel = 24;
    int FStride = 0;
    std::vector<uint8_t> FData;
};

// The bitmap turned clockwise by 90, 180 or 270 degrees (any other angle: a copy).
TBitmap RotatedBitmap(const TBitmap& bitmap, int degrees);

} // namespace mw
