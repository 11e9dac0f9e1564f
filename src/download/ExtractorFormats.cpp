#include "download/ExtractorFormats.h"

#include "app/UtilFuncs.h"
#include "download/ExtractorProgram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

namespace mw {

namespace {

using nlohmann::json;

// What a container can hold.
enum : unsigned { ctMP4 = 1, ctFLV = 2, ct3GP = 4 };

// Where each quality of the table sits: its lines and its container. HQ6 is offered only by its
// own format number.
struct TPlacement {
    int Format;
    int Lines;
    unsigned Container;
    bool ByHeight;
};
constexpr std::array<TPlacement, 9> Placements = {{
    {37, 1080, ctMP4, true},
    {22, 720, ctMP4, true},
    {35, 480, ctFLV, true},
    {18, 360, ctMP4, true},
    {34, 360, ctFLV, true},
    {5, 240, ctFLV, true},
    {17, 144, ct3GP, true},
    {13, 144, ct3GP, true},
    {6, 360, ctFLV, false},
}};
constexpr std::array<int, 6> Bands = {1080, 720, 480, 360, 240, 144};
// A format without a height (a plain file link) is taken as the middle quality.
constexpr int UnknownLines = 360;

struct TCodecRule {
    const char* Prefix;
    unsigned Containers;
};
constexpr TCodecRule VideoCodecs[] = {
    {"avc1", ctMP4 | ctFLV | ct3GP}, {"avc3", ctMP4 | ctFLV | ct3GP}, {"h264", ctMP4 | ctFLV | ct3GP},
    {"hev1", ctMP4}, {"hvc1", ctMP4}, {"h265", ctMP4}, {"hevc", ctMP4}, {"vp09", ctMP4}, {"vp9", ctMP4},
    {"av01", ctMP4}, {"mp4v", ctMP4 | ct3GP}, {"h263", ct3GP}, {"s263", ct3GP}, {"flv1", ctFLV}, {"vp6", ctFLV},
};
constexpr TCodecRule AudioCodecs[] = {
    {"mp4a", ctMP4 | ctFLV | ct3GP}, {"aac", ctMP4 | ctFLV | ct3GP}, {"mp3", ctMP4 | ctFLV}, {"opus", ctMP4},
    {"ac-3", ctMP4}, {"ac3", ctMP4}, {"ec-3", ctMP4}, {"eac3", ctMP4}, {"flac", ctMP4}, {"samr", ct3GP},
    {"amr", ct3GP},
};
// When the extractor does not know the codec, the file's extension says what it likely holds.
constexpr TCodecRule Extensions[] = {
    {"mp4", ctMP4 | ctFLV | ct3GP}, {"m4v", ctMP4 | ctFLV | ct3GP}, {"m4a", ctMP4 | ctFLV | ct3GP},
    {"mov", ctMP4}, {"flv", ctFLV}, {"3gp", ct3GP | ctMP4},
};
// Protocols over http(s) only: the extractor is never sent to another scheme by a site.
constexpr const char* WebProtocols[] = {"http", "https", "m3u8", "m3u8_native", "http_dash_segments",
                                        "http_dash_segments_generator"};
constexpr size_t MaxFormats = 2000;
constexpr size_t MaxIdBytes = 64;
constexpr size_t MaxPageURLBytes = 2048;

template <size_t N> unsigned RuleMask(const TCodecRule (&rules)[N], const std::string& name) {
    const std::string lower = LowerCase(name);
    for (const auto& r : rules)
        if (lower.rfind(r.Prefix, 0) == 0) return r.Containers;
    return 0;
}

std::string Text(const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}
bool IsNone(const json& j, const char* key) {
    return Text(j, key) == "none";
}
double Number(const json& j, const char* key) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_number()) return 0;
    const double v = it->get<double>();
    return std::isfinite(v) && v > 0 && v < 1e12 ? v : 0;
}

// A plain token: nothing in it can change the meaning of a format selection.
bool IsPlainId(const std::string& id) {
    if (id.empty() || id.size() > MaxIdBytes) return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.' || c == '=';
    });
}

struct TFormat {
    std::string Id;
    bool Video = false, Audio = false;
    unsigned VideoFits = 0, AudioFits = 0; // containers its streams fit
    int Lines = 0;                         // 0: unknown
    double Rate = 0;                       // kbit/s
    size_t Order = 0;
};

