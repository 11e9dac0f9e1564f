#include "engine/FFRunClose.h"

#include "engine/FFLog.h"

#include <sys/stat.h>
#include <unistd.h>

namespace mw {

void TRunFormatFree::operator()(AVFormatContext* c) const {
    if (!c) return;
    if (c->oformat && !(c->oformat->flags & AVFMT_NOFILE)) FFApi.avio_closep(&c->pb);
    FFApi.avformat_free_context(c);
}

TRunOutputStreamSpec::TRunOutputStreamSpec(TRunOutputStreamSpec&& o) noexcept
    : Stream(o.Stream), Encoder(std::move(o.Encoder)), EncoderOptions(o.EncoderOptions),
      ForcedKeyFramesUs(std::move(o.ForcedKeyFramesUs)), BitstreamFilters(std::move(o.BitstreamFilters)) {
    o.EncoderOptions = nullptr;
}

TRunOutputStreamSpec::~TRunOutputStreamSpec() {
    if (EncoderOptions) FFApi.av_dict_free(&EncoderOptions);
    FreeCodecLocked(Encoder);
}

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

void CloseJobFiles(TRunJob& job) {
    for (auto& output : job.Outputs) {
        AVFormatContext* oc = output.Context.get();
        const bool writesFile = oc && oc->oformat && !(oc->oformat->flags & AVFMT_NOFILE);
        for (auto& spec : output.Streams)
            FreeCodecLocked(spec.Encoder);
        output.Context.reset();
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
