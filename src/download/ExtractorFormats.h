// The extractor's answer about a video (its -J output): the title, and its formats mapped onto the
// quality table. A format whose id is one of the stream table's format numbers keeps that quality;
// the others are placed by height and by what the quality's container can hold, and a separate
// video-only and audio-only pair counts as one quality (the best video of that height with the
// best audio). The answer is hostile text: sizes are bounded and format ids are used only when
// they are plain tokens, so they cannot change the meaning of a format selection.
// No Qt; any thread.
#pragma once

#include "download/VideoInfo.h"

#include <string>

namespace mw {

// The longest answer read (a video of today's site with all its formats and captions is a few MB).
inline constexpr size_t MaxExtractorAnswerBytes = 32u << 20;
// The longest title kept (bytes, at a character boundary).
inline constexpr size_t MaxExtractorTitleBytes = 1024;

struct TExtractorVideo {
    std::string Title;   // as the site gives it (bounded); the file name is made from it
    std::string PageURL; // the page the extractor read
    std::string Version; // the extractor's version as its answer gives it ("" when it does not)
    // Per format number of the stream table: the format selection for -f ("" when not offered).
    TStreamTable Selections;
};

// False with the reason when the answer is not a video's description or names no usable format
// (the version is read all the same when the answer gives it).
bool ParseExtractorAnswer(const std::string& json, TExtractorVideo& video, std::string& reason);

} // namespace mw
