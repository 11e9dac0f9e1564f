#include "engine/run/FFRunSdp.h"

#include "engine/FFLog.h"

#include <cstring>

namespace mw {

namespace {

constexpr int SdpBufferSize = 16384;

bool AllRtp(const TRunState& run) {
    for (const TOutputFile& output : run.Job.Outputs)
        if (!output.Context || std::strcmp(output.Context->oformat->name, "rtp") != 0) return false;
    return !run.Job.Outputs.empty();
}

} // namespace

void LogSdpOfRtpOutputs(const TRunState& run) {
    if (!AllRtp(run)) return;
    std::vector<AVFormatContext*> outputs;
    for (const TOutputFile& output : run.Job.Outputs)
        outputs.push_back(output.Context.get());
    std::string text(SdpBufferSize, '\0');
    if (FFApi.av_sdp_create(outputs.data(), static_cast<int>(outputs.size()), text.data(), SdpBufferSize) <
        0) {
        EngineLog(nullptr, llError, "Could not create the SDP");
        return;
    }
    text.resize(std::strlen(text.c_str()));
    EngineLog(nullptr, llInfo, "SDP:\r\n" + text);
}

} // namespace mw
