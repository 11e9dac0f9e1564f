#include "engine/options/FFOptionHandlers.h"

#include "app/UtilFuncs.h"
#include "engine/run/FFFrameHook.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionParser.h"
#include "engine/job/FFOutputFile.h"
#include "engine/options/FFPresets.h"
#include "engine/options/FFTargets.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace mw {

namespace {

bool InvalidValue(TTranscodeJob& job, const TOptionDef& row, const std::string& value) {
    return BuildError(job, "Invalid value \"" + value + "\" for option \"" + row.Name + "\"");
}

// Whole-text integer (decimal, 0x hex or 0 octal, as the old tool read them).
bool ParseInt64(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno || *end) return false;
    out = v;
    return true;
}

bool ParseInt(const std::string& text, int& out) {
    int64_t v = 0;
    if (!ParseInt64(text, v) || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end || !std::isfinite(v)) return false;
    out = v;
    return true;
}

TStreamKind KindOf(const TOptionDef& row) {
    return static_cast<TStreamKind>(row.Arg);
}

} // namespace

MW_OPTION_HANDLER(HandleIgnored) {
    (void)job;
    (void)value;
    EngineLog(nullptr, llInfo, std::string("Do nothing: option - ") + row.Name);
    return true;
}

MW_OPTION_HANDLER(HandleSwitch) {
    (void)job;
    job.Options.*row.Target.Bool = value != "0";
    return true;
}

MW_OPTION_HANDLER(HandleInteger) {
    int v = 0;
    if (!ParseInt(value, v)) return InvalidValue(job, row, value);
    job.Options.*row.Target.Int = v;
    return true;
}

MW_OPTION_HANDLER(HandlePositiveInteger) {
    int v = 0;
    if (!ParseInt(value, v)) return InvalidValue(job, row, value);
    if (v > 0) job.Options.*row.Target.Int = v;
    return true;
}

MW_OPTION_HANDLER(HandleFloat) {
    double v = 0;
    if (!ParseDouble(value, v)) return InvalidValue(job, row, value);
    job.Options.*row.Target.Float = static_cast<float>(v);
    return true;
}

MW_OPTION_HANDLER(HandleText) {
    job.Options.*row.Target.Text = value;
    (void)row;
    return true;
}

MW_OPTION_HANDLER(HandleLogLevel) {
    if (!FFLogger().SetLogLevelText(value)) return InvalidValue(job, row, value);
    return true;
}

namespace {

// strtol that stops at the first non-digit, as the map syntaxes are read.
int ReadNumber(const char*& p) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 0);
    p = end;
    return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

bool ReadMetaType(TTranscodeJob& job, const char*& p, TMetaDataMapSide& side) {
    side.Type = 'g';
    if (*p != ',') return true;
    ++p;
    side.Type = *p;
    switch (*p) {
    case 'g':
        ++p;
        return true;
    case 's':
    case 'c':
    case 'p':
        ++p;
        side.Index = ReadNumber(p);
        return true;
    default:
        return BuildError(job, std::string("Invalid metadata type ") + (*p ? std::string(1, *p) : "") + ".");
    }
}

} // namespace

MW_OPTION_HANDLER(HandleMap) {
    (void)row;
    TStreamMap map;
    const char* p = value.c_str();
    map.FileIndex = ReadNumber(p);
    if (*p) ++p;
    map.StreamIndex = ReadNumber(p);
    if (*p) {
        ++p;
        map.SyncFileIndex = ReadNumber(p);
        if (*p) ++p;
        map.SyncStreamIndex = ReadNumber(p);
    } else {
        map.SyncFileIndex = map.FileIndex;
        map.SyncStreamIndex = map.StreamIndex;
    }
    job.Options.StreamMaps.push_back(map);
    return true;
}

MW_OPTION_HANDLER(HandleMapMetaData) {
    (void)row;
    TMetaDataMap map;
    const char* p = value.c_str();
    map.Out.FileIndex = ReadNumber(p);
    if (!ReadMetaType(job, p, map.Out)) return false;
    if (*p) ++p;
    map.In.FileIndex = ReadNumber(p);
    if (!ReadMetaType(job, p, map.In)) return false;
    job.Options.MetaDataMaps.push_back(map);
    return true;
}

