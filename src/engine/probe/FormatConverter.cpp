#include "engine/probe/FormatConverter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace mw {

namespace {

struct TBitmapFormatRow {
    int Bits;
    AVPixelFormat PixelFormat;
};

const TBitmapFormatRow BitmapFormats[] = {
    {8, AV_PIX_FMT_BGR8},   {15, AV_PIX_FMT_BGR555LE}, {16, AV_PIX_FMT_BGR565LE},
    {24, AV_PIX_FMT_BGR24}, {32, AV_PIX_FMT_BGRA},
};

} // namespace

TFormatConverter::TFormatConverter() {
    FBitmap.SetFormat(0, 0, FBitsPixel);
}

void TFormatConverter::SetBitsPixel(int bits) {
    const TBitmapFormatRow* found = nullptr;
    for (const auto& row : BitmapFormats)
        if (row.Bits == bits) found = &row;
    if (!found) throw std::invalid_argument("Invalid BitsPixel " + std::to_string(bits));
    if (bits == FBitsPixel) return;
    FBitsPixel = bits;
    FPixelFormat = found->PixelFormat;
    std::memset(FPictureData, 0, sizeof FPictureData);
    std::memset(FPictureLineSize, 0, sizeof FPictureLineSize);
    FBitmap.SetFormat(FBitmap.Width(), FBitmap.Height(), bits);
}

constexpr size_t ScalerSlack = 256;

bool TFormatConverter::ToBitmap(const uint8_t* const data[4], const int lineSize[4],
                                AVPixelFormat pixelFormat, bool copyToBitmap, int height, int width) {
    if (width <= 0 || height <= 0 || FFApi.av_image_check_size(width, height, 0, nullptr) < 0) {
        FLastError = "Invalid picture size " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    FBitmap.SetFormat(width, height, FBitsPixel);
    const int stride = FBitmap.BytesPerScanLine();
    std::memset(FPictureData, 0, sizeof FPictureData);
    std::memset(FPictureLineSize, 0, sizeof FPictureLineSize);
    if (pixelFormat == FPixelFormat && width % 2 == 0 && height % 2 == 0 && lineSize[0] == stride) {
        // Already in the bitmap's layout: use it as it is.
        FPictureData[0] = const_cast<uint8_t*>(data[0]);
        FPictureLineSize[0] = lineSize[0];
    } else {
        // The scaler's vector code may store a little past the last row: leave it room.
        const size_t need = static_cast<size_t>(stride) * height + ScalerSlack;
        if (FBuffer.size() < need) FBuffer.resize(need);
        FToRGB.reset(FFApi.sws_getCachedContext(FToRGB.release(), width, height, pixelFormat, width, height,
                                                FPixelFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!FToRGB) {
            FLastError = "Cannot initialize the toRGB conversion context";
            return false;
        }
        FPictureData[0] = FBuffer.data();
        FPictureLineSize[0] = stride;
        FFApi.sws_scale(FToRGB.get(), data, lineSize, 0, height, FPictureData, FPictureLineSize);
    }
    FPictureWidth = width;
    FPictureHeight = height;
    if (copyToBitmap) {
        const size_t rowBytes = static_cast<size_t>(std::min(stride, FPictureLineSize[0]));
        for (int y = 0; y < height; ++y)
            std::memcpy(FBitmap.ScanLine(y), FPictureData[0] + static_cast<size_t>(y) * FPictureLineSize[0],
                        rowBytes);
    }
    return true;
}

bool TFormatConverter::ScaleToBitmap(const uint8_t* const data[4], const int lineSize[4],
                                     AVPixelFormat pixelFormat, int height, int width, int maxWidth,
                                     int maxHeight, TBitmap& target) {
    if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0 ||
        FFApi.av_image_check_size(width, height, 0, nullptr) < 0) {
        FLastError = "Invalid picture size " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    int64_t w = width, h = height;
    if (w > maxWidth || h > maxHeight) {
        // The side that overflows more decides the factor.
        if (w * maxHeight > h * maxWidth) {
            h = std::max<int64_t>(1, h * maxWidth / w);
            w = maxWidth;
        } else {
            w = std::max<int64_t>(1, w * maxHeight / h);
            h = maxHeight;
        }
    }
    FScaler.reset(FFApi.sws_getCachedContext(FScaler.release(), width, height, pixelFormat,
                                             static_cast<int>(w), static_cast<int>(h), FPixelFormat, SWS_AREA,
                                             nullptr, nullptr, nullptr));
    if (!FScaler) {
        FLastError = "Cannot initialize the thumbnail conversion context";
        return false;
    }
    target.SetFormat(static_cast<int>(w), static_cast<int>(h), FBitsPixel);
    uint8_t* planes[4] = {target.ScanLine(0), nullptr, nullptr, nullptr};
    const int strides[4] = {target.BytesPerScanLine(), 0, 0, 0};
    FFApi.sws_scale(FScaler.get(), data, lineSize, 0, height, planes, strides);
    return true;
}

void TFormatConverter::BitmapBack() {
    if (!FPictureData[0] || FBitmap.Height() != FPictureHeight) return;
    // The picture may point at the caller's frame; write into our own buffer instead.
    const int stride = FBitmap.BytesPerScanLine();
    const size_t need = static_cast<size_t>(stride) * FPictureHeight;
    if (FPictureData[0] != FBuffer.data()) {
        if (FBuffer.size() < need) FBuffer.resize(need);
        FPictureData[0] = FBuffer.data();
        FPictureLineSize[0] = stride;
    }
    for (int y = 0; y < FPictureHeight; ++y)
        std::memcpy(FPictureData[0] + static_cast<size_t>(y) * FPictureLineSize[0], FBitmap.ScanLine(y),
                    static_cast<size_t>(stride));
}

bool TFormatConverter::FromRGB(uint8_t* const target[4], const int targetLineSize[4],
                               AVPixelFormat pixelFormat, int height, int width) {
    if (!FPictureData[0] || width != FPictureWidth || height != FPictureHeight) {
        FLastError = "No converted picture of " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    FFromRGB.reset(FFApi.sws_getCachedContext(FFromRGB.release(), width, height, FPixelFormat, width, height,
                                              pixelFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!FFromRGB) {
        FLastError = "Cannot initialize the fromRGB conversion context";
        return false;
    }
    FFApi.sws_scale(FFromRGB.get(), FPictureData, FPictureLineSize, 0, height, target, targetLineSize);
    return true;
}

} // namespace mw
