// Builds transcoding jobs for the run's tests without the option layer: inputs opened as they
// are, one output with streams made from a short description each.
#pragma once

#include "engine/FFRunTypes.h"

#include <string>
#include <vector>

namespace mw::test {

struct TTestStream {
    std::string Codec; // encoder name, or "copy:video" / "copy:audio"
    int Width = 0;     // 0 = the source's
    int Height = 0;
    AVRational FrameRate{25, 1};
    int SampleRate = 0; // 0 = the source's
    int Channels = 0;   // 0 = the source's
    int64_t BitRate = 0;
};

// Opens the inputs and the output file; throws std::runtime_error when something cannot be made.
TRunJob MakeTestJob(const std::vector<std::string>& inputs, const std::string& output,
                    const std::vector<TTestStream>& streams, const std::string& format = "");

} // namespace mw::test
