#include "engine/probe/BitmapPng.h"

#include "engine/FFLoad.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace mw {

bool SaveBitmapAsPng(const TBitmap& bitmap, const std::string& fileName, std::string& error,
                     bool replaceExisting) {
    if (bitmap.BitsPixel() != 24 || bitmap.Width() <= 0 || bitmap.Height() <= 0) {
        error = "only non-empty 24-bit bitmaps can be written as PNG";
        return false;
    }
    const AVCodec* codec = FFApi.avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!codec) {
        error = FFErrorText(AVERROR_ENCODER_NOT_FOUND);
        return false;
    }
    TCodecContextPtr encoder(FFApi.avcodec_alloc_context3(codec));
    TFramePtr frame(FFApi.av_frame_alloc());
    TPacketPtr packet(FFApi.av_packet_alloc());
    if (!encoder || !frame || !packet) {
        error = FFErrorText(AVERROR(ENOMEM));
        return false;
    }
    encoder->width = bitmap.Width();
    encoder->height = bitmap.Height();
    encoder->pix_fmt = AV_PIX_FMT_RGB24;
    encoder->time_base = AVRational{1, 25};
    int r = OpenCodecLocked(encoder.get(), codec, nullptr);
    if (r < 0) {
        FreeCodecLocked(encoder);
        error = FFErrorText(r);
        return false;
    }
    frame->width = bitmap.Width();
    frame->height = bitmap.Height();
    frame->format = AV_PIX_FMT_RGB24;
    r = FFApi.av_frame_get_buffer(frame.get(), 0);
    if (r >= 0) {
        // The bitmap holds BGR rows; PNG wants RGB.
        for (int y = 0; y < bitmap.Height(); ++y) {
            const uint8_t* src = bitmap.ScanLine(y);
            uint8_t* dst = frame->data[0] + static_cast<size_t>(y) * frame->linesize[0];
            for (int x = 0; x < bitmap.Width(); ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        r = FFApi.avcodec_send_frame(encoder.get(), frame.get());
    }
    if (r >= 0) r = FFApi.avcodec_receive_packet(encoder.get(), packet.get());
    FreeCodecLocked(encoder);
    if (r < 0) {
        error = FFErrorText(r);
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(fileName.c_str(), replaceExisting ? "wb" : "wbx"),
                                              std::fclose);
    if (!out) {
        error = fileName + ": " + std::strerror(errno);
        return false;
    }
    const size_t size = static_cast<size_t>(packet->size);
    if (std::fwrite(packet->data, 1, size, out.get()) != size || std::fflush(out.get()) != 0) {
        error = fileName + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace mw
