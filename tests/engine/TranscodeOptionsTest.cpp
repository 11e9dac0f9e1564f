#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionHandlers.h"
#include "engine/options/FFOptionParser.h"
#include "engine/options/FFOptionTable.h"
#include "engine/options/FFPresets.h"
#include "presets/PresetCatalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace mw {
namespace {

using ::testing::HasSubstr;

class TranscodeOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override { test::LoadEngineLibraries(); }
    test::TLogCapture FLog{llDebug};
    TTranscodeJob FJob;
};

struct TLibx264Context {
    TCodecContextPtr Context;
    TLibx264Context() {
        const AVCodec* codec = FFApi.avcodec_find_encoder_by_name("libx264");
        if (!codec) return;
        Context.reset(FFApi.avcodec_alloc_context3(codec));
        Context->width = 64;
        Context->height = 64;
        Context->pix_fmt = AV_PIX_FMT_YUV420P;
        Context->time_base = {1, 25};
    }
};

// Every line of every built-in x264 preset and of the two option blocks of the preset rows must
// be accepted today and leave a libx264 encoder that opens.
TEST_F(TranscodeOptionsTest, EveryBuiltinPresetAndOptionBlockAppliesToLibx264) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& p : BuiltinPresets())
        texts.emplace_back(p.Name, p.Text);
    texts.emplace_back("H264StandardOptions", std::string(H264StandardOptions));
    texts.emplace_back("H264PspOptions", std::string(H264PspOptions));
    ASSERT_EQ(texts.size(), 38u);
    for (const auto& [name, text] : texts) {
        SCOPED_TRACE(name);
        TTranscodeJob job;
        ASSERT_TRUE(ApplyPresetText(job, name, text)) << job.BuildErrorText;
        TLibx264Context x264;
        ASSERT_TRUE(x264.Context) << "libx264 missing from this build";
        std::string error;
        job.Options.Generic.ApplyToCodec(x264.Context.get(),
                                         AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM, &error);
        EXPECT_EQ(error, "");
        EXPECT_GE(OpenCodecLocked(x264.Context.get(), x264.Context->codec, nullptr), 0);
    }
}

TEST_F(TranscodeOptionsTest, BuiltinTableHasTheThirtySixNamedPresets) {
    std::set<std::string> names;
    for (const auto& p : BuiltinPresets())
        names.insert(p.Name);
    EXPECT_EQ(names.size(), 36u);
    EXPECT_TRUE(FindBuiltinPreset("LIBX264-Default"));
    EXPECT_EQ(FindBuiltinPreset("libx264-ipod320")->Text,
              "coder=0\nbf=0\nflags2=-wpred-dct8x8\nlevel=13\nmaxrate=768000\nbufsize=3000000\nwpredp=0\n");
}

TEST_F(TranscodeOptionsTest, LegacyNamesBecomeTodaysOptions) {
    const struct {
        const char* Name;
        const char* Value;
        std::vector<TOptionPair> Expected;
    } Cases[] = {
        {"directpred", "1", {{"direct-pred", "1"}}},
        {"flags2", "+mixed_refs-wpred", {{"mixed-refs", "1"}, {"weightb", "0"}}},
        {"flags2", "+local_header+dct8x8", {{"flags2", "+local_header"}, {"8x8dct", "1"}}},
        {"partitions", "+parti4x4+partp8x8", {{"partitions", "i4x4,p8x8"}}},
        {"partitions", "-parti4x4", {{"partitions", "p8x8"}}}, // continues the set above
        {"partitions", "i8x8,b8x8", {{"partitions", "i8x8,b8x8"}}},
        {"deblockalpha", "-1", {{"deblock", "-1:0"}}},
        {"deblockbeta", "2", {{"deblock", "-1:2"}}},
        {"cmp", "+chroma", {{"cmp", "chroma"}}},
        {"qmin", "10", {{"qmin", "10"}}},
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(std::string(c.Name) + "=" + c.Value);
        const auto pairs = TranslateLegacyOption(FJob, c.Name, c.Value);
        ASSERT_EQ(pairs.size(), c.Expected.size());
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].Name, c.Expected[i].Name);
            EXPECT_EQ(pairs[i].Value, c.Expected[i].Value);
        }
    }
}

