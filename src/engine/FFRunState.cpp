#include "engine/FFRunState.h"

#include <cstdarg>

namespace mw {

void RaiseRunError(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw TRunError(text);
}

const char* MediaKindName(AVMediaType kind) {
    switch (kind) {
    case AVMEDIA_TYPE_VIDEO:
        return "Video";
    case AVMEDIA_TYPE_AUDIO:
        return "Audio";
    case AVMEDIA_TYPE_DATA:
        return "Data";
    case AVMEDIA_TYPE_SUBTITLE:
        return "Subtitle";
    case AVMEDIA_TYPE_ATTACHMENT:
        return "Attachment";
    default:
        return "Unknown";
    }
}

TOutputStream::~TOutputStream() {
    FFApi.av_channel_layout_uninit(&InLayout);
    if (PassLog) std::fclose(PassLog);
    // The encoder may still point at the pass-2 statistics this record owns.
    if (Encoder) Encoder->stats_in = nullptr;
}

double TOutputStream::OutputTime() const {
    if (!Encoder) return static_cast<double>(LastDtsUs) / 1000000.0;
    return static_cast<double>(SyncCounter) * av_q2d(Encoder->time_base);
}

TRunState::~TRunState() {
    if (VStats) std::fclose(VStats);
    // Encoders belong to the job's records; decoders are freed here, under the codec lock.
    for (auto& input : Inputs)
        for (auto& ist : input.Streams)
            FreeCodecLocked(ist->Decoder);
}

} // namespace mw
