#include "convert/SourceList.h"

#include "app/UtilFuncs.h"
#include "engine/FFDecode.h"

#include <cstdio>
#include <filesystem>

namespace mw {

namespace {

std::string Format(const char* format, auto... values) {
    char buf[128];
    std::snprintf(buf, sizeof buf, format, values...);
    return buf;
}

} // namespace

std::string BitRateText(int32_t bitRate) {
    return bitRate < 1 ? "Bit rate is not preseted" : Format("%d Kbps", bitRate / 1000);
}

std::string DurationText(int64_t durationUs) {
    return durationUs < 0 ? "Duration is not preseted" : FormatMicroseconds(durationUs);
}

TSourceRow BuildSourceRow(const std::string& path, int64_t fileSize, const TFileStreamInfo& file,
                          const TVideoStreamInfo& video, const TAudioStreamInfo& audio, bool audioOnly) {
    TSourceRow row;
    auto& c = row.Cells;
    row.AudioOnly = audioOnly;
    row.RealDuration = file.Duration < 0 ? 0 : file.Duration;
    row.Width = video.Width;
    row.Height = video.Height;
    row.AspectRatio = video.DisplayAspectRatio;
    c[scFileMinName] = path;
    c[scFileFullName] = path;
    c[scDuration] = "Duration: " + DurationText(file.Duration);
    if (audioOnly) {
        c[scBitrate] = "Audio Bit rate: " + BitRateText(audio.BitRate);
        c[scDimension] = "Audio Encoder: " + audio.CodecName;
    } else {
        c[scBitrate] = "Bit rate: " + BitRateText(video.BitRate);
        c[scDimension] = Format("Dimension: %d x %d", video.Width, video.Height);
    }
    c[scFileSize] = std::to_string(fileSize);
    c[scVideoEncoder] = "Video encoder: " + video.CodecName;
    c[scAudioChannels] = Format("Channels: %d", audio.Channels);
    c[scAudioSampleRate] = Format("Sample rate: %d Hz", audio.SampleRate);
    c[scAudioBitrate] = "Bit rate: " + BitRateText(audio.BitRate);
    c[scAudioEncoder] = "Audio encoder: " + audio.CodecName;
    const double rate =
        video.FrameRateDen > 0 ? static_cast<double>(video.FrameRateNum) / video.FrameRateDen : -1.0;
    c[scFrameRate] = Format("Frame rate: %.2f", rate);
    c[scRealDuration] = std::to_string(row.RealDuration);
    c[scWidth] = std::to_string(video.Width);
    c[scHeight] = std::to_string(video.Height);
    c[scAspectRatio] = Format("%g", static_cast<double>(video.DisplayAspectRatio));
    return row;
}

bool ProbeSourceFile(TFFDecoder& decoder, const std::string& path, TSourceRow& row, TBitmap& thumbnail,
                     std::string& error) {
    thumbnail = TBitmap();
    if (!decoder.LoadFile(path)) {
        error = decoder.LastErrorMessage();
        return false;
    }
    TFileStreamInfo file;
    decoder.GetFileStreamInfo(file);
    const int videoIndex = decoder.FirstVideoStreamIndex();
    const int audioIndex = decoder.FirstAudioStreamIndex();
    const bool audioOnly = videoIndex < 0;
    if (!audioOnly) {
        decoder.Seek(0, file.Duration < 0 ? 0 : file.Duration / 2);
        if (!decoder.DecodeVideoFrame(videoIndex) || !decoder.GetBitmap(thumbnail)) thumbnail = TBitmap();
    }
    TVideoStreamInfo video;
    TAudioStreamInfo audio;
    if (videoIndex >= 0) decoder.GetVideoStreamInfo(videoIndex, video);
    if (audioIndex >= 0) decoder.GetAudioStreamInfo(audioIndex, audio);
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::path(path), ec);
    row = BuildSourceRow(path, ec ? -1 : static_cast<int64_t>(size), file, video, audio, audioOnly);
    decoder.CloseFile();
    return true;
}

} // namespace mw
