#include "engine/FFRunReport.h"

#include "engine/FFLog.h"

#include <algorithm>
#include <cstdio>

namespace mw {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

int64_t OutputSize(AVFormatContext* oc) {
    if (!oc->pb) return 0;
    const int64_t size = FFApi.avio_size(oc->pb);
    return size >= 0 ? size : FFApi.avio_seek(oc->pb, 0, SEEK_CUR);
}

// The video stream the frame counter comes from: the first one still fed by an input.
const TRunOutputStream* FirstVideoStream(const TRunState& run) {
    for (auto& ost : run.Outputs)
        if (ost->Kind() == AVMEDIA_TYPE_VIDEO && ost->Source && !run.Inputs[ost->Source->FileIndex].Ended)
            return ost.get();
    for (auto& ost : run.Outputs)
        if (ost->Kind() == AVMEDIA_TYPE_VIDEO) return ost.get();
    return nullptr;
}

} // namespace

void SendProgressReport(TRunState& run, bool final) {
    const TRunOutputStream* video = FirstVideoStream(run);
    if (video && video->FrameNumber == 0) return;
    const auto now = std::chrono::steady_clock::now();
    run.LastReport = now;
    TRunProgress p;
    p.Final = final;
    p.InputIndex = final ? -1 : run.JoinIndex;
    p.TotalUs = run.Job.ExpectedTotalUs;
    p.Duplicated = run.Duplicated;
    p.Dropped = run.Dropped;
    double seconds = 1e10;
    for (auto& ost : run.Outputs) {
        const double t = ost->OutputTime();
        if (t > 0) seconds = std::min(seconds, t);
    }
    seconds = std::max(seconds == 1e10 ? 0.0 : seconds, 0.01);
    p.TimeUs = static_cast<int64_t>(seconds * 1000000);
    p.SizeBytes = OutputSize(run.OutputContext(0));
    p.BitRateKbps = p.SizeBytes * 8.0 / seconds / 1000.0;
    std::string line;
    if (video) {
        const double elapsed = std::chrono::duration<double>(now - run.StartTime).count();
        p.Frame = static_cast<int>(video->FrameNumber);
        p.Fps = elapsed > 0 ? static_cast<int>(p.Frame / elapsed + 0.5) : 0;
        p.Quality = video->Quality;
        line = Format("frame=%5d fps=%3d q=%3.1f ", p.Frame, p.Fps, p.Quality);
        if (final) line += "L";
        for (auto& ost : run.Outputs)
            if (ost->Kind() == AVMEDIA_TYPE_VIDEO && ost.get() != video)
                line += Format("q=%2.1f ", ost->Quality);
    }
    line +=
        Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", p.SizeBytes / 1024.0, seconds, p.BitRateKbps);
    if (run.Duplicated || run.Dropped) line += Format(" dup=%d drop=%d", run.Duplicated, run.Dropped);
    p.Line = line;
    const bool verbose = run.Options.Verbosity >= 0;
    if (run.Hooks.OnProgress) {
        run.Hooks.OnProgress(p);
        if (run.DupDropSeen && verbose) EngineLog(nullptr, llVerbose, line);
    } else if (verbose) {
        EngineLog(nullptr, llVerbose, line);
    }
    run.DupDropSeen = false;
    if (final && verbose) {
        const double sum = double(run.VideoBytes + run.AudioBytes + run.ExtraBytes);
        EngineLogFormat(nullptr, llVerbose,
                        "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                        run.VideoBytes / 1024.0, run.AudioBytes / 1024.0, run.ExtraBytes / 1024.0,
                        sum > 0 ? (p.SizeBytes - sum) * 100.0 / sum : 0.0);
    }
}

} // namespace mw
