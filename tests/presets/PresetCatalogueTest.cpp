// Walks all presets: each row's listing must match the reference catalogue to the character, and
// the record that a conversion gets must carry exactly what the listing says.
#include "OptionsFields.h"
#include "presets/PresetJson.h"
#include "presets/PresetOptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

namespace mw {
namespace {

using nlohmann::json;

const json& Reference() {
    static const json reference = [] {
        std::ifstream in(MW_TEST_SOURCE_DIR "/tests/presets/presets.golden.json", std::ios::binary);
        return json::parse(in);
    }();
    return reference;
}

class FakeProbe : public IOutputSourceProbe {
  public:
    std::string FileName() const override { return "/media/in/clip.avi"; }
    int32_t FirstAudioBitRate() const override { return 1411200; }
};

// The reference options as record field texts; DisableVideo false equals its reset value.
test::TFieldMap ExpectedFields(const json& options) {
    test::TFieldMap fields;
    for (const auto& [name, value] : options.items()) {
        if (value.is_string())
            fields[name] = value.get<std::string>();
        else if (value.is_boolean()) {
            if (value.get<bool>()) fields[name] = "true";
        } else
            fields[name] = std::to_string(value.get<int32_t>());
    }
    return fields;
}

TOutputSelection SelectionOf(const TPresetRow& row) {
    TOutputSelection s;
    s.OutputFormatClass = row.Class;
    *s.FormatOfClass(row.Class) = row.Format;
    *s.PresetOf(row.Class, row.Format) = row.Index;
    return s;
}

// The listing of row i matches the reference to the character.
void CheckListing(size_t i) {
    ASSERT_LT(i, Reference().size());
    EXPECT_EQ(json(PresetToJson(PresetRows()[i])), Reference()[i]);
}

// The records a conversion gets carry exactly the listed fields, per file and joined.
void CheckRecords(size_t i) {
    const TPresetRow& row = PresetRows()[i];
    const json& ref = Reference().at(i);
    TUserSettings settings;
    settings.OutputFileDir = "/nonexistent-output-dir/";
    settings.OutputSelection = SelectionOf(row);

    test::TFieldMap expected = ExpectedFields(ref["options"]);
    const bool fromSource = ref.value("audioBitrateFromSource", false);
    if (fromSource) expected["AudioBitrate"] = "1411200";
    expected["FileExt"] = ref["extension"].get<std::string>();
    expected["FileName"] = "/nonexistent-output-dir/clip" + ref["extension"].get<std::string>();
    EXPECT_EQ(test::ChangedFields(BuildOutputOptions(settings, FakeProbe())), expected);

    // Join mode: the same record without extension and name, with Join, without the source's rate.
    expected.erase("FileExt");
    expected.erase("FileName");
    if (fromSource) expected.erase("AudioBitrate");
    expected["Join"] = "true";
    EXPECT_EQ(test::ChangedFields(BuildJoinOutputOptions(settings.OutputSelection)), expected);
}

// Values the engine must understand: encoders of the build, sizes, rates and option lines.
void CheckVocabulary(size_t i) {
    const TPresetRow& row = PresetRows()[i];
    static const std::set<std::string> encoders = {
        "libx264",    "libfaac", "libmp3lame", "libvorbis",    "libtheora", "mpeg4",     "mpeg1video",
        "mpeg2video", "mjpeg",   "rawvideo",   "h263",         "svq1",      "rv20",      "wmv2",
        "wmav2",      "flac",    "mp2",        "adpcm_ima_qt", "pcm_s16le", "pcm_s24le", "pcm_s32le"};
    static const std::set<std::string> frameRates = {"30", "25", "24", "20", "15", "12", "10", "30000/1001"};
    const TPresetFields f = PresetFieldsOf(row.Class, row.Format, row.Index);
    if (f.VideoCodec) {
        EXPECT_TRUE(encoders.count(std::string(*f.VideoCodec))) << *f.VideoCodec;
    }
    if (f.AudioCodec) {
        EXPECT_TRUE(encoders.count(std::string(*f.AudioCodec))) << *f.AudioCodec;
    }
    if (f.FrameRate) {
        EXPECT_TRUE(frameRates.count(std::string(*f.FrameRate))) << *f.FrameRate;
    }
    if (f.FrameSize) {
        EXPECT_TRUE(std::regex_match(std::string(*f.FrameSize), std::regex("[1-9][0-9]*x[1-9][0-9]*")));
    }
    if (f.AudioChannels) {
        EXPECT_TRUE(*f.AudioChannels == 1 || *f.AudioChannels == 2);
    }
    if (f.TargetType) {
        // A target decides codec and size; its norm must agree with the frame rate.
        EXPECT_FALSE(f.VideoCodec || f.FrameSize);
        EXPECT_EQ(*f.FrameRate, *f.TargetNorm == 1 ? "25" : "30000/1001");
    }
    if (f.ExtOptions) {
        EXPECT_TRUE(std::regex_match(std::string(*f.ExtOptions),
                                     std::regex("([a-z_0-9]+=[^\r\n]+)(\r\n[a-z_0-9]+=[^\r\n]+)*(\r\n)?")))
            << *f.ExtOptions;
    }
    // Only the Audio class disables video; only its OGG format names a video codec.
    EXPECT_EQ(f.DisableVideo.value_or(false), row.Class == fcAudio);
    if (row.Class == fcAudio) {
        EXPECT_EQ(f.VideoCodec.has_value(), row.Format == 3);
    }
}

// One case per format, walking every row of it.
class EveryPreset : public ::testing::TestWithParam<size_t> {};

TEST_P(EveryPreset, MatchesReferenceAndBuildsTheListedRecords) {
    const TFormatInfo& format = Formats()[GetParam()];
    for (size_t i = 0; i < PresetRows().size(); ++i) {
        const TPresetRow& row = PresetRows()[i];
        if (row.Class != format.Class || row.Format != format.Number) continue;
        SCOPED_TRACE(std::string(format.Name) + " preset " + std::to_string(row.Index));
        CheckListing(i);
        CheckRecords(i);
        CheckVocabulary(i);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryPreset, ::testing::Range<size_t>(0, Formats().size()),
                         [](const auto& info) { return std::string(Formats()[info.param].Name); });

TEST(Catalogue, ListsEveryReferencePresetOnce) {
    EXPECT_EQ(json(PresetCatalogueJson()), Reference());
}

TEST(Catalogue, PresetTextsKeepDoubledAndTrailingBlanks) {
    EXPECT_EQ(PresetTexts(fcVideo, 5)[3], "RM - Low Quality  - (256 kbps, Original)");
    EXPECT_EQ(PresetTexts(fcDevice, 0)[1],
              "iPod Touch High Quality (H264, 30 fps, 480x320, 2500 kbps; AAC - 160 kbps) ");
    EXPECT_TRUE(PresetTexts(fcAudio, 8).empty());
    EXPECT_TRUE(PresetTexts(-1, 0).empty());
}

} // namespace
} // namespace mw
