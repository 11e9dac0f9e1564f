#include "presets/PresetOptions.h"
#include "OptionsFields.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <climits>

namespace mw {
namespace {

using test::ChangedFields;
using test::FieldTexts;
using test::TFieldMap;

class TFakeProbe : public IOutputSourceProbe {
  public:
    TFakeProbe(std::string fileName, int32_t audioBitRate)
        : FName(std::move(fileName)), FBitRate(audioBitRate) {}
    std::string FileName() const override { return FName; }
    int32_t FirstAudioBitRate() const override { return FBitRate; }

  private:
    std::string FName;
    int32_t FBitRate;
};

// A selection as a hand-edited settings file may hold it: values are stored even when out of range.
TOutputSelection Selection(int formatClass, int format, int32_t index) {
    TOutputSelection s;
    s.OutputFormatClass = static_cast<uint8_t>(formatClass);
    if (uint8_t* f = s.FormatOfClass(formatClass)) *f = static_cast<uint8_t>(format);
    if (int32_t* p = s.PresetOf(formatClass, format)) *p = index;
    return s;
}

const std::string Std(H264StandardOptions);
const std::string Psp(H264PspOptions);

struct TMappingCase {
    const char* Name;
    int Class;
    int Format;
    int32_t Index;
    int32_t SourceAudioBitrate;
    const char* Extension;
    TFieldMap Expected;
};

void PrintTo(const TMappingCase& c, std::ostream* os) {
    *os << c.Name;
}

class PresetMapping : public ::testing::TestWithParam<TMappingCase> {};

TEST_P(PresetMapping, WritesExactlyTheFieldsOfClassFormatAndRow) {
    const TMappingCase& c = GetParam();
    const TOutputSelection s = Selection(c.Class, c.Format, c.Index);
    TOutputOptions o;
    InitOutputOptions(o);
    ApplyPresetOptions(s, o, c.SourceAudioBitrate);
    EXPECT_EQ(ChangedFields(o), c.Expected);
    EXPECT_EQ(OutputFileExtension(s), c.Extension);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, PresetMapping,
    ::testing::Values(TMappingCase{"PspPreset0",
                                   fcDevice,
                                   3,
                                   0,
                                   -1,
                                   ".mp4",
                                   {{"FileFormat", "psp"},
                                    {"VideoCodec", "libx264"},
                                    {"FrameSize", "480x272"},
                                    {"FrameRate", "30"},
                                    {"VideoBitrate", "1500000"},
                                    {"AudioCodec", "libfaac"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "48000"},
                                    {"AudioBitrate", "160000"},
                                    {"ExtOptions", Psp}}},
                      TMappingCase{"OggPreset4",
                                   fcAudio,
                                   3,
                                   4,
                                   -1,
                                   ".ogg",
                                   {{"DisableVideo", "true"},
                                    {"VideoCodec", "libtheora"},
                                    {"AudioCodec", "libvorbis"},
                                    {"AudioSampleRate", "48000"},
                                    {"ExtOptions", "aq=8.05"}}},
                      TMappingCase{"Mp3WithoutCurrentEntry",
                                   fcAudio,
                                   1,
                                   -1,
                                   -1,
                                   ".mp3",
                                   {{"DisableVideo", "true"}, {"AudioCodec", "libmp3lame"}}},
                      TMappingCase{"IPodPreset8",
                                   fcDevice,
                                   0,
                                   8,
                                   -1,
                                   ".mp4",
                                   {{"VideoCodec", "libx264"},
                                    {"FrameSize", "320x240"},
                                    {"FrameRate", "24"},
                                    {"VideoBitrate", "1000000"},
                                    {"AudioCodec", "libfaac"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "44100"},
                                    {"AudioBitrate", "128000"},
                                    {"ExtOptions", Std}}},
                      TMappingCase{"IPodPreset9",
                                   fcDevice,
                                   0,
                                   9,
                                   -1,
                                   ".mp4",
                                   {{"VideoCodec", "libx264"},
                                    {"FrameSize", "320x240"},
                                    {"FrameRate", "15"},
                                    {"VideoBitrate", "500000"},
                                    {"AudioCodec", "libfaac"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "44100"},
                                    {"AudioBitrate", "128000"},
                                    {"ExtOptions", Std}}},
                      TMappingCase{"WmaPreset4TakesSourceRate",
                                   fcAudio,
                                   2,
                                   4,
                                   1411200,
                                   ".wma",
                                   {{"DisableVideo", "true"},
                                    {"AudioCodec", "wmav2"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "48000"},
                                    {"AudioBitrate", "1411200"}}},
                      TMappingCase{"WmaPreset4SourceWithoutAudio",
                                   fcAudio,
                                   2,
                                   4,
                                   -1,
                                   ".wma",
                                   {{"DisableVideo", "true"},
                                    {"AudioCodec", "wmav2"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "48000"}}},
                      TMappingCase{"WmaPreset4SourceWithZeroRate",
                                   fcAudio,
                                   2,
                                   4,
                                   0,
                                   ".wma",
                                   {{"DisableVideo", "true"},
                                    {"AudioCodec", "wmav2"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "48000"}}},
                      TMappingCase{"OtherPresetsIgnoreSourceRate",
                                   fcAudio,
                                   2,
                                   3,
                                   1411200,
                                   ".wma",
                                   {{"DisableVideo", "true"},
                                    {"AudioCodec", "wmav2"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "44100"},
                                    {"AudioBitrate", "128000"}}},
                      TMappingCase{"MpegPreset3DvdPal",
                                   fcVideo,
                                   4,
                                   3,
                                   -1,
                                   ".mpg",
                                   {{"TargetType", "3"},
                                    {"TargetNorm", "1"},
                                    {"FrameRate", "25"},
                                    {"FrameAspectRatio", "4:3"},
                                    {"VideoBitrate", "4000000"},
                                    {"AudioCodec", "mp2"},
                                    {"AudioChannels", "2"},
                                    {"AudioSampleRate", "48000"},
                                    {"AudioBitrate", "224000"}}},
                      // Hand-edited settings: out-of-range values write only what their levels above define.
                      TMappingCase{"ClassOutsideNumbering", 3, 0, 0, -1, "", {}},
                      TMappingCase{"ClassFarOutside", 255, 0, 0, -1, "", {}},
                      TMappingCase{"VideoFormatOutsideNumbering", fcVideo, 9, 0, -1, "", {}},
                      TMappingCase{
                          "AudioFormatOutsideNumbering", fcAudio, 200, 0, -1, "", {{"DisableVideo", "true"}}},
                      TMappingCase{"PspIndexBeyondList",
                                   fcDevice,
                                   3,
                                   3,
                                   -1,
                                   ".mp4",
                                   {{"FileFormat", "psp"},
                                    {"VideoCodec", "libx264"},
                                    {"AudioCodec", "libfaac"},
                                    {"ExtOptions", Psp}}},
                      TMappingCase{"FlacIndexFarNegative",
                                   fcAudio,
                                   6,
                                   INT32_MIN,
                                   -1,
                                   ".flac",
                                   {{"DisableVideo", "true"}, {"AudioCodec", "flac"}}},
                      TMappingCase{"BlackBerryHasNoFormatLevel", fcDevice, 4, 3, -1, ".mp4", {}},
                      TMappingCase{"AviIndexBeyondList", fcVideo, 0, 29, -1, ".avi", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

// DisableVideo false equals its reset value; the class still writes it.
TEST(PresetFields, VideoClassWritesDisableVideoFalse) {
    TOutputOptions o;
    o.DisableVideo = true;
    ApplyPresetOptions(Selection(fcVideo, 5, 0), o);
    EXPECT_FALSE(o.DisableVideo);
}

TEST(OptionBlocks, H264BlocksHaveTheirLineStructure) {
    // Standard: every line ends with CR LF; PSP: separators only, last line "level=21".
    EXPECT_EQ(H264StandardOptions.size(), 237u);
    EXPECT_EQ(H264StandardOptions.substr(H264StandardOptions.size() - 2), "\r\n");
    EXPECT_EQ(H264PspOptions.size(), 297u);
    EXPECT_EQ(H264PspOptions.substr(H264PspOptions.size() - 10), std::string_view("\r\nlevel=21"));
    for (std::string_view block : {H264StandardOptions, H264PspOptions}) {
        size_t lines = 0;
        for (size_t start = 0; start < block.size();) {
            size_t end = block.find("\r\n", start);
            if (end == std::string_view::npos) end = block.size();
            const std::string_view line = block.substr(start, end - start);
            EXPECT_NE(line.find('='), std::string_view::npos) << line;
            EXPECT_EQ(line.find('\n'), std::string_view::npos) << "bare line feed in " << line;
            ++lines;
            start = end + 2;
        }
        EXPECT_EQ(lines, block == H264PspOptions ? 23u : 18u);
    }
}

TEST(BuildOutputOptions, NamesTheOutputAfterTheSourceAndKeepsExistingFiles) {
    test::TTempDir dir;
    dir.Write("clip.mp3", "x");
    TUserSettings settings;
    settings.OutputFileDir = dir.Path();
    settings.OutputSelection = Selection(fcAudio, 1, 2);

    const TOutputOptions taken = BuildOutputOptions(settings, TFakeProbe("/elsewhere/clip.avi", 128000));
    EXPECT_EQ(taken.FileName, dir.Path() + "clip(1).mp3");
    EXPECT_EQ(taken.FileExt, ".mp3");
    EXPECT_EQ(taken.AudioBitrate, 256000);

    const TOutputOptions bare = BuildOutputOptions(settings, TFakeProbe("/elsewhere/noext", -1));
    EXPECT_EQ(bare.FileName, dir.Path() + "noext.mp3");
    EXPECT_EQ(dir.Read("clip.mp3"), "x");
}

TEST(BuildOutputOptions, FolderWithoutSeparatorGetsOne) {
    test::TTempDir dir;
    TUserSettings settings;
    settings.OutputFileDir = dir.Path().substr(0, dir.Path().size() - 1);
    settings.OutputSelection = Selection(fcDevice, 3, 0);
    EXPECT_EQ(BuildOutputOptions(settings, TFakeProbe("a.b.mov", -1)).FileName, dir.Path() + "a.b.mp4");
}

TEST(JoinOutputOptions, SetJoinAndNeitherExtensionNorName) {
    const TOutputOptions o = BuildJoinOutputOptions(Selection(fcVideo, 0, 3));
    EXPECT_TRUE(o.Join);
    EXPECT_EQ(o.FileExt, "");
    EXPECT_EQ(o.FileName, "");
    EXPECT_EQ(o.VideoBitrate, 1500000);
}

TEST(OptionRecords, ResetRestoresEveryDocumentedDefault) {
    TOutputOptions o;
    o.FileName = "x";
    o.AudioSync = 5;
    o.FallbackNorm = 2;
    o.HookBitsPixel = 8;
    o.StartTime = 0;
    o.Metadata.Timestamp = 0;
    o.Metadata.Genre = "g";
    o.Join = true;
    InitOutputOptions(o);
    EXPECT_EQ(ChangedFields(o), TFieldMap{});
    const std::string notSet = "-9223372036854775808";
    const TFieldMap documented = {
        {"FileName", ""},
        {"FileExt", ""},
        {"FileFormat", ""},
        {"PacketSize", "-1"},
        {"MuxRate", "-1"},
        {"MuxDelay", "-1"},
        {"MuxPreload", "-1"},
        {"AudioCodec", ""},
        {"AudioPreset", ""},
        {"DisableAudio", "false"},
        {"AudioVolume", "-1"},
        {"AudioChannels", "-1"},
        {"AudioSampleRate", "-1"},
        {"AudioBitrate", "-1"},
        {"AudioBitrateTolerance", "-1"},
        {"AudioLanguage", ""},
        {"AudioSync", "0"},
        {"AudioTag", ""},
        {"VideoCodec", ""},
        {"VideoPreset", ""},
        {"DisableVideo", "false"},
        {"FrameRate", ""},
        {"FrameSize", ""},
        {"FrameAspectRatio", ""},
        {"GOPSize", "-1"},
        {"VideoBitrate", "-1"},
        {"VideoMaxRate", "-1"},
        {"VideoMinRate", "-1"},
        {"VideoBitrateTolerance", "-1"},
        {"VideoBufSize", "-1"},
        {"VideoSync", "-1"},
        {"VideoTag", ""},
        {"VideoFilters", ""},
        {"VideoLanguage", ""},
        {"SubtitleCodec", ""},
        {"SubtitlePreset", ""},
        {"DisableSubtitle", "false"},
        {"SubtitleLanguage", ""},
        {"InputSync", "false"},
        {"CopyTimestamps", "false"},
        {"StartTime", notSet},
        {"Duration", notSet},
        {"Metadata.Timestamp", "-1"},
        {"Metadata.Year", "-1"},
        {"Metadata.Track", "-1"},
        {"Metadata.Title", ""},
        {"Metadata.Author", ""},
        {"Metadata.Copyright", ""},
        {"Metadata.Comment", ""},
        {"Metadata.Album", ""},
        {"Metadata.Genre", ""},
        {"TargetType", "0"},
        {"TargetNorm", "0"},
        {"FallbackNorm", "1"},
        {"AudioHook", "false"},
        {"VideoInputHook", "false"},
        {"VideoOutputHook", "false"},
        {"HookBitsPixel", "24"},
        {"Join", "false"},
        {"ExtOptions", ""},
    };
    EXPECT_EQ(FieldTexts(TOutputOptions{}), documented);

    TInputOptions in;
    in.FileName = "x";
    in.FileFormat = "avi";
    in.StartTime = 0;
    in.ProgramID = 3;
    in.ExtOptions = "a=b";
    InitInputOptions(in);
    EXPECT_EQ(in.FileName, "");
    EXPECT_EQ(in.FileFormat, "");
    EXPECT_EQ(in.StartTime, TimeNotSetUs);
    EXPECT_EQ(static_cast<uint64_t>(in.StartTime), 0x8000000000000000u);
    EXPECT_EQ(in.ProgramID, -1);
    EXPECT_EQ(in.ExtOptions, "");
}

} // namespace
} // namespace mw
