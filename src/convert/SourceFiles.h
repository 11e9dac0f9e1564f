// The source file list without widgets: the facts and texts of one row, and adding files through
// the probe decoder. The desktop list, the command-line tool and the conversion run read the same
// rows and texts.
//
// Threading: main thread only; the probe decoder is used synchronously.
#pragma once

#include "engine/probe/FFDecode.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mw {

// FormatMicroseconds of a duration; "Duration is not preseted" when the probe does not know it.
std::string DurationText(int64_t durationUs);
// "%d Kbps" (bits per second / 1000); "Bit rate is not preseted" below 1.
std::string BitRateText(int32_t bitRate);

// One row of the source list: the shown lines and the hidden columns the conversion run reads.
struct TSourceFile {
    std::string FullName;      // the path as added
    bool AudioOnly = false;    // the probe reports no video stream
    std::string DurationLine;  // "Duration: " ...
    std::string BitrateLine;   // "Bit rate: " ... or "Audio Bit rate: " ...
    std::string DimensionLine; // "Dimension: %d x %d" or "Audio Encoder: " ...
    int64_t FileSize = -1;
    std::string VideoEncoder, AudioChannels, AudioSampleRate, AudioBitrate, AudioEncoder, FrameRate;
    int64_t RealDuration = 0; // microseconds, 0 when unknown
    int32_t Width = -1;
    int32_t Height = -1;
    float AspectRatio = -1.0f;
};

// The row of the file now loaded in the probe.
TSourceFile SourceFileFromProbe(TFFDecoder& decoder);

// Probes each path in order and appends the accepted ones to rows. A refused file gives the log
// line "File load error: " + the probe's text, and the text itself goes to failed (emptied first).
void AddSourceFiles(TFFDecoder& decoder, const std::vector<std::string>& paths,
                    std::vector<TSourceFile>& rows, std::vector<std::string>& failed,
                    const std::function<void(const std::string&)>& log);

} // namespace mw
