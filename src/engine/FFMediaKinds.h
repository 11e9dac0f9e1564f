// The media kinds the engine names: one row each, for the option letters ("vcodec", "b:a"), the
// per-kind settings and the names in messages.
#pragma once

#include "engine/FFEntries.h"

namespace mw {

// Kinds the per-kind settings are indexed by.
enum TStreamKind : int { skVideo = 0, skAudio = 1, skSubtitle = 2 };

struct TMediaKind {
    AVMediaType Type;
    char Letter;            // option prefix and stream specifier; 0 for kinds no option names
    TStreamKind StreamKind; // the per-kind settings it uses
    const char* Name;       // in option texts: "video"
    const char* Caption;    // in run messages: "Video"
};

inline constexpr TMediaKind MediaKinds[] = {
    {AVMEDIA_TYPE_VIDEO, 'v', skVideo, "video", "Video"},
    {AVMEDIA_TYPE_AUDIO, 'a', skAudio, "audio", "Audio"},
    {AVMEDIA_TYPE_SUBTITLE, 's', skSubtitle, "subtitle", "Subtitle"},
    {AVMEDIA_TYPE_DATA, 0, skSubtitle, "data", "Data"},
    {AVMEDIA_TYPE_ATTACHMENT, 0, skSubtitle, "attachment", "Attachment"},
};

// The first rows are indexed by TStreamKind.
static_assert(MediaKinds[skVideo].StreamKind == skVideo && MediaKinds[skAudio].StreamKind == skAudio &&
              MediaKinds[skSubtitle].StreamKind == skSubtitle);

// The row of a kind; nullptr for kinds outside the table.
inline const TMediaKind* MediaKindOf(AVMediaType type) {
    for (const TMediaKind& k : MediaKinds)
        if (k.Type == type) return &k;
    return nullptr;
}

// The row of an option letter ('v', 'a', 's'); nullptr for other characters.
inline const TMediaKind* MediaKindOfLetter(char letter) {
    for (const TMediaKind& k : MediaKinds)
        if (letter != 0 && k.Letter == letter) return &k;
    return nullptr;
}

// The per-kind settings of a stream kind: video and audio have their own, every other kind uses
// the subtitle ones.
inline TStreamKind StreamKindOf(AVMediaType type) {
    const TMediaKind* k = MediaKindOf(type);
    return k ? k->StreamKind : skSubtitle;
}

} // namespace mw
