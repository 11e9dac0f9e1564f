#include "convert/SourceList.h"

#include "app/UtilFuncs.h"
#include "engine/probe/FFDecode.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace mw {

namespace {

constexpr const char* Ellipsis = "\xE2\x80\xA6";

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The first n characters' bytes of text, and the last n characters' bytes.
size_t HeadBytes(const std::string& text, size_t chars) {
    size_t at = 0;
    for (size_t n = 0; at < text.size() && n < chars; ++n)
        for (++at; at < text.size() && IsContinuationByte(text[at]); ++at) {
        }
    return at;
}

size_t TailBytes(const std::string& text, size_t chars) {
    size_t at = text.size();
    for (size_t n = 0; at > 0 && n < chars; ++n)
        for (--at; at > 0 && IsContinuationByte(text[at]); --at) {
        }
    return text.size() - at;
}

size_t CharCount(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        n += IsContinuationByte(c) ? 0 : 1;
    return n;
}

} // namespace

std::string ShortenRowPath(const std::string& path, const std::function<bool(const std::string&)>& fits) {
    if (fits(path)) return path;
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash != std::string::npos) {
        // The folders after the first one go from the left, nearest to the name kept longest.
        std::vector<size_t> cuts;
        const size_t firstEnd = path.find('/', path[0] == '/' ? 1 : 0);
        for (size_t at = firstEnd; at != std::string::npos && at < slash; at = path.find('/', at + 1))
            cuts.push_back(at);
        const std::string first = firstEnd == std::string::npos ? "" : path.substr(0, firstEnd + 1);
        for (size_t i = 1; i < cuts.size(); ++i) {
            const std::string text = first + Ellipsis + path.substr(cuts[i]);
            if (fits(text)) return text;
        }
        if (!first.empty() && fits(first + Ellipsis + "/" + name)) return first + Ellipsis + "/" + name;
        if (fits(std::string(Ellipsis) + "/" + name)) return std::string(Ellipsis) + "/" + name;
    } else if (fits(name)) {
        return name;
    }
    // The name alone is too long: its middle goes, the end and the extension stay.
    const std::string lead = slash == std::string::npos ? "" : std::string(Ellipsis) + "/";
    const size_t length = CharCount(name);
    const size_t dot = name.find_last_of('.');
    const size_t extension = dot == std::string::npos || dot == 0 ? 0 : CharCount(name.substr(dot));
    for (size_t keep = length > 0 ? length - 1 : 0; keep > 0; --keep) {
        const size_t tail = std::min(keep, std::max(keep / 2, extension + 1));
        const std::string text = lead + name.substr(0, HeadBytes(name, keep - tail)) + Ellipsis +
                                 name.substr(name.size() - TailBytes(name, tail));
        if (fits(text)) return text;
    }
    return lead + Ellipsis;
}

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
