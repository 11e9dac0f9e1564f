#include "engine/options/FFOptionRecords.h"

#include "engine/FFLog.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <type_traits>
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

// What a field's condition needs beyond the field: the disc target and the audio encoder.
struct TFieldContext {
    bool Target = false;
    bool OwnAudioCodec = false; // the record names an audio codec other than the target's
    std::string AudioEncoder;
};

using TApplyList = std::vector<std::pair<std::string, std::string>>;

std::string ValueText(const std::string& v) {
    return v;
}
std::string ValueText(int32_t v) {
    return std::to_string(v);
}
std::string ValueText(float v) {
    return FloatText(v);
}
std::string ValueText(bool v) {
    return v ? "1" : "0";
}
std::string ValueText(int64_t us) {
    return SecondsText(us);
}

template <typename T> bool Applies(TApplyWhen when, const T& v, const TFieldContext& c) {
    using W = TApplyWhen;
    if constexpr (std::is_same_v<T, std::string>) {
        return when == W::Always || (when == W::NotEmpty && !v.empty());
    } else if constexpr (std::is_same_v<T, bool>) {
        return when == W::Always || (when == W::IfTrue && v);
    } else if constexpr (std::is_same_v<T, int64_t>) {
        return when == W::IfSet && v != TimeNotSetUs;
    } else {
        return when == W::Always || (when == W::Positive && v > 0) || (when == W::NonNegative && v >= 0) ||
               (when == W::AudioRate && v > 0 && (!c.Target || c.OwnAudioCodec)) ||
               (when == W::VideoRate && v > 0 && !c.Target);
    }
}

// One field in its place: the walked conditions only (Own, the defaults and the metadata have
// their own steps).
template <typename T>
void AddField(TApplyList& apply, TApplyWhen when, const char* option, const T& v, const TFieldContext& c) {
    if (!Applies(when, v, c)) return;
    if constexpr (std::is_same_v<T, bool>) {
        apply.emplace_back(option, when == TApplyWhen::IfTrue ? std::string() : ValueText(v));
    } else if constexpr (std::is_same_v<T, int32_t>) {
        apply.emplace_back(
            option, ValueText(when == TApplyWhen::AudioRate ? CappedAudioBitRate(c.AudioEncoder, v) : v));
    } else {
        apply.emplace_back(option, ValueText(v));
    }
}
template <typename T> void AddMetadataField(TApplyList& apply, TApplyWhen when, const char* key, const T& v) {
    if constexpr (std::is_same_v<T, double>) {
        if (when == TApplyWhen::Timestamp && v >= 0) apply.emplace_back(key, TimestampText(v));
    } else {
        if (Applies(when, v, {})) apply.emplace_back("metadata", std::string(key) + "=" + ValueText(v));
    }
}
void AddField(TApplyList& apply, TApplyWhen, const char*, const TStreamInfo& m, const TFieldContext&) {
#define MW_STREAM_INFO_FIELD(type, member, reset, key, when)                                                 \
    AddMetadataField(apply, TApplyWhen::when, key, m.member);
#include "app/StreamInfoFields.inc"
#undef MW_STREAM_INFO_FIELD
}

// The fields of one kind of default (codecs, their presets, the last ones), in record order.
void AddDefaults(TApplyList& apply, TApplyWhen kind, TOutputDefaults& defaults) {
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset)                                           \
    if (TApplyWhen::when == kind && !defaults.Entry[option].empty())                                         \
        apply.emplace_back(option, defaults.Entry[option]);
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
}

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
    TApplyList apply;
#define MW_INPUT_FIELD(type, member, reset, option, when)                                                    \
    AddField(apply, TApplyWhen::when, option, o.member, {});
#include "app/InputOptionFields.inc"
#undef MW_INPUT_FIELD
    for (const auto& [name, value] : apply)
        if (!job.ApplyOption(name, value)) return false;
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

namespace {

template <typename T>
void CollectDefault(TOutputDefaults& defaults, TApplyWhen when, const char* option, const T& v) {
    using W = TApplyWhen;
    if constexpr (std::is_same_v<T, std::string>)
        if (when == W::Codec || when == W::CodecPreset || when == W::Last) defaults.Entry[option] = v;
}

// The "def_" entries: the record's codecs, presets and last fields, then the first non-empty
// ExtOptions line of each (vfilters counts as vf).
void CollectDefaults(const TOutputOptions& o, const std::vector<TExtOption>& lines,
                     TOutputDefaults& defaults) {
    defaults.Entry.clear();
    defaults.Lines.clear();
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset)                                           \
    CollectDefault(defaults, TApplyWhen::when, option, o.member);
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
    for (const TExtOption& line : lines) {
        const std::string key = line.Name == "vfilters" ? "vf" : line.Name;
        if (line.Value.empty() || !defaults.Entry.count(key)) continue;
        if (defaults.Entry[key].empty()) defaults.Entry[key] = line.Value;
        defaults.Lines.push_back({key, line.Value});
    }
}

// Every option the record applies, in order: codecs, presets, the ExtOptions lines, the fields in
// record order (so they win over ExtOptions), the metadata, the last fields.
TApplyList OutputOptionList(const TOutputOptions& o, const std::vector<TExtOption>& lines,
                            TOutputDefaults& defaults) {
    TApplyList apply;
    AddDefaults(apply, TApplyWhen::Codec, defaults);
    AddDefaults(apply, TApplyWhen::CodecPreset, defaults);
    for (const TExtOption& line : lines)
        if (!SkippedExtName(line.Name) && !IsOneOf(line.Name, {"acodec", "vcodec", "scodec", "s"}))
            apply.emplace_back(line.Name, line.Value);

    TFieldContext context;
    context.Target = o.TargetType >= 1 && o.TargetType <= 3;
    // A target's audio bit rate belongs to its own codec: a record naming another audio codec keeps
    // its own rate (the target's may be beyond what that codec can encode).
    context.OwnAudioCodec =
        context.Target && !o.AudioCodec.empty() && o.AudioCodec != TargetAudioCodec[o.TargetType];
    context.AudioEncoder = defaults.Entry["acodec"];
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset)                                           \
    AddField(apply, TApplyWhen::when, option, o.member, context);
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
    AddDefaults(apply, TApplyWhen::Last, defaults);
    return apply;
}

} // namespace

bool ApplyOutputRecord(ITaskJob& job, const TOutputOptions& o, TOutputDefaults& defaults,
                       std::string& error) {
    const std::vector<TExtOption> lines = SplitExtOptions(o.ExtOptions);
    CollectDefaults(o, lines, defaults);
    if (!IsOneOf(std::to_string(o.HookBitsPixel), {"8", "15", "16", "24", "32"})) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Invalid BitsPixel %d", o.HookBitsPixel);
        error = buf;
        return false;
    }
    const TApplyList apply = OutputOptionList(o, lines, defaults);
    if (o.TargetType >= 1 && o.TargetType <= 3) {
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
