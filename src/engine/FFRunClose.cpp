#include "engine/FFRunClose.h"

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

void CloseJobFiles(TTranscodeJob& job) {
    for (auto& output : job.Outputs) {
        AVFormatContext* oc = output.Context.get();
        const bool writesFile = oc && oc->oformat && !(oc->oformat->flags & AVFMT_NOFILE);
        for (auto& spec : output.Streams)
            FreeCodecLocked(spec.Encoder);
        output.Context.reset();
        if (output.IO) output.IO->Close();
        // An output that got nothing (an error before the first byte) is not left behind.
        struct stat info {};
        if (writesFile && !output.FileName.empty() && ::stat(output.FileName.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode) && info.st_size == 0)
            ::unlink(output.FileName.c_str());
    }
    for (auto& input : job.Inputs)
        input.Context.reset();
}

} // namespace mw
