#include "engine/options/FFOptionRecords.h"

#include "engine/FFLog.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

namespace mw {

namespace {

std::string SecondsText(int64_t us) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(us) / 1e6);
    return buf;
}

std::string FloatText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

// Names no ExtOptions line applies in place (extra streams, presets and filters go elsewhere).
bool SkippedExtName(const std::string& name) {
    return IsOneOf(name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"});
}

// The audio codec a disc target brings, by TargetType.
const char* const TargetAudioCodec[] = {"", "mp2", "mp2", "ac3"};
const char* const TargetName[] = {"", "vcd", "svcd", "dvd"};
const char* const NormWord[] = {"auto", "pal", "ntsc"};

// The highest audio bit rates some encoders can produce; a record asking for more gets the cap,
// with a warning, instead of a rate the encoder would quietly replace or refuse.
const struct {
    const char* Encoder;
    int32_t MaxBitRate;
} AudioBitRateCaps[] = {{"libmp3lame", 320000}, {"mp2", 384000}};

int32_t CappedAudioBitRate(const std::string& encoder, int32_t bitRate) {
    for (const auto& cap : AudioBitRateCaps)
        if (encoder == cap.Encoder && bitRate > cap.MaxBitRate) {
            EngineLogFormat(nullptr, llWarning, "Audio bit rate %d is above what %s can encode, using %d",
                            bitRate, cap.Encoder, cap.MaxBitRate);
            return cap.MaxBitRate;
        }
    return bitRate;
}

// The options of each extra stream kind, taken from the defaults list.
struct TNewStream {
    const char* Line;
    std::initializer_list<const char*> Options;
};
const TNewStream NewStreams[] = {
    {"newaudio", {"acodec", "apre"}},
    {"newvideo", {"vcodec", "vpre", "s", "vf"}},
    {"newsubtitle", {"scodec", "spre"}},
};

} // namespace

std::string TOutputDefaults::Take(const std::string& name) {
    for (auto it = Lines.begin(); it != Lines.end(); ++it)
        if (it->Name == name) {
            std::string value = it->Value;
            Lines.erase(it);
            return value;
        }
    return Entry[name];
}

bool ApplyInputRecord(ITaskJob& job, const TInputOptions& o) {
    for (const TExtOption& line : SplitExtOptions(o.ExtOptions))
        if (!SkippedExtName(line.Name) && !job.ApplyOption(line.Name, line.Value)) return false;
    // The fields come last, so they win over the same options in ExtOptions.
    if (!o.FileFormat.empty() && !job.ApplyOption("f", o.FileFormat)) return false;
    if (o.StartTime != TimeNotSetUs && !job.ApplyOption("ss", SecondsText(o.StartTime))) return false;
    if (o.ProgramID >= 0 && !job.ApplyOption("programid", std::to_string(o.ProgramID))) return false;
    return true;
}

