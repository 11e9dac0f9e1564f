// Small engine helpers: owning wrappers for FFmpeg objects (each with its own free function from
// the loaded table), the engine's error-text table.
#pragma once

#include "engine/Bitmap.h"
#include "engine/FFEntries.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mw {

// Text for a library error code: FFmpeg's tags, then system error numbers, else
// "Error number %d occurred".
std::string FFErrorText(int error);

struct TFrameFree {
    void operator()(AVFrame* f) const { FFApi.av_frame_free(&f); }
};
struct TPacketFree {
    void operator()(AVPacket* p) const { FFApi.av_packet_free(&p); }
};
struct TCodecContextFree {
    void operator()(AVCodecContext* c) const { FFApi.avcodec_free_context(&c); }
};
struct TSwsContextFree {
    void operator()(SwsContext* c) const { FFApi.sws_freeContext(c); }
};
struct TInputContextClose {
    void operator()(AVFormatContext* c) const { FFApi.avformat_close_input(&c); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsContextFree>;
using TInputContextPtr = std::unique_ptr<AVFormatContext, TInputContextClose>;

// Opens a codec context under the process codec mutex; closes (frees) it under the same mutex.
int OpenCodecLocked(AVCodecContext* context, const AVCodec* codec, AVDictionary** options);
void FreeCodecLocked(TCodecContextPtr& context);

} // namespace mw
