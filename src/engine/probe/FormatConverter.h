// Converts decoded pictures to the engine's bitmap and bitmaps back to pictures.
// One converter belongs to one thread at a time.
#pragma once

#include "engine/FFUtils.h"

#include <string>
#include <vector>

namespace mw {

class TFormatConverter {
  public:
    TFormatConverter();
    // 8, 15, 16, 24 or 32; anything else throws "Invalid BitsPixel %d". Changing it resets the
    // converted picture and the bitmap's layout.
    void SetBitsPixel(int bits);
    int BitsPixel() const { return FBitsPixel; }
    AVPixelFormat BitmapPixelFormat() const { return FPixelFormat; }

    // Converts the picture (planes and line sizes of the library) into the bitmap's format;
    // copyToBitmap also copies it into Bitmap().
    bool ToBitmap(const uint8_t* const data[4], const int lineSize[4], AVPixelFormat pixelFormat,
                  bool copyToBitmap, int height, int width);
    // Scales the picture straight into target, sized to fit maxWidth x maxHeight with its aspect
    // kept (a smaller picture keeps its size); no full-size copy is made.
    bool ScaleToBitmap(const uint8_t* const data[4], const int lineSize[4], AVPixelFormat pixelFormat,
                       int height, int width, int maxWidth, int maxHeight, TBitmap& target);
    // Copies the bitmap's rows back into the converted picture (after the bitmap was changed).
    void BitmapBack();
    // Converts the converted picture (bitmap format) into a target picture of the given format.
    bool FromRGB(uint8_t* const target[4], const int targetLineSize[4], AVPixelFormat pixelFormat, int height,
                 int width);

    TBitmap& Bitmap() { return FBitmap; }
    const std::string& LastError() const { return FLastError; }
    // The converted picture: plane 0 and its line size (bitmap layout).
    const uint8_t* PictureData() const { return FPictureData[0]; }
    int PictureLineSize() const { return FPictureLineSize[0]; }

  private:
    int FBitsPixel = 24;
    AVPixelFormat FPixelFormat = AV_PIX_FMT_BGR24;
    TBitmap FBitmap;
    std::vector<uint8_t> FBuffer; // grown, never shrunk
    uint8_t* FPictureData[4] = {};
    int FPictureLineSize[4] = {};
    int FPictureWidth = 0;
    int FPictureHeight = 0;
    TSwsContextPtr FToRGB;
    TSwsContextPtr FFromRGB;
    TSwsContextPtr FScaler;
    std::string FLastError;
};

} // namespace mw
