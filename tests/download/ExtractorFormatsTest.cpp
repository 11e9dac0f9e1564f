// The extractor's answers and lines, parsed without running it: formats onto the quality table,
// progress lines, versions and errors, and the texts made from them.
#include "download/ExtractorFormats.h"
#include "download/ExtractorProgram.h"
#include "download/ExtractorResolver.h"

#include <gtest/gtest.h>

#include <map>

namespace mw {
namespace {

// A format entry of a -J answer.
std::string Format(const std::string& id, const std::string& fields) {
    return "{\"format_id\":\"" + id + "\",\"protocol\":\"https\"" + (fields.empty() ? "" : "," + fields) + "}";
}
std::string Answer(const std::vector<std::string>& formats, const std::string& extra = "\"title\":\"Clip\"") {
    std::string list;
    for (const auto& f : formats)
        list += (list.empty() ? "" : ",") + f;
    return "{" + extra + ",\"formats\":[" + list + "]}";
}

const std::string HlsAudio =
    Format("hls-aud", "\"protocol\":\"m3u8_native\",\"vcodec\":\"none\",\"acodec\":null,\"ext\":\"mp4\"");
std::string HlsVideo(const std::string& id, int w, int h, double tbr, const std::string& vcodec = "avc1.64001f") {
    return Format(id, "\"protocol\":\"m3u8_native\",\"vcodec\":\"" + vcodec + "\",\"acodec\":\"none\",\"ext\":\"mp4\","
                      "\"width\":" + std::to_string(w) + ",\"height\":" + std::to_string(h) +
                      ",\"tbr\":" + std::to_string(tbr));
}

using TSelections = std::map<int, std::string>;

TSelections SelectionsOf(const TExtractorVideo& v) {
    TSelections out;
    for (int f : StreamFormats)
        if (!v.Selections.Get(f).empty()) out[f] = v.Selections.Get(f);
    return out;
}

TEST(ExtractorFormats, MapsFormatsOntoTheQualityTable) {
    const struct {
        const char* Name;
        std::string Json;
        TSelections Expected;
    } cases[] = {
        {"an HLS master with two video variants and an audio group",
         Answer({HlsAudio, HlsVideo("hls-400", 640, 360, 400), HlsVideo("hls-950", 1280, 720, 950)}),
         {{22, "hls-950+hls-aud"}, {18, "hls-400+hls-aud"}, {34, "hls-400+hls-aud"}}},
        {"the site's own format numbers keep their quality, whatever their height",
         Answer({Format("18", "\"vcodec\":\"avc1.42001E\",\"acodec\":\"mp4a.40.2\",\"height\":720,\"width\":1280"),
                 Format("22", "\"vcodec\":\"avc1.64001F\",\"acodec\":\"mp4a.40.2\",\"height\":720,\"width\":1280")}),
         {{18, "18"}, {22, "22"}}},
        {"the best video of a height with the best audio; the nearest height wins a band",
         Answer({Format("a1", "\"vcodec\":\"none\",\"acodec\":\"mp4a.40.5\",\"abr\":48"),
                 Format("a2", "\"vcodec\":\"none\",\"acodec\":\"mp4a.40.2\",\"abr\":128"),
                 Format("v1", "\"vcodec\":\"avc1.640028\",\"acodec\":\"none\",\"height\":1080,\"width\":1920,\"tbr\":2000"),
                 Format("v2", "\"vcodec\":\"avc1.640028\",\"acodec\":\"none\",\"height\":1080,\"width\":1920,\"tbr\":4000"),
                 Format("v4k", "\"vcodec\":\"avc1.640033\",\"acodec\":\"none\",\"height\":2160,\"width\":3840,\"tbr\":9000"),
                 Format("v240", "\"vcodec\":\"avc1.4d400d\",\"acodec\":\"none\",\"height\":240,\"width\":426"),
                 Format("v144", "\"vcodec\":\"avc1.4d400c\",\"acodec\":\"none\",\"height\":144,\"width\":256")}),
         {{37, "v2+a2"}, {5, "v240+a2"}, {17, "v144+a2"}, {13, "v144+a2"}}},
        {"what FLV cannot hold is only offered in MP4 qualities",
         Answer({Format("vp", "\"vcodec\":\"vp09.00.30.08\",\"acodec\":\"none\",\"height\":360,\"width\":640"),
                 Format("op", "\"vcodec\":\"none\",\"acodec\":\"opus\",\"abr\":130")}),
         {{18, "vp+op"}}},
        {"an upright video's quality is its width",
         Answer({Format("up", "\"vcodec\":\"avc1\",\"acodec\":\"mp4a.40.2\",\"height\":1280,\"width\":720")}),
         {{22, "up"}}},
        {"a plain file without a height counts as 360 lines",
         Answer({Format("0", "\"url\":\"http://127.0.0.1/clip.mp4\",\"ext\":\"mp4\"")}), {{18, "0"}, {34, "0"}}},
        {"a video without a format list describes its only format at the top",
         "{\"title\":\"One\",\"format_id\":\"mp4-1\",\"url\":\"https://x.example/v.mp4\",\"ext\":\"mp4\","
         "\"height\":480,\"vcodec\":\"avc1\",\"acodec\":\"mp4a.40.2\"}",
         {{35, "mp4-1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TExtractorVideo v;
        std::string reason;
        ASSERT_TRUE(ParseExtractorAnswer(c.Json, v, reason)) << reason;
        EXPECT_EQ(SelectionsOf(v), c.Expected);
    }
}

// Hostile answers: nothing in a format id, a protocol or a field's type reaches the selection.
TEST(ExtractorFormats, HostileFormatsAreLeftOut) {
    const std::string combined = "\"vcodec\":\"avc1\",\"acodec\":\"mp4a.40.2\",\"height\":360";
    TExtractorVideo v;
    std::string reason;
    ASSERT_TRUE(ParseExtractorAnswer(
        Answer({Format("best/worst", combined), Format("a+b", combined), Format("x,y", combined),
                Format("rt", combined + ",\"protocol\":\"rtmp\""), Format("fi", combined + ",\"protocol\":\"file\""),
                Format("drm", combined + ",\"has_drm\":true"), Format("maybe", combined + ",\"has_drm\":\"maybe\""),
                Format("odd", "\"vcodec\":7,\"acodec\":[1],\"height\":\"tall\",\"tbr\":1e300"),
                Format(std::string(65, 'l'), combined), Format("ok", combined)},
               "\"title\":[\"not\",\"text\"]"),
        v, reason))
        << reason;
    EXPECT_EQ(SelectionsOf(v), (TSelections{{18, "ok"}, {34, "ok"}}));
    EXPECT_EQ(v.Title, "");
}

TEST(ExtractorFormats, AnswersThatAreNoVideoGiveAReason) {
    const std::string longTitle(3000, 'x');
    const struct {
        const char* Name;
        std::string Json;
    } cases[] = {
        {"not JSON", "ERROR: something"},
        {"a number no double holds", Answer({Format("18", "\"tbr\":1e400")})},
        {"not an object", "[1,2,3]"},
        {"a playlist", "{\"_type\":\"playlist\",\"entries\":[]}"},
        {"no formats", Answer({})},
        {"only audio", Answer({HlsAudio})},
        {"video only, no audio to pair it with", Answer({HlsVideo("v", 640, 360, 300)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TExtractorVideo v;
        std::string reason;
        EXPECT_FALSE(ParseExtractorAnswer(c.Json, v, reason));
        EXPECT_FALSE(reason.empty());
    }
    TExtractorVideo v;
    std::string reason;
    ASSERT_TRUE(ParseExtractorAnswer(Answer({Format("0", "\"ext\":\"mp4\"")}, "\"title\":\"" + longTitle + "\""), v,
                                     reason));
    EXPECT_EQ(v.Title.size(), MaxExtractorTitleBytes);
    // The answer names the program's version, also when it names no video.
    EXPECT_FALSE(ParseExtractorAnswer(Answer({}, "\"_version\":{\"version\":\"2023.03.04\\u001b\"}"), v, reason));
    EXPECT_EQ(v.Version, "2023.03.04");
}

TEST(ExtractorProgress, LinesOfOurTemplate) {
    const struct {
        const char* Line;
        bool IsProgress;
        uint64_t Size;
        int Percent;
        int64_t TimeLeft;
        const char* Speed;
    } cases[] = {
        {"[mediawizard-progress] 1024 4096 NA 3 2048.0 downloading", true, 4096, 25, 3, "2.00 KB/s"},
        {"[mediawizard-progress] 1024 NA 2048.0 NA NA downloading", true, 2048, 50, -1, ""},
        {"[mediawizard-progress] NA NA NA NA NA downloading", true, 0, 0, -1, ""},
        // Lies: more than the whole, negative, not finite, absurd, not numbers.
        {"[mediawizard-progress] 9000 100 NA -5 -1 downloading", true, 9000, 100, -1, ""},
        {"[mediawizard-progress] 1e400 nan inf 1e30 x downloading", true, 0, 0, -1, ""},
        {"[mediawizard-progress] 99999999999999999999 1 NA 1 1 downloading", true, 1, 0, 1, "0.00 KB/s"},
        {"[mediawizard-progress] 1 2 3", false, 0, 0, 0, ""},
        {"/tmp/x/Clip.mp4", false, 0, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line);
        TExtractorProgressState state;
        TStreamProgress p;
        ASSERT_EQ(ParseExtractorProgress(c.Line, 7, state, p), c.IsProgress);
        if (!c.IsProgress) continue;
        EXPECT_EQ(p.Size, c.Size);
        EXPECT_EQ(p.Percent, c.Percent);
        EXPECT_EQ(p.TimeLeft, c.TimeLeft);
        EXPECT_EQ(p.Speed, c.Speed);
        EXPECT_EQ(p.Elapsed, 7);
    }
}

// A merged download reports its video, then its audio: the second part adds to the first.
TEST(ExtractorProgress, PartsOfAMergedDownloadAddUp) {
    TExtractorProgressState state;
    TStreamProgress p;
    ASSERT_TRUE(ParseExtractorProgress("[mediawizard-progress] 3000 3000 NA NA 10 finished", 1, state, p));
    EXPECT_EQ(p.Percent, 100);
    ASSERT_TRUE(ParseExtractorProgress("[mediawizard-progress] 500 1000 NA 1 10 downloading", 2, state, p));
    EXPECT_EQ(p.Size, 4000u);
    EXPECT_EQ(p.Percent, 87);
}

TEST(ExtractorProgram, VersionsAndTheirAge) {
    const std::time_t dec2026 = 1796900000; // 2026-12-10
    const struct {
        const char* Version;
        bool DateShaped;
        bool Old;
    } cases[] = {
        {"2023.03.04", true, true},       {"2026.11.01", true, false}, {"2025.12.11", true, false},
        {"2025.12.01", true, true},       {"2024.08.06.232725", true, true}, {"2026.10.31.1", true, false},
        {"2026.13.01", false, false},     {"1.2.3", false, false},     {"", false, false},
        {"2026.11.01x", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Version);
        int y, m, d;
        EXPECT_EQ(ExtractorVersionDate(c.Version, y, m, d), c.DateShaped);
        EXPECT_EQ(ExtractorIsOld(c.Version, dec2026), c.Old);
    }
    EXPECT_EQ(ExtractorTooOldText("2023.03.04"),
              "The download engine (yt-dlp 2023.03.04) may be too old for this site; update it");
    EXPECT_EQ(CleanExtractorVersion("2023.03.04\nmore\n"), "2023.03.04");
    EXPECT_EQ(CleanExtractorVersion("  \x1b[31m2024.01.01\x07 \n"), "[31m2024.01.01");
    EXPECT_EQ(CleanExtractorVersion(std::string(200, '9')).size(), 64u);
}

TEST(ExtractorProgram, ErrorsThatSayTheSiteChanged) {
    for (const char* e : {"ERROR: [youtube] abc: Unable to extract uploader id",
                          "ERROR: [youtube] x: Failed to extract any player response; please report this issue",
                          "WARNING: nsig extraction failed: You may experience throttling"})
        EXPECT_TRUE(ExtractorErrorSaysSiteChanged(e)) << e;
    for (const char* e : {"ERROR: Unsupported URL: http://127.0.0.1/x",
                          "ERROR: [generic] None: Unable to download webpage: HTTP Error 404: File not found; please "
                          "report this issue on https://github.com/yt-dlp/yt-dlp/issues?q= . Confirm you are on the "
                          "latest version using  yt-dlp -U",
                          ""})
        EXPECT_FALSE(ExtractorErrorSaysSiteChanged(e)) << e;
}

TEST(ExtractorTexts, WhatTheProgramSaysIsEscapedAndBounded) {
    EXPECT_EQ(EscapeProgramText("a\x1b[2Jb\tc\x7f", 100), "a\\x1b[2Jb\\x09c\\x7f");
    EXPECT_EQ(EscapeProgramText("x\xc2\x9by", 100), "x\\x9by"); // a C1 control
    EXPECT_EQ(EscapeProgramText("caf\xc3\xa9", 100), "caf\xc3\xa9");
    EXPECT_EQ(EscapeProgramText("\xc3\xa9\xc3\xa9\xc3\xa9", 3), "\xc3\xa9...");
    EXPECT_EQ(ExtractorErrorText("WARNING: a\nERROR: first\nnoise\nERROR: [generic] Unsupported\x1b URL\nmore\n"),
              "ERROR: [generic] Unsupported\\x1b URL");
    EXPECT_EQ(ExtractorErrorText("Traceback\n  line\nKeyError: 'x'\n"), "KeyError: 'x'");
    EXPECT_EQ(ExtractorErrorText(""), "");
}

TEST(ExtractorTexts, OutputNamesCannotExpandOrOverflow) {
    EXPECT_EQ(ExtractorOutputName("100% $HOME ${PATH}.mp4"), "100%% _HOME _{PATH}.mp4");
    const std::string longName = std::string(200, 'a') + "\xc3\xa9" + std::string(50, 'b') + ".flv";
    const std::string out = ExtractorOutputName(longName);
    EXPECT_EQ(out, std::string(150, 'a') + ".flv");
    const std::string accents = std::string(149, 'a') + "\xc3\xa9" + ".mp4";
    EXPECT_EQ(ExtractorOutputName(accents), std::string(149, 'a') + ".mp4"); // never half a character
}

} // namespace
} // namespace mw
