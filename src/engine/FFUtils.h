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

// The time base of the engine's microsecond times.
inline constexpr AVRational MicrosecondBase{1, 1000000};

// A stream's time base made usable: a zero denominator would make every time conversion divide
// by zero.
void FixTimeBase(AVStream* st);

// Text for a library error code: FFmpeg's tags, then system error numbers, else
// "Error number %d occurred".
std::string FFErrorText(int error);

// True when the named encoder spreads its work over threads of its own (frame, slice or library
// threads); false for a name the libraries do not know, or before they are loaded.
bool EncoderUsesThreads(const std::string& codecName);

// printf into a string (at most 1023 characters).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

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
// Frees an output context; closes its file first unless the muxer writes none or the I/O is the
// caller's own (custom I/O).
struct TOutputContextFree {
    void operator()(AVFormatContext* c) const;
};
struct TFilterGraphFree {
    void operator()(AVFilterGraph* g) const { FFApi.avfilter_graph_free(&g); }
};
struct TSwrContextFree {
    void operator()(SwrContext* c) const { FFApi.swr_free(&c); }
};
struct TBsfContextFree {
    void operator()(AVBSFContext* c) const { FFApi.av_bsf_free(&c); }
};
struct TDictionaryFree {
    void operator()(AVDictionary* d) const { FFApi.av_dict_free(&d); }
};
struct TFifoFree {
    void operator()(AVFifo* f) const { FFApi.av_fifo_freep2(&f); }
};
using TOutputContextPtr = std::unique_ptr<AVFormatContext, TOutputContextFree>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphFree>;
using TSwrContextPtr = std::unique_ptr<SwrContext, TSwrContextFree>;
using TBsfContextPtr = std::unique_ptr<AVBSFContext, TBsfContextFree>;
using TDictionaryPtr = std::unique_ptr<AVDictionary, TDictionaryFree>;
using TFifoPtr = std::unique_ptr<AVFifo, TFifoFree>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsContextFree>;
using TInputContextPtr = std::unique_ptr<AVFormatContext, TInputContextClose>;

// A writable picture of that size and format in slot: reused when nobody else holds it, else a
// fresh one. nullptr when it cannot be had.
AVFrame* WritablePicture(TFramePtr& slot, int width, int height, int format);

// Copies what the encoder reads of a picture's properties (times, type, quality, fields, aspect,
// colours) without its side data.
void CopyPictureProps(AVFrame* target, const AVFrame* picture);

// Whether a subtitle encoder can take this input subtitle: text and bitmap subtitles do not
// convert into each other. Unknown kinds are given the benefit of the doubt.
bool SubtitleFitsEncoder(AVCodecID input, AVCodecID encoder);

// Degrees clockwise a stream's pictures must turn to be seen upright, in [0, 360): from its display
// matrix, else from the older "rotate" tag; 0 when it says nothing.
int StreamRotationDegrees(const AVStream* stream);
// Whether a rotation is one the engine makes upright (90, 180 or 270 degrees).
inline bool IsQuarterTurn(int degrees) {
    return degrees == 90 || degrees == 180 || degrees == 270;
}

// Opens a codec context under the process codec mutex; closes (frees) it under the same mutex.
int OpenCodecLocked(AVCodecContext* context, const AVCodec* codec, AVDictionary** options);
void FreeCodecLocked(TCodecContextPtr& context);

} // namespace mw
