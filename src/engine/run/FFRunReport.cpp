#include "engine/run/FFRunReport.h"

#include "engine/FFLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mw {

namespace {

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

// A copied stream has no quantiser.
float QualityOf(const TRunOutputStream& ost) {
    return ost.EncodingNeeded ? ost.Quality : -1.0f;
}

// One hexadecimal digit per quantiser 0..31: the binary logarithm of how often it was used.
std::string QpHistogramText(const TRunOutputStream& ost) {
    std::string text;
    for (const int64_t count : ost.QpHistogram) {
        const int digit = std::min(15, static_cast<int>(std::log2(static_cast<double>(count) + 1)));
        text += "0123456789ABCDEF"[digit];
    }
    return text;
}

// "PSNR=Y:.. U:.. V:.. *:.." of the last picture, or of all of them in the final report.
std::string PsnrText(const TRunOutputStream& ost, bool final) {
    const AVCodecContext* enc = ost.Encoder;
    const double frames = final ? std::max<double>(1.0, double(ost.CodedPictures)) : 1.0;
    std::string text = "PSNR=";
    double errorSum = 0, scaleSum = 0;
    static const char Planes[3] = {'Y', 'U', 'V'};
    for (int p = 0; p < 3; ++p) {
        const double error = final ? ost.ErrorSum[p] : ost.PictureError[p];
        double scale = double(enc->width) * enc->height * 255.0 * 255.0 * frames;
        if (p) scale /= 4;
        errorSum += error;
        scaleSum += scale;
        text += FormatText("%c:%2.2f ", Planes[p], -10.0 * std::log10(error / scale));
    }
    return text + FormatText("*:%2.2f ", -10.0 * std::log10(errorSum / scaleSum));
}

} // namespace

void SendProgressReport(TRunState& run, bool final) {
    const TRunOutputStream* video = FirstVideoStream(run);
    if (video && video->FrameNumber == 0) return;
    const auto now = std::chrono::steady_clock::now();
    run.LastReport = now;
    TRunProgress p;
    p.Final = final;
    p.InputIndex = final ? -1 : run.LastInputIndex;
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
    p.Frame = p.Fps = -1;
    p.Quality = -1;
    if (video) {
        const double elapsed = std::chrono::duration<double>(now - run.StartTime).count();
        p.Frame = static_cast<int>(video->FrameNumber);
        // Over the first second a rate says nothing yet.
        p.Fps = elapsed > 1 ? static_cast<int>(p.Frame / elapsed + 0.5) : 0;
        p.Quality = QualityOf(*video);
        line = FormatText("frame=%5d fps=%3d q=%3.1f ", p.Frame, p.Fps, p.Quality);
        if (final) line += "L";
        if (run.Job.Options.QpHist) line += QpHistogramText(*video);
        if (run.Job.Options.Psnr && video->EncodingNeeded) line += PsnrText(*video, final);
        for (auto& ost : run.Outputs)
            if (ost->Kind() == AVMEDIA_TYPE_VIDEO && ost.get() != video)
                line += FormatText("q=%2.1f ", QualityOf(*ost));
    }
    line += FormatText("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", p.SizeBytes / 1024.0, seconds,
                       p.BitRateKbps);
    if (run.Duplicated || run.Dropped) line += FormatText(" dup=%d drop=%d", run.Duplicated, run.Dropped);
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
