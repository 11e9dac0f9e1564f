#include "convert/SourceFiles.h"

#include "app/UtilFuncs.h"
#include "engine/FFUtils.h"

#include <cstdio>
#include <utility>

namespace mw {

std::string DurationText(int64_t durationUs) {
    return durationUs < 0 ? "Duration is not preseted" : FormatMicroseconds(durationUs);
}

std::string BitRateText(int32_t bitRate) {
    return bitRate < 1 ? "Bit rate is not preseted" : std::to_string(bitRate / 1000) + " Kbps";
}

TSourceFile SourceFileFromProbe(TFFDecoder& decoder) {
    TSourceFile row;
    row.FullName = decoder.FileName();
    TFileStreamInfo file;
    decoder.GetFileStreamInfo(file);
    TVideoStreamInfo video;
    TAudioStreamInfo audio;
    if (decoder.FirstVideoStreamIndex() >= 0)
        decoder.GetVideoStreamInfo(decoder.FirstVideoStreamIndex(), video);
    if (decoder.FirstAudioStreamIndex() >= 0)
        decoder.GetAudioStreamInfo(decoder.FirstAudioStreamIndex(), audio);
    row.AudioOnly = decoder.FirstVideoStreamIndex() < 0;
    row.DurationLine = "Duration: " + DurationText(file.Duration);
    row.RealDuration = file.Duration < 0 ? 0 : file.Duration;
    if (row.AudioOnly) {
        row.BitrateLine = "Audio Bit rate: " + BitRateText(audio.BitRate);
        row.DimensionLine = "Audio Encoder: " + audio.CodecName;
    } else {
        row.BitrateLine = "Bit rate: " + BitRateText(video.BitRate);
        const bool across = video.Rotation == 90 || video.Rotation == 270;
        row.DimensionLine = FormatText("Dimension: %d x %d", across ? video.Height : video.Width,
                                       across ? video.Width : video.Height);
    }
    row.FileSize = decoder.FileSize();
    row.VideoEncoder = "Video encoder: " + video.CodecName;
    row.AudioChannels = "Channels: " + std::to_string(audio.Channels);
    row.AudioSampleRate = "Sample rate: " + std::to_string(audio.SampleRate) + " Hz";
    row.AudioBitrate = "Bit rate: " + BitRateText(audio.BitRate);
    row.AudioEncoder = "Audio encoder: " + audio.CodecName;
    const double frameRate =
        video.FrameRateDen > 0 ? static_cast<double>(video.FrameRateNum) / video.FrameRateDen : 0.0;
    row.FrameRate = "Frame rate: " + FormatText("%.2f", frameRate);
    // The size as the picture is seen: a phone clip stored sideways is shown upright.
    row.Width = video.Width;
    row.Height = video.Height;
    row.AspectRatio = video.DisplayAspectRatio;
    if (video.Rotation == 90 || video.Rotation == 270) {
        std::swap(row.Width, row.Height);
        if (row.AspectRatio > 0) row.AspectRatio = 1.0f / row.AspectRatio;
    }
    return row;
}

void AddSourceFiles(TFFDecoder& decoder, const std::vector<std::string>& paths,
                    std::vector<TSourceFile>& rows, std::vector<std::string>& failed,
                    const std::function<void(const std::string&)>& log) {
    failed.clear();
    for (const std::string& path : paths) {
        if (!decoder.LoadFile(path)) {
            if (log) log("File load error: " + decoder.LastErrorMessage());
            failed.push_back(decoder.LastErrorMessage());
            continue;
        }
        TSourceFile row = SourceFileFromProbe(decoder);
        row.FullName = path;
        rows.push_back(std::move(row));
        decoder.CloseFile();
    }
}

} // namespace mw
