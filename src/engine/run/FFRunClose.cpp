#include "engine/run/FFRunClose.h"

#include "engine/FFLog.h"

#include <sys/stat.h>
#include <unistd.h>

namespace mw {

std::string WriteTrailers(TRunState& run) {
    std::string firstError;
    for (size_t f = 0; f < run.HeaderWritten.size(); ++f) {
        if (!run.HeaderWritten[f]) continue;
        run.HeaderWritten[f] = false;
        const int error = FFApi.av_write_trailer(run.OutputContext(int(f)));
        if (error < 0 && firstError.empty()) firstError = "av_write_trailer(): " + FFErrorText(error);
    }
    return firstError;
}

void CloseJobFiles(TTranscodeJob& job, bool removeCreated) {
    for (auto& output : job.Outputs) {
        for (auto& spec : output.Streams)
            FreeCodecLocked(spec.Encoder);
        output.Context.reset();
        if (output.IO) output.IO->Close();
        if (!output.Created) continue;
        output.Created = false;
        // An output that got nothing (an error before the first byte) is not left behind either.
        const std::string path = WideFileName(FFFileUrl(output.FileName));
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            (removeCreated || info.st_size == 0))
            ::unlink(path.c_str());
    }
    for (auto& input : job.Inputs)
        input.Context.reset();
}

} // namespace mw