TEST_F(TranscodeOptionsTest, TableHasTheVocabularyOnceEach) {
    std::set<std::string> names;
    for (const auto& row : OptionTable()) {
        EXPECT_TRUE(names.insert(row.Name).second) << row.Name;
        EXPECT_TRUE(row.Handler) << row.Name;
        // Plain rows write their target field, which must be there.
        const struct {
            TOptionHandler Handler;
            bool Has;
        } Plain[] = {{HandleSwitch, row.Target.Bool != nullptr},
                     {HandleInteger, row.Target.Int != nullptr},
                     {HandlePositiveInteger, row.Target.Int != nullptr},
                     {HandleFloat, row.Target.Float != nullptr},
                     {HandleText, row.Target.Text != nullptr}};
        for (const auto& p : Plain) {
            if (row.Handler == p.Handler) {
                EXPECT_TRUE(p.Has) << row.Name;
            }
        }
    }
    for (const char* name :
         {"L", "y", "map", "ab", "aspect", "vpre", "target", "newaudio", "tvstd", "directpred"})
        EXPECT_TRUE(FindOptionDef(name)) << name;
}

TEST_F(TranscodeOptionsTest, BitRateBelowOneThousandWarns) {
    ASSERT_TRUE(ParseOption(FJob, "ab", "128")) << FJob.BuildErrorText;
    const std::string warning =
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
    EXPECT_TRUE(FLog.Logged(llWarning, warning));
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_AUDIO)->bit_rate, 128);
    FLog.Lines.clear();
    ASSERT_TRUE(ParseOption(FJob, "ab", "128000"));
    EXPECT_FALSE(FLog.Logged(llWarning, warning));
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_AUDIO)->bit_rate, 128000);
    // "vb" sets the video context only.
    ASSERT_TRUE(ParseOption(FJob, "vb", "2000000"));
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_VIDEO)->bit_rate, 2000000);
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_AUDIO)->bit_rate, 128000);
}

