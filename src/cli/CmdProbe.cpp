// mediawizard-cli probe: what the file list shows for each file, optionally with its thumbnail.
#include "app/UtilFuncs.h"
#include "cli/Cli.h"
#include "cli/JsonOutput.h"
#include "convert/SourceFiles.h"
#include "engine/probe/BitmapPng.h"
#include "engine/probe/FFDecode.h"
#include "engine/FFLog.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using nlohmann::json;

const char* const ProbeUsage =
    "Usage: mediawizard-cli probe FILE... [--json] [--thumbnail OUT.png [--force]]\n"
    "\n"
    "Probes each file as the file list does and prints its duration, bit rates, size, codecs,\n"
    "channels, sample rate, frame rate and aspect ratio.\n"
    "  --json            one JSON array with an object per file; names that are not UTF-8 are\n"
    "                    shown with U+FFFD and given exactly as hex in \"file_bytes\"\n"
    "                    (\"thumbnail_bytes\")\n"
    "  --thumbnail OUT   write the picture from the middle of each video as PNG, scaled to fit\n"
    "                    320x240: to OUT for one file, to OUT-<n>.png (n = 1, 2, ...) for several,\n"
    "                    or into OUT/<file name>.png when OUT is a folder (OUT/<file name>(2).png\n"
    "                    and so on for inputs of the same name)\n"
    "  --force           replace existing thumbnail files (an input file is never replaced)\n"
    "A file that cannot be probed prints its error; the others are still probed (exit status 1).\n"
    "A thumbnail that is not written because it exists or names an input counts as an error.\n";

// Thumbnails fit this box: enough for a file list, small enough to be quick for any picture.
constexpr int ThumbnailMaxWidth = 320;
constexpr int ThumbnailMaxHeight = 240;

using mw::BitRateText;
using mw::DurationText;

std::string Printf(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// One thumbnail name per input, all distinct: same-named inputs in folder mode get "(2)", "(3)"...
std::vector<std::string> ThumbnailPaths(const std::string& out, const std::vector<std::string>& inputs) {
    std::vector<std::string> paths;
    if (mw::DirectoryExists(out)) {
        std::set<std::string> used;
        for (const std::string& input : inputs) {
            const std::string base = mw::AddTrailingBackslash(out) + mw::ExtractFileName(input);
            std::string path = base + ".png";
            for (int n = 2; !used.insert(path).second; ++n)
                path = base + "(" + std::to_string(n) + ").png";
            paths.push_back(path);
        }
    } else if (inputs.size() == 1) {
        paths.push_back(out);
    } else {
        const std::string ext = mw::ExtractFileExt(out);
        for (size_t n = 1; n <= inputs.size(); ++n)
            paths.push_back(mw::StripFileExt(out) + "-" + std::to_string(n) + (ext.empty() ? ".png" : ext));
    }
    return paths;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why a thumbnail may not be written to path ("" when it may): it would replace an input (under
// any name), or an existing file without --force.
std::string ThumbnailRefusal(const std::string& path, const std::vector<std::string>& inputs, bool force) {
    struct stat target;
    if (::stat(path.c_str(), &target) != 0) return "";
    for (const std::string& input : inputs) {
        struct stat st;
        if (::stat(input.c_str(), &st) == 0 && SameFile(st, target))
            return path + ": is an input file; not replaced by its thumbnail";
    }
    if (!force) return path + ": exists; not replaced (use --force to replace it)";
    return "";
}

// The thumbnail as the file list makes it: middle of the file, first video stream.
bool WriteThumbnail(mw::TFFDecoder& decoder, int64_t durationUs, const std::string& path, bool force,
                    std::string& error) {
    decoder.Seek(0, durationUs < 0 ? 0 : durationUs / 2);
    mw::TBitmap bitmap;
    if (!decoder.DecodeVideoFrame(decoder.FirstVideoStreamIndex()) ||
        !decoder.GetThumbnail(bitmap, ThumbnailMaxWidth, ThumbnailMaxHeight)) {
        error = decoder.LastErrorMessage();
        return false;
    }
    return mw::SaveBitmapAsPng(bitmap, path, error, force);
}

int RunProbe(const mw::cli::TCliArgs& args) {
    std::vector<std::string> files;
    bool asJson = false;
    bool force = false;
    std::string thumbnail;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            asJson = true;
        } else if (args[i] == "--force") {
            force = true;
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

    if (!mw::cli::LoadEngineLibraries()) return 1;
    mw::TFFLogger logger;
    logger.SetLogLevel(mw::llError);
    mw::TFFDecoder decoder;
    // The decoder's own errors are printed with their file below; library messages go to stderr.
    logger.OnLog = [&decoder](const void* sender, uint32_t threadId, mw::TLogLevel level,
                              const std::string& text) {
        if (sender != &decoder)
            std::fprintf(stderr, "#%u.%d: %s\n", threadId, static_cast<int>(level), text.c_str());
    };

    const std::vector<std::string> thumbPaths =
        thumbnail.empty() ? std::vector<std::string>() : ThumbnailPaths(thumbnail, files);
    bool failed = false;
    json all = json::array();
    for (size_t n = 0; n < files.size(); ++n) {
        const std::string& file = files[n];
        if (!decoder.LoadFile(file)) {
            failed = true;
            if (asJson) {
                json j;
                mw::cli::AddJsonName(j, "file", file);
                j["ok"] = false;
                j["error"] = decoder.LastErrorMessage();
                all.push_back(j);
            } else {
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
            thumbPath = thumbPaths[n];
            thumbError = ThumbnailRefusal(thumbPath, files, force);
            if (!thumbError.empty())
                failed = true;
            else
                WriteThumbnail(decoder, fileInfo.Duration, thumbPath, force, thumbError);
            if (!thumbError.empty()) thumbPath.clear();
        }
        mw::TVideoStreamInfo video;
        mw::TAudioStreamInfo audio;
        if (videoIndex >= 0) decoder.GetVideoStreamInfo(videoIndex, video);
        if (audioIndex >= 0) decoder.GetAudioStreamInfo(audioIndex, audio);
        const bool audioOnly = videoIndex < 0;

        if (asJson) {
            json j;
            mw::cli::AddJsonName(j, "file", file);
            j.update(json{{"ok", true},
                          {"format", decoder.FormatContext()->iformat->name},
                          {"duration_us", fileInfo.Duration},
                          {"duration_text", DurationText(fileInfo.Duration)},
                          {"bit_rate", fileInfo.BitRate},
                          {"size", decoder.FileSize()},
                          {"streams", decoder.StreamCount()},
                          {"video_streams", decoder.VideoStreamCount()},
                          {"audio_streams", decoder.AudioStreamCount()},
                          {"subtitle_streams", decoder.SubtitleStreamCount()}});
            if (thumbPath.empty())
                j["thumbnail"] = nullptr;
            else
                mw::cli::AddJsonName(j, "thumbnail", thumbPath);
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
    // Names and texts from files need not be UTF-8: replace what is not, never abort.
    if (asJson) std::printf("%s\n", all.dump(2, ' ', false, json::error_handler_t::replace).c_str());
    return failed ? 1 : 0;
}

} // namespace

MW_CLI_COMMAND("probe", "show what the file list shows for media files (and their thumbnails)", ProbeUsage,
               RunProbe);