MW_OPTION_HANDLER(HandleMapChapters) {
    (void)row;
    TChapterMap map;
    const char* p = value.c_str();
    map.OutFile = ReadNumber(p);
    if (*p) ++p;
    map.InFile = ReadNumber(p);
    job.Options.ChapterMaps.push_back(map);
    return true;
}

namespace {

bool ParseTime(TTranscodeJob& job, const TOptionDef& row, const std::string& value, bool duration,
               int64_t& out) {
    if (FFApi.av_parse_time(&out, value.c_str(), duration ? 1 : 0) >= 0) return true;
    return BuildError(job, std::string("Invalid ") + (duration ? "duration" : "date") +
                               " specification for " + row.Name + ": " + value);
}

} // namespace

MW_OPTION_HANDLER(HandleDuration) {
    int64_t us = 0;
    if (!ParseTime(job, row, value, true, us)) return false;
    static const struct {
        const char* Name;
        int64_t TOptionState::*Field;
    } Fields[] = {{"t", &TOptionState::RecordingTimeUs},
                  {"ss", &TOptionState::StartTimeUs},
                  {"itsoffset", &TOptionState::InputTsOffsetUs}};
    for (const auto& f : Fields)
        if (row.Name == std::string_view(f.Name)) job.Options.*f.Field = us;
    return true;
}

MW_OPTION_HANDLER(HandleTimestamp) {
    int64_t us = 0;
    if (!ParseTime(job, row, value, false, us)) return false;
    job.Options.RecordingTimestamp = us / 1000000;
    return true;
}

MW_OPTION_HANDLER(HandleItsScale) {
    const char* p = value.c_str();
    const int stream = ReadNumber(p);
    if (*p) ++p;
    char* end = nullptr;
    const double scale = std::strtod(p, &end);
    if (stream >= MaxStreams)
        return BuildError(job, "stream index over MAX_STREAMS(" + std::to_string(MaxStreams) + ")");
    // A negative index would address outside the table.
    if (stream < 0 || !std::isfinite(scale)) return InvalidValue(job, row, value);
    job.Options.InputTsScale[stream] = scale;
    return true;
}

MW_OPTION_HANDLER(HandleFileSize) {
    int64_t v = 0;
    if (!ParseInt64(value, v) || v < 0) return InvalidValue(job, row, value);
    job.Options.LimitFileSize = static_cast<uint64_t>(v);
    return true;
}

MW_OPTION_HANDLER(HandleFrames) {
    int v = 0;
    if (!ParseInt(value, v)) return InvalidValue(job, row, value);
    int TOptionState::*const Fields[] = {&TOptionState::MaxVideoFrames, &TOptionState::MaxAudioFrames,
                                         &TOptionState::MaxDataFrames};
    job.Options.*Fields[row.Arg] = v;
    return true;
}

MW_OPTION_HANDLER(HandleMetadata) {
    (void)row;
    const size_t eq = value.find('=');
    if (eq == std::string::npos) return BuildError(job, "Missing =");
    if (eq == 0) return BuildError(job, "wrong parameter of metadata");
    job.Options.Metadata.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    return true;
}

MW_OPTION_HANDLER(HandleTimeLimit) {
    (void)job;
    (void)row;
    (void)value;
    EngineLog(nullptr, llWarning, "Warning: -timelimit not implemented on Windows");
    return true;
}

MW_OPTION_HANDLER(HandleProgramId) {
    int v = 0;
    if (!ParseInt(value, v)) return InvalidValue(job, row, value);
    job.Options.ProgramId = v;
    job.Options.ProgramIdSet = true;
    return true;
}

MW_OPTION_HANDLER(HandleThreads) {
    int v = 0;
    if (!ParseInt(value, v) || v < 0) return InvalidValue(job, row, value);
    job.Options.ThreadCount = v;
    if (job.Options.Verbosity >= 0)
        EngineLog(nullptr, llVerbose,
                  "Warning: if the ffmpeg libraries were not compiled with thread support, it would be "
                  "using thread emulation.");
    return true;
}

MW_OPTION_HANDLER(HandleTarget) {
    (void)row;
    return ApplyTarget(job, value);
}