// Remembered pairs reach a new context only where the option's kind fits.
TEST_F(TranscodeOptionsTest, GenericOptionsApplyWhereFlagsMatch) {
    ASSERT_TRUE(ParseOption(FJob, "ab", "96000"));
    ASSERT_TRUE(ParseOption(FJob, "vb", "700000"));
    ASSERT_TRUE(ParseOption(FJob, "g", "33"));
    TCodecContextPtr audio(FFApi.avcodec_alloc_context3(FFApi.avcodec_find_encoder_by_name("aac")));
    TCodecContextPtr video(FFApi.avcodec_alloc_context3(FFApi.avcodec_find_encoder_by_name("mpeg4")));
    FJob.Options.Generic.ApplyToCodec(audio.get(), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
    FJob.Options.Generic.ApplyToCodec(video.get(), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    EXPECT_EQ(audio->bit_rate, 96000);
    EXPECT_EQ(video->bit_rate, 700000);
    EXPECT_EQ(video->gop_size, 33);
}

// A value the common codec option refuses may be the encoder's own ("profile" "high" is
// libx264's); a stream specifier keeps an option to its kind; trying the codecs that do not take a
// value says nothing.
TEST_F(TranscodeOptionsTest, ProfileAndPresetReachTheEncoderQuietly) {
    const AVCodec* x264 = FFApi.avcodec_find_encoder_by_name("libx264");
    if (!x264) GTEST_SKIP() << "no libx264 in this build";
    struct TCase {
        const char* Name;
        const char* Value;
        const char* Option; // libx264's own option
    };
    const TCase cases[] = {
        {"profile", "high", "profile"},
        {"profile:v", "baseline", "profile"},
        {"preset", "medium", "preset"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTranscodeJob job;
        FLog.Lines.clear();
        ASSERT_TRUE(ParseOption(job, c.Name, c.Value)) << job.BuildErrorText;
        for (const auto& [level, text] : FLog.Lines)
            EXPECT_GT(level, llWarning) << text;
        TCodecContextPtr video(FFApi.avcodec_alloc_context3(x264));
        TCodecContextPtr audio(FFApi.avcodec_alloc_context3(FFApi.avcodec_find_encoder_by_name("aac")));
        std::string error;
        job.Options.Generic.ApplyToCodec(video.get(), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM,
                                         &error);
        job.Options.Generic.ApplyToCodec(audio.get(), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM,
                                         &error);
        EXPECT_EQ(error, "");
        uint8_t* text = nullptr;
        ASSERT_GE(FFApi.av_opt_get(video->priv_data, c.Option, 0, &text), 0);
        EXPECT_STREQ(reinterpret_cast<const char*>(text), c.Value);
        FFApi.av_free(text);
    }
    // The kind is kept: a video-only value reaches no sound encoder.
    TTranscodeJob job;
    ASSERT_TRUE(ParseOption(job, "b:v", "700000"));
    TCodecContextPtr audio(FFApi.avcodec_alloc_context3(FFApi.avcodec_find_encoder_by_name("aac")));
    const int64_t before = audio->bit_rate;
    job.Options.Generic.ApplyToCodec(audio.get(), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
    EXPECT_EQ(audio->bit_rate, before);
    // And a value nothing takes is refused under the name it was given.
    EXPECT_FALSE(ParseOption(job, "g:v", "many"));
    EXPECT_EQ(job.BuildErrorText, "Invalid value \"many\" for option \"g:v\"");
}

TEST_F(TranscodeOptionsTest, AspectRatio) {
    ASSERT_TRUE(ParseOption(FJob, "aspect", "16:9"));
    EXPECT_NEAR(FJob.Options.FrameAspectRatio, 1.7778, 1e-4);
    ASSERT_TRUE(ParseOption(FJob, "aspect", "1.3333"));
    EXPECT_NEAR(FJob.Options.FrameAspectRatio, 1.3333, 1e-4);
    for (const char* bad : {"0", "4:0", "-1", "abc", "4:3x"}) {
        EXPECT_FALSE(ParseOption(FJob, "aspect", bad)) << bad;
        EXPECT_EQ(FJob.BuildErrorText, "Incorrect aspect ratio specification.");
    }
    EXPECT_NEAR(FJob.Options.FrameAspectRatio, 1.3333, 1e-4); // a rejected value changes nothing
}

// Malformed values: the option's own message, and the job stays usable for a corrected call.
TEST_F(TranscodeOptionsTest, MalformedValuesGiveTheirMessages) {
    const struct {
        const char* Name;
        const char* Value;
        const char* Error;
    } Cases[] = {
        {"nosuchoption", "1", "Unrecognized option \"nosuchoption\""},
        {"g", "abc", "Invalid value \"abc\" for option \"g\""},
        {"r", "fast", "Incorrect frame rate"},
        {"s", "huge", "Incorrect frame size"},
        {"pix_fmt", "yuv999", "Unknown pixel format requested: yuv999"},
        {"sample_fmt", "s99", "Invalid sample format \"s99\""},
        {"qscale", "0", "qscale must be > 0.0 and <= 255"},
        {"qscale", "256", "qscale must be > 0.0 and <= 255"},
        {"pass", "3", "pass number can be only 1 or 2"},
        {"t", "soon", "Invalid duration specification for t: soon"},
        {"timestamp", "someday", "Invalid date specification for timestamp: someday"},
        {"itsscale", "20:1.5", "stream index over MAX_STREAMS(20)"},
        {"itsscale", "-1:1.5", "Invalid value \"-1:1.5\" for option \"itsscale\""},
        {"metadata", "title", "Missing ="},
        {"metadata", "=x", "wrong parameter of metadata"},
        {"map_meta_data", "0,x:0", "Invalid metadata type x."},
        {"croptop", "8", "Removed, use the crop filter instead"},
        {"padcolor", "000000", "Removed, use the pad filter instead"},
        {"intra_matrix", "1,2,3", "Syntax error in matrix \"1,2,3\" at coeff 3"},
        {"vtag", "abcde", "tag parameter must be 4 chars or int value"},
        {"streamid", "0-5",
         "Invalid value \"0-5\" for option \"streamid\", required syntax is \"index:value\""},
        {"vbsf", "no_such_bsf", "Unknown bitstream filter no_such_bsf"},
        {"target", "laserdisc", "Unknown target type"},
        {"newvideo", "", "At least one output file must be specified"},
        {"vpre", "no-such-preset", "Preset \"no-such-preset\" not found"},
        {"ar", "many", "Invalid value \"many\" for option \"ar\""},
        {"loglevel", "loud", "Invalid value \"loud\" for option \"loglevel\""},
    };
    for (const auto& c : Cases) {
        EXPECT_FALSE(ParseOption(FJob, c.Name, c.Value)) << c.Name;
        EXPECT_EQ(FJob.BuildErrorText, c.Error) << c.Name;
    }
    EXPECT_TRUE(ParseOption(FJob, "g", "12")) << FJob.BuildErrorText;
    EXPECT_TRUE(ParseOption(FJob, "vtag", "XVID"));
    EXPECT_EQ(FJob.Options.CodecTag[skVideo], 0x44495658u);
}

TEST_F(TranscodeOptionsTest, IgnoredNamesAndTimeLimitOnlyLog) {
    for (const char* name :
         {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "i", "y", "benchmark"}) {
        EXPECT_TRUE(ParseOption(FJob, name, ""));
        EXPECT_TRUE(FLog.Logged(llInfo, std::string("Do nothing: option - ") + name)) << name;
    }
    EXPECT_TRUE(ParseOption(FJob, "timelimit", "10"));
    EXPECT_TRUE(FLog.Logged(llWarning, "Warning: -timelimit not implemented on Windows"));
}

TEST_F(TranscodeOptionsTest, SwitchesMapsAndCodecs) {
    ASSERT_TRUE(ParseOption(FJob, "vn", "1"));
    ASSERT_TRUE(ParseOption(FJob, "shortest", "0"));
    ASSERT_TRUE(ParseOption(FJob, "map", "1.2:0.0"));
    ASSERT_TRUE(ParseOption(FJob, "map", "0:1"));
    ASSERT_TRUE(ParseOption(FJob, "acodec", "copy"));
    ASSERT_TRUE(ParseOption(FJob, "vcodec", "libx264"));
    ASSERT_TRUE(ParseOption(FJob, "ar", "0")); // kept only when above 0
    ASSERT_TRUE(ParseOption(FJob, "ss", "00:00:01.5"));
    EXPECT_TRUE(FJob.Options.Disable[skVideo]);
    EXPECT_FALSE(FJob.Options.Shortest);
    ASSERT_EQ(FJob.Options.StreamMaps.size(), 2u);
    EXPECT_EQ(FJob.Options.StreamMaps[0].FileIndex, 1);
    EXPECT_EQ(FJob.Options.StreamMaps[0].StreamIndex, 2);
    EXPECT_EQ(FJob.Options.StreamMaps[0].SyncFileIndex, 0);
    EXPECT_EQ(FJob.Options.StreamMaps[1].SyncStreamIndex, 1);
    EXPECT_TRUE(FJob.Options.StreamCopy[skAudio]);
    EXPECT_EQ(FJob.Options.CodecName[skVideo], "libx264");
    EXPECT_EQ(FJob.Options.AudioSampleRate, 44100);
    EXPECT_EQ(FJob.Options.StartTimeUs, 1500000);
}

TEST_F(TranscodeOptionsTest, VideoPresetDefaultWithLibx264LoadsTheBuiltinPreset) {
    ASSERT_TRUE(ParseOption(FJob, "vcodec", "libx264"));
    ASSERT_TRUE(ParseOption(FJob, "vpre", "default")) << FJob.BuildErrorText;
    const auto names = FJob.Options.Generic.RememberedNames();
    EXPECT_THAT(names, ::testing::Contains("direct-pred"));
    EXPECT_THAT(names, ::testing::Contains("me_range"));
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_VIDEO)->keyint_min, 25);
}

TEST_F(TranscodeOptionsTest, PresetFiles) {
    test::TTempDir dir;
    const std::string good = dir.Write("good.ffpreset", "# comment\n\nvcodec=mpeg4\ng=48\r\nqmin = 3\n");
    ASSERT_TRUE(ParseOption(FJob, "fpre", good)) << FJob.BuildErrorText;
    EXPECT_EQ(FJob.Options.CodecName[skVideo], "mpeg4");
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_VIDEO)->gop_size, 48);
    EXPECT_EQ(FJob.Options.Generic.Reference(AVMEDIA_TYPE_VIDEO)->qmin, 3);

    const std::string noEquals = dir.Write("noequals.ffpreset", "g=10\ncrf\n");
    EXPECT_FALSE(ParseOption(FJob, "vpre", noEquals));
    EXPECT_EQ(FJob.BuildErrorText, noEquals + ": Invalid syntax: \"crf\"");

    const std::string badValue = dir.Write("badvalue.ffpreset", "g=many\n");
    EXPECT_FALSE(ParseOption(FJob, "fpre", badValue));
    EXPECT_EQ(FJob.BuildErrorText,
              "Invalid value \"many\" for option \"g\"\r\n" + badValue +
                  ": Invalid option or argument: \"g=many\", parsed as \"g\" = \"many\"");
    EXPECT_FALSE(ParseOption(FJob, "fpre", dir.Path() + "missing.ffpreset"));
    EXPECT_EQ(FJob.BuildErrorText, "Preset \"" + dir.Path() + "missing.ffpreset\" not found");
}

} // namespace
} // namespace mw