std::string TimestampText(double dateTime) {
    if (dateTime == 0) return "now";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const double offsetDays = static_cast<double>(local.tm_gmtoff) / 86400.0;
    const auto seconds = static_cast<std::time_t>(std::llround((dateTime - 25569.0 - offsetDays) * 86400.0));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

bool ApplyOutputRecord(ITaskJob& job, const TOutputOptions& o, TOutputDefaults& defaults,
                       std::string& error) {
    const std::vector<TExtOption> lines = SplitExtOptions(o.ExtOptions);
    defaults.Entry = {{"acodec", o.AudioCodec}, {"vcodec", o.VideoCodec}, {"scodec", o.SubtitleCodec},
                      {"apre", o.AudioPreset},  {"vpre", o.VideoPreset},  {"spre", o.SubtitlePreset},
                      {"s", o.FrameSize},       {"vf", o.VideoFilters}};
    defaults.Lines.clear();
    for (const TExtOption& line : lines) {
        const std::string key = line.Name == "vfilters" ? "vf" : line.Name;
        if (line.Value.empty() || !defaults.Entry.count(key)) continue;
        if (defaults.Entry[key].empty()) defaults.Entry[key] = line.Value;
        defaults.Lines.push_back({key, line.Value});
    }
    if (!IsOneOf(std::to_string(o.HookBitsPixel), {"8", "15", "16", "24", "32"})) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Invalid BitsPixel %d", o.HookBitsPixel);
        error = buf;
        return false;
    }

    std::vector<std::pair<std::string, std::string>> apply;
    auto add = [&](bool when, const std::string& name, std::string value) {
        if (when) apply.emplace_back(name, std::move(value));
    };
    for (const char* name : {"acodec", "vcodec", "scodec", "apre", "vpre", "spre"})
        add(!defaults.Entry[name].empty(), name, defaults.Entry[name]);
    for (const TExtOption& line : lines)
        add(!SkippedExtName(line.Name) && !IsOneOf(line.Name, {"acodec", "vcodec", "scodec", "s"}), line.Name,
            line.Value);

    const bool target = o.TargetType >= 1 && o.TargetType <= 3;
    // A target's audio bit rate belongs to its own codec: a record naming another audio codec keeps
    // its own rate (the target's may be beyond what that codec can encode).
    const bool ownAudioCodec =
        target && !o.AudioCodec.empty() && o.AudioCodec != TargetAudioCodec[o.TargetType];
    add(!o.FileFormat.empty(), "f", o.FileFormat);
    add(o.PacketSize > 0, "packetsize", std::to_string(o.PacketSize));
    add(o.MuxRate > 0, "muxrate", std::to_string(o.MuxRate));
    add(o.MuxDelay > 0, "muxdelay", FloatText(o.MuxDelay));
    add(o.MuxPreload > 0, "muxpreload", FloatText(o.MuxPreload));
    add(o.DisableAudio, "an", "");
    add(o.AudioVolume >= 0, "vol", std::to_string(o.AudioVolume));
    add(o.AudioChannels > 0, "ac", std::to_string(o.AudioChannels));
    add(o.AudioSampleRate > 0, "ar", std::to_string(o.AudioSampleRate));
    add(o.AudioBitrate > 0 && (!target || ownAudioCodec), "ab",
        std::to_string(CappedAudioBitRate(defaults.Entry["acodec"], o.AudioBitrate)));
    add(o.AudioBitrateTolerance > 0, "abt", std::to_string(o.AudioBitrateTolerance));
    // The languages and the input sync are the record's, so they win over ExtOptions even when
    // empty or off.
    add(true, "alang", o.AudioLanguage);
    add(true, "async", std::to_string(o.AudioSync));
    add(!o.AudioTag.empty(), "atag", o.AudioTag);
    add(o.DisableVideo, "vn", "");
    add(!o.FrameRate.empty(), "r", o.FrameRate);
    add(!o.FrameAspectRatio.empty(), "aspect", o.FrameAspectRatio);
    add(o.GOPSize > 0, "g", std::to_string(o.GOPSize));
    add(o.VideoBitrate > 0 && !target, "vb", std::to_string(o.VideoBitrate));
    add(o.VideoMaxRate > 0, "maxrate", std::to_string(o.VideoMaxRate));
    add(o.VideoMinRate > 0, "minrate", std::to_string(o.VideoMinRate));
    add(o.VideoBitrateTolerance > 0, "bt", std::to_string(o.VideoBitrateTolerance));
    add(o.VideoBufSize > 0, "bufsize", std::to_string(o.VideoBufSize));
    add(true, "vsync", std::to_string(o.VideoSync));
    add(!o.VideoTag.empty(), "vtag", o.VideoTag);
    add(true, "vlang", o.VideoLanguage);
    add(o.DisableSubtitle, "sn", "");
    add(true, "slang", o.SubtitleLanguage);
    add(true, "isync", o.InputSync ? "1" : "0");
    add(o.CopyTimestamps, "copyts", "");
    add(o.StartTime != TimeNotSetUs, "ss", SecondsText(o.StartTime));
    add(o.Duration != TimeNotSetUs, "t", SecondsText(o.Duration));
    const TStreamInfo& m = o.Metadata;
    add(m.Timestamp >= 0, "timestamp", m.Timestamp >= 0 ? TimestampText(m.Timestamp) : "");
    add(m.Year > 0, "metadata", "year=" + std::to_string(m.Year));
    add(m.Track > 0, "metadata", "track=" + std::to_string(m.Track));
    const std::pair<const char*, const std::string*> texts[] = {
        {"title", &m.Title},     {"author", &m.Author}, {"copyright", &m.Copyright},
        {"comment", &m.Comment}, {"album", &m.Album},   {"genre", &m.Genre}};
    for (const auto& [key, value] : texts)
        add(!value->empty(), "metadata", std::string(key) + "=" + *value);
    add(!defaults.Entry["s"].empty(), "s", defaults.Entry["s"]);
    add(!defaults.Entry["vf"].empty(), "vf", defaults.Entry["vf"]);

    if (target) {
        const int norm = o.TargetNorm == 1 || o.TargetNorm == 2 ? o.TargetNorm : 0;
        if (!job.ApplyTarget(TargetName[o.TargetType], NormWord[norm],
                             o.FallbackNorm == 1 ? "pal" : "ntsc")) {
            error = job.BuildErrorText();
            return false;
        }
    }
    for (const auto& [name, value] : apply)
        if (!job.ApplyOption(name, value)) {
            error = job.BuildErrorText();
            return false;
        }
    return true;
}

bool ApplyNewStreams(ITaskJob& job, const TOutputOptions& o, TOutputDefaults& defaults) {
    for (const TExtOption& line : SplitExtOptions(o.ExtOptions))
        for (const TNewStream& kind : NewStreams) {
            if (line.Name != kind.Line) continue;
            for (const char* option : kind.Options) {
                const std::string value = defaults.Take(option);
                if (!value.empty() && !job.ApplyOption(option, value)) return false;
            }
            if (!job.ApplyOption(line.Name, line.Value)) return false;
        }
    return true;
}

} // namespace mw