MW_OPTION_HANDLER(HandleBitRate) {
    if (!ApplyGenericOption(job, row.Name, value)) return false;
    const bool audio = row.Name[0] == 'a';
    const AVCodecContext* context =
        job.Options.Generic.Reference(audio ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO);
    if (context && context->bit_rate < 1000)
        EngineLog(nullptr, llWarning,
                  "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
    return true;
}

MW_OPTION_HANDLER(HandleFrameRate) {
    (void)row;
    AVRational rate{0, 0};
    if (FFApi.av_parse_video_rate(&rate, value.c_str()) < 0) return BuildError(job, "Incorrect frame rate");
    job.Options.FrameRate = rate;
    return true;
}

MW_OPTION_HANDLER(HandleFrameSize) {
    (void)row;
    int w = 0, h = 0;
    if (FFApi.av_parse_video_size(&w, &h, value.c_str()) < 0) return BuildError(job, "Incorrect frame size");
    job.Options.FrameWidth = w;
    job.Options.FrameHeight = h;
    return true;
}

MW_OPTION_HANDLER(HandleAspect) {
    (void)row;
    double ratio = 0.0;
    const size_t colon = value.find(':');
    if (colon != std::string::npos) {
        int x = 0, y = 0;
        if (ParseInt(value.substr(0, colon), x) && ParseInt(value.substr(colon + 1), y) && x > 0 && y > 0)
            ratio = static_cast<double>(x) / y;
    } else if (!ParseDouble(value, ratio)) {
        ratio = 0.0;
    }
    // A negative ratio is as meaningless as 0.
    if (!(ratio > 0.0)) return BuildError(job, "Incorrect aspect ratio specification.");
    job.Options.FrameAspectRatio = ratio;
    return true;
}

MW_OPTION_HANDLER(HandlePixelFormat) {
    (void)row;
    if (value == "list") {
        for (const AVPixFmtDescriptor* d = FFApi.av_pix_fmt_desc_next(nullptr); d;
             d = FFApi.av_pix_fmt_desc_next(d))
            EngineLog(nullptr, llInfo, d->name);
        return true;
    }
    const AVPixelFormat format = FFApi.av_get_pix_fmt(value.c_str());
    if (format == AV_PIX_FMT_NONE) return BuildError(job, "Unknown pixel format requested: " + value);
    job.Options.FramePixFmt = format;
    return true;
}

MW_OPTION_HANDLER(HandleSampleFormat) {
    (void)row;
    if (value == "list") {
        for (int f = 0; f < AV_SAMPLE_FMT_NB; ++f)
            EngineLog(nullptr, llInfo, FFApi.av_get_sample_fmt_name(static_cast<AVSampleFormat>(f)));
        return true;
    }
    const AVSampleFormat format = FFApi.av_get_sample_fmt(value.c_str());
    if (format == AV_SAMPLE_FMT_NONE) return BuildError(job, "Invalid sample format \"" + value + "\"");
    job.Options.AudioSampleFmt = format;
    return true;
}

MW_OPTION_HANDLER(HandleRemovedCrop) {
    (void)row;
    (void)value;
    return BuildError(job, "Removed, use the crop filter instead");
}

MW_OPTION_HANDLER(HandleRemovedPad) {
    (void)row;
    (void)value;
    return BuildError(job, "Removed, use the pad filter instead");
}

MW_OPTION_HANDLER(HandleQScale) {
    (void)row;
    double q = 0.0;
    if (!ParseDouble(value, q) || q <= 0.0 || q > 255.0)
        return BuildError(job, "qscale must be > 0.0 and <= 255");
    job.Options.VideoQScale = static_cast<float>(q);
    return true;
}

MW_OPTION_HANDLER(HandleCodec) {
    const TStreamKind kind = KindOf(row);
    const bool copy = value == "copy";
    job.Options.StreamCopy[kind] = copy;
    job.Options.CodecName[kind] = copy ? std::string() : value;
    return true;
}

MW_OPTION_HANDLER(HandleDisable) {
    job.Options.Disable[KindOf(row)] = value != "0";
    return true;
}

MW_OPTION_HANDLER(HandlePass) {
    (void)row;
    int pass = 0;
    if (!ParseInt(value, pass) || (pass != 1 && pass != 2))
        return BuildError(job, "pass number can be only 1 or 2");
    job.Options.Pass = pass;
    return true;
}

MW_OPTION_HANDLER(HandleVStats) {
    (void)row;
    if (value == "0") {
        job.Options.VStatsFileName.clear();
        return true;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H%M%S", &local);
    job.Options.VStatsFileName = AddTrailingBackslash(ExecutableFolder()) + "vstats_" + stamp + ".log";
    return true;
}

MW_OPTION_HANDLER(HandleVHook) {
    (void)row;
    return AddFrameHook(job, value);
}

MW_OPTION_HANDLER(HandleMatrix) {
    (void)row;
    std::vector<uint16_t> matrix(64);
    const char* p = value.c_str();
    for (int i = 0; i < 64; ++i) {
        matrix[i] = static_cast<uint16_t>(std::clamp(std::atoi(p), 0, 65535));
        if (i == 63) break;
        p = std::strchr(p, ',');
        if (!p)
            return BuildError(job,
                              "Syntax error in matrix \"" + value + "\" at coeff " + std::to_string(i + 1));
        ++p;
    }
    (row.Arg == 0 ? job.Options.IntraMatrix : job.Options.InterMatrix) = std::move(matrix);
    return true;
}

MW_OPTION_HANDLER(HandleTag) {
    const std::string_view name(row.Name);
    if (name != "vtag" && name != "atag" && name != "stag")
        return BuildError(job, "Invalid tag parmeter " + std::string(name));
    int64_t number = 0;
    uint32_t tag = 0;
    if (ParseInt64(value, number) && number >= 0 && number <= UINT32_MAX)
        tag = static_cast<uint32_t>(number);
    else if (value.size() == 4)
        tag = static_cast<uint8_t>(value[0]) | static_cast<uint8_t>(value[1]) << 8 |
              static_cast<uint8_t>(value[2]) << 16 |
              static_cast<uint32_t>(static_cast<uint8_t>(value[3])) << 24;
    else
        return BuildError(job, "tag parameter must be 4 chars or int value");
    job.Options.CodecTag[KindOf(row)] = tag;
    return true;
}

MW_OPTION_HANDLER(HandleNewStream) {
    (void)value;
    static const AVMediaType Kinds[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
    return AddOutputStream(job, Kinds[row.Arg]);
}

MW_OPTION_HANDLER(HandleLanguage) {
    job.Options.Language[KindOf(row)] = value;
    return true;
}

MW_OPTION_HANDLER(HandleStreamId) {
    const size_t colon = value.find(':');
    int index = 0, id = 0;
    if (colon == std::string::npos || !ParseInt(value.substr(0, colon), index) || index < 0 ||
        !ParseInt(value.substr(colon + 1), id))
        return BuildError(job, "Invalid value \"" + value + "\" for option \"" + row.Name +
                                   "\", required syntax is \"index:value\"");
    job.Options.StreamIds[index] = id;
    return true;
}

MW_OPTION_HANDLER(HandleForceKeyFrames) {
    (void)row;
    // Checked now so that a typing error is reported with the option, not at stream creation.
    size_t start = 0;
    while (start <= value.size()) {
        const size_t comma = std::min(value.find(',', start), value.size());
        int64_t us = 0;
        if (!ParseTime(job, row, value.substr(start, comma - start), true, us)) return false;
        start = comma + 1;
    }
    job.Options.ForcedKeyFrames = value;
    return true;
}

MW_OPTION_HANDLER(HandleBsf) {
    const std::string name = value.substr(0, value.find('='));
    if (!FFApi.av_bsf_get_by_name(name.c_str())) return BuildError(job, "Unknown bitstream filter " + name);
    job.Options.Bsf[KindOf(row)].push_back(value);
    return true;
}

MW_OPTION_HANDLER(HandlePreset) {
    return LoadPreset(job, static_cast<char>(row.Arg), value);
}

MW_OPTION_HANDLER(HandleGeneric) {
    return ApplyGenericOption(job, row.Name, value);
}

} // namespace mw