bool ReadFormat(const json& f, size_t order, TFormat& out) {
    if (!f.is_object()) return false;
    out.Id = Text(f, "format_id");
    if (!IsPlainId(out.Id)) return false;
    if (const auto drm = f.find("has_drm"); drm != f.end() && !(drm->is_boolean() && !drm->get<bool>()) &&
                                            !drm->is_null())
        return false; // locked, or perhaps locked ("maybe")
    std::string protocol = Text(f, "protocol");
    if (protocol.empty()) {
        const std::string url = LowerCase(Text(f, "url"));
        protocol = url.rfind("https://", 0) == 0 ? "https" : url.rfind("http://", 0) == 0 ? "http" : "";
    }
    if (std::none_of(std::begin(WebProtocols), std::end(WebProtocols),
                     [&](const char* p) { return protocol == p; }))
        return false;
    out.Video = !IsNone(f, "vcodec") && Text(f, "video_ext") != "none";
    out.Audio = !IsNone(f, "acodec") && Text(f, "audio_ext") != "none";
    const unsigned byExt = RuleMask(Extensions, Text(f, "ext"));
    const std::string vcodec = Text(f, "vcodec"), acodec = Text(f, "acodec");
    out.VideoFits = vcodec.empty() ? byExt : RuleMask(VideoCodecs, vcodec);
    out.AudioFits = acodec.empty() ? byExt : RuleMask(AudioCodecs, acodec);
    // The quality of an upright video is its width.
    const double h = Number(f, "height"), w = Number(f, "width");
    const double lines = h > 0 && w > 0 ? std::min(h, w) : h;
    out.Lines = lines > 0 && lines < 100000 ? static_cast<int>(lines) : 0;
    out.Rate = Number(f, "tbr");
    if (out.Rate == 0) out.Rate = Number(f, out.Audio && !out.Video ? "abr" : "vbr");
    out.Order = order;
    return true;
}

int BandOf(int lines) {
    if (lines <= 0) return UnknownLines;
    for (int band : Bands)
        if (lines >= band) return band;
    return Bands.back();
}

// The best audio-only format a container can hold; nullptr when there is none.
const TFormat* BestAudio(const std::vector<TFormat>& formats, unsigned container) {
    const TFormat* best = nullptr;
    for (const auto& f : formats)
        if (!f.Video && f.Audio && (f.AudioFits & container) && (!best || f.Rate > best->Rate)) best = &f;
    return best;
}

// The selection of a format for a container: alone when it has sound, else with the best audio.
std::string SelectionOf(const std::vector<TFormat>& formats, const TFormat& f, unsigned container) {
    if (!f.Video || !(f.VideoFits & container)) return "";
    if (f.Audio) return (f.AudioFits & container) ? f.Id : "";
    const TFormat* audio = BestAudio(formats, container);
    return audio ? f.Id + "+" + audio->Id : "";
}

size_t Utf8Prefix(const std::string& s, size_t maxBytes) {
    if (s.size() <= maxBytes) return s.size();
    size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

} // namespace

bool ParseExtractorAnswer(const std::string& text, TExtractorVideo& video, std::string& reason) {
    video = TExtractorVideo{};
    if (text.size() > MaxExtractorAnswerBytes) {
        reason = "The download engine's answer is too large.";
        return false;
    }
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        reason = "The download engine's answer cannot be read.";
        return false;
    }
    if (const auto v = j.find("_version"); v != j.end() && v->is_object())
        video.Version = CleanExtractorVersion(Text(*v, "version"));
    const std::string type = Text(j, "_type");
    if (type == "playlist" || type == "multi_video") {
        reason = "The link names a list of videos; paste the links of the videos themselves.";
        return false;
    }
    const std::string title = Text(j, "title");
    video.Title = title.substr(0, Utf8Prefix(title, MaxExtractorTitleBytes));
    const std::string page = Text(j, "webpage_url");
    video.PageURL = page.substr(0, Utf8Prefix(page, MaxPageURLBytes));

    std::vector<TFormat> formats;
    const auto list = j.find("formats");
    if (list != j.end() && list->is_array()) {
        for (size_t i = 0; i < list->size() && i < MaxFormats; ++i) {
            TFormat f;
            if (ReadFormat((*list)[i], i, f)) formats.push_back(f);
        }
    } else {
        TFormat f; // a video of one format describes it at the top
        if (ReadFormat(j, 0, f)) formats.push_back(f);
    }

    std::vector<bool> kept(formats.size(), false);
    for (size_t i = 0; i < formats.size(); ++i)
        for (const auto& p : Placements)
            if (formats[i].Id == std::to_string(p.Format)) kept[i] = true;
    for (const auto& p : Placements) {
        std::string selection;
        // A format of the site's own number keeps its quality.
        for (const auto& f : formats)
            if (selection.empty() && f.Id == std::to_string(p.Format)) selection = SelectionOf(formats, f, p.Container);
        if (selection.empty() && p.ByHeight) {
            const TFormat* best = nullptr;
            for (size_t i = 0; i < formats.size(); ++i) {
                const TFormat& f = formats[i];
                if (kept[i] || BandOf(f.Lines) != p.Lines || SelectionOf(formats, f, p.Container).empty()) continue;
                const int distance = f.Lines ? f.Lines - p.Lines : 0;
                const int bestDistance = best && best->Lines ? best->Lines - p.Lines : 0;
                if (!best || distance < bestDistance ||
                    (distance == bestDistance && (f.Rate > best->Rate || (f.Rate == best->Rate && f.Audio && !best->Audio))))
                    best = &f;
            }
            if (best) selection = SelectionOf(formats, *best, p.Container);
        }
        if (!selection.empty()) video.Selections.Set(p.Format, selection);
    }
    if (video.Selections.Empty()) {
        reason = formats.empty() ? "The download engine found no video it may download on this page."
                                 : "The video offers no format of the known qualities.";
        return false;
    }
    return true;
}

} // namespace mw
