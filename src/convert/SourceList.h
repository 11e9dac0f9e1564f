// The source file list's rows without the grid: the columns, their texts, and the probe of one
// file as the list adds it (facts, then the thumbnail from the middle of the first video stream).
// GUI thread (or the command-line tool's thread); one probe decoder at a time.
#pragma once

#include "convert/SourceFiles.h"
#include "engine/Bitmap.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace mw {

// Column positions; 0..4 are shown, the rest are read by the conversion run.
enum TSourceColumn : int {
    scMainImage,
    scFileMinName,
    scDuration,
    scBitrate,
    scDimension,
    scFileFullName,
    scFileSize,
    scVideoEncoder,
    scAudioChannels,
    scAudioSampleRate,
    scAudioBitrate,
    scAudioEncoder,
    scFrameRate,
    scRealDuration,
    scWidth,
    scHeight,
    scAspectRatio,
    SourceColumnCount
};

struct TSourceRow {
    // The cell texts; the picture cell stays empty and the shortened name is the view's to make
    // (it depends on the font), so scFileMinName holds the full path until then.
    std::array<std::string, SourceColumnCount> Cells;
    bool AudioOnly = false;
    int64_t RealDuration = 0; // microseconds, 0 when unknown
    int32_t Width = -1;
    int32_t Height = -1;
    double AspectRatio = -1.0;
};

// The grid's cells of one source file (the texts come from the shared row of SourceFiles).
TSourceRow SourceRowOf(const TSourceFile& file);

// The path as a row shows it in the room fits() allows: whole when it fits; else the file name
// stays whole and the folders are cut after the first one ("/home/…/Trips/clip.mp4", then
// "…/clip.mp4"); only a name too long on its own is cut in its middle, its extension kept.
// Cuts fall on UTF-8 character boundaries.
std::string ShortenRowPath(const std::string& path, const std::function<bool(const std::string&)>& fits);

// The box a row's thumbnail is scaled into. Rows keep their thumbnails while the list lives, so a
// list of many large videos must not hold their full-size pictures.
inline constexpr int SourceThumbnailWidth = 128;
inline constexpr int SourceThumbnailHeight = 88;

// Loads, reads and closes one file. false: error holds the probe's text (it begins with the
// file's name). thumbnail stays empty for audio-only files and when no picture could be decoded;
// otherwise it fits SourceThumbnailWidth x SourceThumbnailHeight.
bool ProbeSourceFile(TFFDecoder& decoder, const std::string& path, TSourceRow& row, TBitmap& thumbnail,
                     std::string& error);

} // namespace mw
