// mediawizard-cli probe: what the file list shows for each file, optionally with its thumbnail.
#include "app/UtilFuncs.h"
#include "cli/Cli.h"
#include "convert/SourceFiles.h"
#include "engine/BitmapPng.h"
#include "engine/FFDecode.h"
#include "engine/FFLoad.h"
#include "engine/FFLog.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

const char* const ProbeUsage =
    "Usage: mediawizard-cli probe FILE... [--json] [--thumbnail OUT.png]\n"
    "\n"
    "Probes each file as the file list does and prints its duration, bit rates, size, codecs,\n"
    "channels, sample rate, frame rate and aspect ratio.\n"
    "  --json            one JSON array with an object per file\n"
    "  --thumbnail OUT   write the picture from the middle of each video as PNG: to OUT for one\n"
    "                    file, to OUT-<n>.png (n = 1, 2, ...) for several, or into OUT/<file name>.png\n"
    "                    when OUT is a folder\n"
    "A file that cannot be probed prints its error; the others are still probed (exit status 1).\n";

using mw::BitRateText;
using mw::DurationText;

std::string Printf(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string ThumbnailPath(const std::string& out, const std::string& input, size_t number, size_t count) {
    if (mw::DirectoryExists(out)) return mw::AddTrailingBackslash(out) + mw::ExtractFileName(input) + ".png";
    if (count == 1) return out;
    const std::string ext = mw::ExtractFileExt(out);
    return mw::StripFileExt(out) + "-" + std::to_string(number) + (ext.empty() ? ".png" : ext);
}

// The thumbnail as the file list makes it: middle of the file, first video stream.
bool WriteThumbnail(mw::TFFDecoder& decoder, int64_t durationUs, const std::string& path,
                    std::string& error) {
    decoder.Seek(0, durationUs < 0 ? 0 : durationUs / 2);
    mw::TBitmap bitmap;
    if (!decoder.DecodeVideoFrame(decoder.FirstVideoStreamIndex()) || !decoder.GetBitmap(bitmap)) {
        error = decoder.LastErrorMessage();
        return false;
    }
    return mw::SaveBitmapAsPng(bitmap, path, error);
}

int RunProbe(const mw::cli::TCliArgs& args) {
    std::vector<std::string> files;
    bool asJson = false;
    std::string thumbnail;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            asJson = true;
        } else if (args[i] == "--thumbnail") {
            if (i + 1 >= args.size()) return mw::cli::UsageError("probe: --thumbnail needs an output name");
            thumbnail = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return mw::cli::UsageError("probe: unknown option '" + args[i] + "'");
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) return mw::cli::UsageError("probe: no FILE given (see probe --help)");

    std::string loadError;
    if (!mw::LoadLibrariesBesideExecutable(loadError)) {
        std::fprintf(stderr, "%s\n", loadError.c_str());
        return 1;
    }
    mw::TFFLogger logger;
    logger.SetLogLevel(mw::llError);
    mw::TFFDecoder decoder;
    // The decoder's own errors are printed with their file below; library messages go to stderr.
    logger.OnLog = [&decoder](const void* sender, uint32_t threadId, mw::TLogLevel level,
                              const std::string& text) {
        if (sender != &decoder)
            std::fprintf(stderr, "#%u.%d: %s\n", threadId, static_cast<int>(level), text.c_str());
    };

    bool failed = false;
    json all = json::array();
    for (size_t n = 0; n < files.size(); ++n) {
        const std::string& file = files[n];
        if (!decoder.LoadFile(file)) {
            failed = true;
            if (asJson)
                all.push_back({{"file", file}, {"ok", false}, {"error", decoder.LastErrorMessage()}});
            else {
                std::fflush(stdout);
                std::fprintf(stderr, "File load error: %s\n", decoder.LastErrorMessage().c_str());
            }
            continue;
        }
        mw::TFileStreamInfo fileInfo;
        decoder.GetFileStreamInfo(fileInfo);
        const int videoIndex = decoder.FirstVideoStreamIndex();
        const int audioIndex = decoder.FirstAudioStreamIndex();
        std::string thumbPath, thumbError;
        if (!thumbnail.empty() && videoIndex >= 0) {
            thumbPath = ThumbnailPath(thumbnail, file, n + 1, files.size());
            if (!WriteThumbnail(decoder, fileInfo.Duration, thumbPath, thumbError)) thumbPath.clear();
        }
        mw::TVideoStreamInfo video;
        mw::TAudioStreamInfo audio;
        if (videoIndex >= 0) decoder.GetVideoStreamInfo(videoIndex, video);
        if (audioIndex >= 0) decoder.GetAudioStreamInfo(audioIndex, audio);
        const bool audioOnly = videoIndex < 0;

        if (asJson) {
            json j = {{"file", file},
                      {"ok", true},
                      {"format", decoder.FormatContext()->iformat->name},
                      {"duration_us", fileInfo.Duration},
                      {"duration_text", DurationText(fileInfo.Duration)},
                      {"bit_rate", fileInfo.BitRate},
                      {"size", decoder.FileSize()},
                      {"streams", decoder.StreamCount()},
                      {"video_streams", decoder.VideoStreamCount()},
                      {"audio_streams", decoder.AudioStreamCount()},
                      {"subtitle_streams", decoder.SubtitleStreamCount()},
                      {"thumbnail", thumbPath.empty() ? json(nullptr) : json(thumbPath)}};
            if (!thumbError.empty()) j["thumbnail_error"] = thumbError;
            if (!audioOnly)
                j["video"] = {{"index", videoIndex},
                              {"codec", video.CodecName},
                              {"codec_id", decoder.CodecIdName(videoIndex)},
                              {"width", video.Width},
                              {"height", video.Height},
                              {"bit_rate", video.BitRate},
                              {"frame_rate",
                               std::to_string(video.FrameRateNum) + "/" + std::to_string(video.FrameRateDen)},
                              {"aspect", video.DisplayAspectRatio},
                              {"duration_us", video.DurationUs}};
            if (audioIndex >= 0)
                j["audio"] = {{"index", audioIndex},
                              {"codec", audio.CodecName},
                              {"codec_id", decoder.CodecIdName(audioIndex)},
                              {"channels", audio.Channels},
                              {"sample_rate", audio.SampleRate},
                              {"bit_rate", audio.BitRate},
                              {"duration_us", audio.DurationUs}};
            all.push_back(j);
        } else {
            // The lines of the file list's row, in its column order.
            const mw::TSourceFile row = mw::SourceFileFromProbe(decoder);
            std::printf("%s\n", file.c_str());
            for (const std::string* line : {&row.DurationLine, &row.BitrateLine, &row.DimensionLine})
                std::printf("  %s\n", line->c_str());
            std::printf("  File size: %lld\n", static_cast<long long>(row.FileSize));
            for (const std::string* line : {&row.VideoEncoder, &row.AudioChannels, &row.AudioSampleRate,
                                            &row.AudioBitrate, &row.AudioEncoder, &row.FrameRate})
                std::printf("  %s\n", line->c_str());
            std::printf("  Aspect ratio: %s\n", Printf("%g", video.DisplayAspectRatio).c_str());
            if (!thumbPath.empty()) std::printf("  Thumbnail: %s\n", thumbPath.c_str());
            if (!thumbError.empty()) std::printf("  Thumbnail: none (%s)\n", thumbError.c_str());
        }
        decoder.CloseFile();
    }
    if (asJson) std::printf("%s\n", all.dump(2).c_str());
    return failed ? 1 : 0;
}

} // namespace

MW_CLI_COMMAND("probe", "show what the file list shows for media files (and their thumbnails)", ProbeUsage,
               RunProbe);
