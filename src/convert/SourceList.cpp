#include "convert/SourceList.h"

#include "app/UtilFuncs.h"
#include "engine/FFDecode.h"

#include <cstdio>

namespace mw {

TSourceRow SourceRowOf(const TSourceFile& file) {
    TSourceRow row;
    auto& c = row.Cells;
    row.AudioOnly = file.AudioOnly;
    row.RealDuration = file.RealDuration;
    row.Width = file.Width;
    row.Height = file.Height;
    row.AspectRatio = file.AspectRatio;
    c[scFileMinName] = file.FullName;
    c[scFileFullName] = file.FullName;
    c[scDuration] = file.DurationLine;
    c[scBitrate] = file.BitrateLine;
    c[scDimension] = file.DimensionLine;
    c[scFileSize] = std::to_string(file.FileSize);
    c[scVideoEncoder] = file.VideoEncoder;
    c[scAudioChannels] = file.AudioChannels;
    c[scAudioSampleRate] = file.AudioSampleRate;
    c[scAudioBitrate] = file.AudioBitrate;
    c[scAudioEncoder] = file.AudioEncoder;
    c[scFrameRate] = file.FrameRate;
    c[scRealDuration] = std::to_string(file.RealDuration);
    c[scWidth] = std::to_string(file.Width);
    c[scHeight] = std::to_string(file.Height);
    char aspect[32];
    std::snprintf(aspect, sizeof aspect, "%g", static_cast<double>(file.AspectRatio));
    c[scAspectRatio] = aspect;
    return row;
}

bool ProbeSourceFile(TFFDecoder& decoder, const std::string& path, TSourceRow& row, TBitmap& thumbnail,
                     std::string& error) {
    thumbnail = TBitmap();
    if (!decoder.LoadFile(path)) {
        error = decoder.LastErrorMessage();
        return false;
    }
    TSourceFile file = SourceFileFromProbe(decoder);
    file.FullName = path;
    if (!file.AudioOnly) {
        TFileStreamInfo facts;
        decoder.GetFileStreamInfo(facts);
        decoder.Seek(0, facts.Duration < 0 ? 0 : facts.Duration / 2);
        if (!decoder.DecodeVideoFrame(decoder.FirstVideoStreamIndex()) ||
            !decoder.GetThumbnail(thumbnail, SourceThumbnailWidth, SourceThumbnailHeight))
            thumbnail = TBitmap();
    }
    row = SourceRowOf(file);
    decoder.CloseFile();
    return true;
}

} // namespace mw
