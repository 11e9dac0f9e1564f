#include "engine/options/FFTargets.h"

#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionParser.h"

#include <cmath>

namespace mw {

namespace {

enum TNorm { nPal, nNtsc, nFilm, nUnknown };

// One option a target sets: the PAL value and the NTSC value (used for FILM too); an empty
// NTSC value means the same as PAL.
struct TTargetOption {
    const char* Name;
    const char* Pal;
    const char* Ntsc = "";
};

struct TTarget {
    const char* Name;
    std::vector<TTargetOption> Options;
    const char* DefaultAspect; // applied when no aspect is set; nullptr = none
    bool MonoBecomesStereo;
    float MuxPreload; // 0 = leave as is
};

const TTarget Targets[] = {
    {"vcd",
     {{"vcodec", "mpeg1video"},
      {"acodec", "mp2"},
      {"f", "vcd"},
      {"s", "352x288", "352x240"},
      {"g", "15", "18"},
      {"b", "1150000"},
      {"maxrate", "1150000"},
      {"minrate", "1150000"},
      {"bufsize", "327680"},
      {"ab", "224000"},
      {"ar", "44100"},
      {"ac", "2"},
      {"packetsize", "2324"},
      {"muxrate", "1411200"}},
     "4:3",
     false,
     0.44f},
    {"svcd",
     {{"vcodec", "mpeg2video"},
      {"acodec", "mp2"},
      {"f", "svcd"},
      {"s", "480x576", "480x480"},
      {"g", "15", "18"},
      {"b", "2040000"},
      {"maxrate", "2516000"},
      {"minrate", "0"},
      {"bufsize", "1835008"},
      {"flags", "+scan_offset"},
      {"ab", "224000"},
      {"ar", "44100"},
      {"packetsize", "2324"}},
     "4:3",
     true,
     0.0f},
    {"dvd",
     {{"vcodec", "mpeg2video"},
      {"acodec", "ac3"},
      {"f", "dvd"},
      {"s", "720x576", "720x480"},
      {"g", "15", "18"},
      {"b", "6000000"},
      {"maxrate", "9000000"},
      {"minrate", "0"},
      {"bufsize", "1835008"},
      {"packetsize", "2048"},
      {"muxrate", "10080000"},
      {"ab", "448000"},
      {"ar", "48000"}},
     "16:9",
     true,
     0.0f},
    {"dv",
     {{"f", "dv"},
      {"s", "720x576", "720x480"},
      {"pix_fmt", "yuv420p", "yuv411p"},
      {"ar", "48000"},
      {"ac", "2"}},
     nullptr,
     false,
     0.0f},
    {"dv50",
     {{"f", "dv"}, {"s", "720x576", "720x480"}, {"pix_fmt", "yuv422p"}, {"ar", "48000"}, {"ac", "2"}},
     nullptr,
     false,
     0.0f},
};

const struct {
    const char* Prefix;
    TNorm Norm;
} NormPrefixes[] = {{"pal-", nPal}, {"ntsc-", nNtsc}, {"film-", nFilm}};

TNorm NormOfRate(AVRational rate) {
    if (rate.den == 0 || rate.num == 0) return nUnknown;
    const long long milli = std::llround(rate.num * 1000.0 / rate.den);
    if (milli == 25000) return nPal;
    if (milli == 29970 || milli == 23976) return nNtsc;
    return nUnknown;
}

// "auto": the current frame rate, then the first video stream of the inputs opened so far whose
// rate tells, then the fallback word.
bool DecideAutoNorm(TTranscodeJob& job, const std::string& fallback, TNorm& norm) {
    const AVRational rate = job.Options.FrameRate;
    if (rate.num != 0 && rate.den == 0) return BuildError(job, "frame_rate is invalid.");
    norm = NormOfRate(rate);
    for (size_t i = 0; norm == nUnknown && i < job.Inputs.size(); ++i) {
        const AVFormatContext* ic = job.Inputs[i].Context.get();
        for (unsigned s = 0; ic && norm == nUnknown && s < ic->nb_streams; ++s)
            if (ic->streams[s]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
                norm = NormOfRate(ic->streams[s]->r_frame_rate);
    }
    if (norm == nUnknown) {
        norm = fallback == "film" ? nFilm : fallback == "ntsc" ? nNtsc : nPal;
        return true;
    }
    if (job.Options.Verbosity > 0)
        EngineLogFormat(&job, llVerbose, "Assuming %s for target.", norm == nPal ? "PAL" : "NTSC");
    return true;
}

} // namespace

bool ApplyTarget(TTranscodeJob& job, const std::string& target, const std::string& norm,
                 const std::string& fallback) {
    std::string type = target;
    std::string normWord = norm;
    for (const auto& p : NormPrefixes)
        if (target.rfind(p.Prefix, 0) == 0) {
            type = target.substr(std::string(p.Prefix).size());
            normWord = std::string(p.Prefix, std::string(p.Prefix).size() - 1);
        }
    const TTarget* row = nullptr;
    for (const auto& t : Targets)
        if (type == t.Name) row = &t;
    if (!row) return BuildError(job, "Unknown target type");

    TNorm decided = nUnknown;
    if (normWord == "pal")
        decided = nPal;
    else if (normWord == "ntsc")
        decided = nNtsc;
    else if (normWord == "film")
        decided = nFilm;
    else if (!DecideAutoNorm(job, fallback, decided))
        return false;

    static const char* const Rates[] = {"25", "30000/1001", "24000/1001"};
    if (!ParseOption(job, "r", Rates[decided])) return false;
    for (const auto& option : row->Options) {
        const char* value = decided == nPal || !*option.Ntsc ? option.Pal : option.Ntsc;
        if (!ParseOption(job, option.Name, value)) return false;
    }
    if (row->MonoBecomesStereo && job.Options.AudioChannels == 1) job.Options.AudioChannels = 2;
    if (row->MuxPreload > 0) job.Options.MuxPreload = row->MuxPreload;
    if (row->DefaultAspect && job.Options.FrameAspectRatio == 0.0) {
        if (!ParseOption(job, "aspect", row->DefaultAspect)) return false;
        EngineLogFormat(&job, llInfo, "Assuming %s for aspect ratio", row->DefaultAspect);
    }
    return true;
}

} // namespace mw
