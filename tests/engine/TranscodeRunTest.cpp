// The transcoding run end to end (jobs made by RunJobFixture, outputs checked with ffprobe) and
// its timing and sample units as tables.
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "LogCapture.h"
#include "engine/run/FFAudioOut.h"
#include "engine/run/FFRun.h"
#include "engine/run/FFRunSetup.h"
#include "engine/run/FFVideoOut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <sys/resource.h>

namespace mw {
namespace {

using test::Fixture;
using test::MakeTestJob;
using test::ShellQuote;

class TranscodeRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    std::string Out(const std::string& name) { return FDir.Path() + name; }

    // One ffprobe value ("stream=codec_name" of the first stream of a kind, "format=duration", ...).
    static std::string Probe(const std::string& file, const std::string& select, const std::string& entries) {
        return test::ProbeValue(file, select, entries);
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::stringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        return lines;
    }

    TRunResult Run(TTranscodeJob& job, const TRunHooks& hooks = {}) {
        TRunResult result;
        RunJob(job, hooks, result);
        return result;
    }

    test::TTempDir FDir;
};

TEST_F(TranscodeRun, AudioOnlyInputIntoVideoContainerKeepsTheAudio) {
    auto job = MakeTestJob({Fixture("a.mp3")}, Out("a.avi"), {{"acodec", "mp2"}, {"ac", "1"}});
    const TRunResult result = Run(*job);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_TRUE(result.Finished);
    EXPECT_EQ(Probe(Out("a.avi"), "", "stream=codec_type"), "audio");
    EXPECT_NEAR(std::stod(Probe(Out("a.avi"), "", "format=duration")), 2.0, 0.06);
}

TEST_F(TranscodeRun, ConvertsSampleRateAndChannels) {
    struct TCase {
        const char* Input;
        int Rate, Channels;
        double Duration;
    };
    const TCase cases[] = {
        {"mono48k.wav", 44100, 1, 2.0}, // 48 kHz into a 44.1 kHz encoder
        {"mono44k.wav", 44100, 2, 1.5}, // mono into stereo at equal rates
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Input);
        const std::string out = Out(std::string(c.Input) + ".mp3");
        auto job = MakeTestJob(
            {Fixture(c.Input)}, out,
            {{"acodec", "libmp3lame"}, {"ar", std::to_string(c.Rate)}, {"ac", std::to_string(c.Channels)}});
        const TRunResult result = Run(*job);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        EXPECT_EQ(Probe(out, "-select_streams a", "stream=sample_rate"), std::to_string(c.Rate));
        EXPECT_EQ(Probe(out, "-select_streams a", "stream=channels"), std::to_string(c.Channels));
        EXPECT_NEAR(std::stod(Probe(out, "", "format=duration")), c.Duration, 1152.0 / c.Rate + 0.03);
    }
}

TEST_F(TranscodeRun, LastShortAudioFrameIsPaddedNotLost) {
    // 1.5 s at 44.1 kHz is 66150 samples: 57 whole MP2 frames of 1152 and a remainder.
    auto job = MakeTestJob({Fixture("mono44k.wav")}, Out("tail.mp2"), {{"acodec", "mp2"}, {"ac", "1"}});
    ASSERT_FALSE(Run(*job).Failed);
    EXPECT_EQ(Probe(Out("tail.mp2"), "-count_packets", "stream=nb_read_packets"), "58");
}

TEST_F(TranscodeRun, StopInTheMiddleKeepsTheTrailer) {
    TRunHooks hooks;
    hooks.ProgressPeriodUs = 0;
    auto job =
        MakeTestJob({Fixture("join10.mp4")}, Out("stop.mp4"), {{"vcodec", "mpeg4"}, {"acodec", "aac"}});
    hooks.OnProgress = [&](const TRunProgress& p) {
        if (p.TimeUs > 1000000) job->StopRequested = true;
    };
    const TRunResult result = Run(*job, hooks);
    EXPECT_FALSE(result.Finished);
    EXPECT_FALSE(result.Failed) << result.ErrorText;
    // MP4 needs its trailer to be read at all.
    const double duration = std::stod(Probe(Out("stop.mp4"), "", "format=duration"));
    EXPECT_GT(duration, 0.9);
    EXPECT_LT(duration, 9.0);
}

TEST_F(TranscodeRun, FailureBeforeAnyByteLeavesNoFile) {
    auto job = MakeTestJob({Fixture("a.mp3")}, Out("none.mp3"), {{"acodec", "libmp3lame"}, {"map", "5.0"}});
    const TRunResult result = Run(*job);
    EXPECT_TRUE(result.Failed);
    EXPECT_FALSE(result.Finished);
    EXPECT_EQ(result.ErrorText, "Could not find input stream #5.0");
    EXPECT_FALSE(std::filesystem::exists(Out("none.mp3")));
}

// A write that fails halfway (here the file size limit; a full disk answers the same way) fails the
// run with the library's text, and the partial output goes: its name was free before the run.
TEST_F(TranscodeRun, WriteFailureFailsWithTheLibraryTextAndRemovesTheOutput) {
    const std::string input = Fixture("join10.mp4");
    auto job = MakeTestJob({input}, Out("big.avi"), {{"vcodec", "mpeg4"}, {"an", ""}});
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TRunResult result = Run(*job);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(result.Failed);
    EXPECT_NE(result.ErrorText.find("File too large"), std::string::npos) << result.ErrorText;
    EXPECT_FALSE(std::filesystem::exists(Out("big.avi")));
}

// Inputs that give nothing to encode are failures, never an empty file counted as converted; an
// output that keeps what could be decoded is a success.
TEST_F(TranscodeRun, AnOutputWithoutPacketsIsAFailureAndIsRemoved) {
    const struct {
        const char* Input;
        const char* Output;
        test::TOptionList Options;
        const char* Error; // "" converts
    } cases[] = {
        {"header-only.avi",
         "h.mp4",
         {{"vcodec", "mpeg4"}, {"acodec", "aac"}},
         "Output file is empty, nothing was encoded"},
        {"header-only.avi",
         "h.mp3",
         {{"vn", ""}, {"acodec", "libmp3lame"}},
         "Output file is empty, nothing was encoded"},
        {"video-undecodable.mkv",
         "u.mp4",
         {{"vcodec", "mpeg4"}, {"acodec", "aac"}},
         "Error while decoding stream #0.0 (Video): Invalid data found when processing input"},
        {"video-undecodable.mkv", "u.mp3", {{"vn", ""}, {"acodec", "libmp3lame"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Input) + " -> " + c.Output);
        auto job = MakeTestJob({Fixture(c.Input)}, Out(c.Output), c.Options);
        const TRunResult result = Run(*job);
        EXPECT_EQ(result.Failed, *c.Error != 0) << result.ErrorText;
        EXPECT_EQ(result.ErrorText, c.Error);
        EXPECT_EQ(result.Finished, !*c.Error);
        EXPECT_EQ(std::filesystem::exists(Out(c.Output)), !*c.Error);
    }
    EXPECT_NEAR(std::stod(Probe(Out("u.mp3"), "", "format=duration")), 2.0, 0.1);
}

TEST_F(TranscodeRun, AnOutputFarShorterThanItsInputIsKeptWithAWarning) {
    test::TLogCapture log(llWarning);
    auto job = MakeTestJob({Fixture("short-data.mp3")}, Out("short.mp2"), {{"acodec", "mp2"}});
    const TRunResult result = Run(*job);
    EXPECT_TRUE(result.Finished) << result.ErrorText;
    EXPECT_TRUE(std::filesystem::exists(Out("short.mp2")));
    EXPECT_TRUE(log.LoggedPart("less than half of the expected 00:00:04.0"));
    log.Lines.clear();
    auto whole = MakeTestJob({Fixture("mono44k.wav")}, Out("whole.mp3"), {{"acodec", "libmp3lame"}});
    EXPECT_TRUE(Run(*whole).Finished);
    EXPECT_FALSE(log.LoggedPart("less than half"));
}

// The output's own length ("t", and its start "ss") is the progress total, so that a trimmed
// conversion reaches 100%.
TEST_F(TranscodeRun, TheProgressTotalIsWhatTheOutputWillLast) {
    const struct {
        test::TOptionList Options;
        double TotalS;
    } cases[] = {
        {{}, 2.0},
        {{{"t", "1"}}, 1.0},
        {{{"ss", "0.5"}}, 1.5},
        {{{"t", "5"}}, 2.0},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.TotalS);
        TRunProgress last;
        TRunHooks hooks;
        hooks.OnProgress = [&](const TRunProgress& p) { last = p; };
        test::TOptionList options = c.Options;
        options.push_back({"acodec", "libmp3lame"});
        auto job = MakeTestJob({Fixture("a.mp3")}, Out(std::to_string(++n) + ".mp3"), options);
        ASSERT_TRUE(Run(*job, hooks).Finished);
        EXPECT_NEAR(last.TotalUs / 1e6, c.TotalS, 0.05);
    }
}

TEST_F(TranscodeRun, JoinIsOneContinuousOutput) {
    TRunProgress last;
    TRunHooks hooks;
    hooks.OnProgress = [&](const TRunProgress& p) { last = p; };
    auto job = MakeTestJob({Fixture("join10.mp4"), Fixture("join20.mp4")}, Out("join.mp4"),
                           {{"vcodec", "mpeg4"}, {"acodec", "aac"}}, true);
    const TRunResult result = Run(*job, hooks);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_NEAR(std::stod(Probe(Out("join.mp4"), "", "format=duration")), 30.0, 0.1);
    EXPECT_NEAR(last.TotalUs / 1e6, 30.0, 0.1);
    EXPECT_TRUE(last.Final);
    EXPECT_NE(last.Line.find("frame="), std::string::npos);
    for (const char* select : {"-select_streams v", "-select_streams a"}) {
        SCOPED_TRACE(select);
        std::vector<double> times;
        for (const auto& line : Lines(Probe(Out("join.mp4"), select, "packet=pts_time")))
            times.push_back(std::stod(line));
        std::sort(times.begin(), times.end());
        ASSERT_GT(times.size(), 100u);
        double gap = 0;
        for (size_t i = 1; i < times.size(); ++i)
            gap = std::max(gap, times[i] - times[i - 1]);
        EXPECT_LT(gap, 0.05); // one picture is 0.04 s, one AAC frame 0.023 s
    }
}

TEST_F(TranscodeRun, StreamCopyOfH264StartsAtTheFirstKeyFrame) {
    for (bool copyInitial : {false, true}) {
        SCOPED_TRACE(copyInitial);
        const std::string out = Out(copyInitial ? "inkf.ts" : "key.ts");
        auto job = MakeTestJob({Fixture("nonkey.ts")}, out,
                               {{"vcodec", "copy"}, {"copyinkf", copyInitial ? "1" : "0"}});
        ASSERT_FALSE(Run(*job).Failed);
        const std::vector<std::string> flags = Lines(Probe(out, "-select_streams v", "packet=flags"));
        ASSERT_FALSE(flags.empty());
        EXPECT_EQ(flags[0][0] == 'K', !copyInitial) << flags[0];
    }
}

// B-frames give the first packets negative decoding times; without "ss" none of them is held back.
TEST_F(TranscodeRun, StreamCopyKeepsEveryPacketOfAFilmWithBFrames) {
    for (const char* name : {"copy.mkv", "copy.mp4"}) {
        SCOPED_TRACE(name);
        auto job = MakeTestJob({Fixture("v.mp4")}, Out(name), {{"vcodec", "copy"}});
        ASSERT_FALSE(Run(*job).Failed);
        EXPECT_EQ(Probe(Out(name), "-count_packets", "stream=nb_read_packets"), "50");
        EXPECT_NEAR(std::stod(Probe(Out(name), "", "format=duration")), 2.0, 0.05);
    }
}

test::TOptionList SizeOptions(int width, int height) {
    test::TOptionList options = {{"vcodec", "mpeg4"}};
    if (width) options.push_back({"s", std::to_string(width) + "x" + std::to_string(height)});
    return options;
}

TEST_F(TranscodeRun, PictureSizeChangeMidStream) {
    struct TCase {
        int Width, Height;
        bool Fails;
    };
    const TCase cases[] = {{200, 150, false}, {0, 0, true}}; // scaled goes on; unscaled ends
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Width);
        const std::string out = Out("size" + std::to_string(c.Width) + ".avi");
        auto job = MakeTestJob({Fixture("sizechange.m2v")}, out, SizeOptions(c.Width, c.Height));
        const TRunResult result = Run(*job);
        EXPECT_EQ(result.Failed, c.Fails) << result.ErrorText;
        if (c.Fails) {
            EXPECT_EQ(result.ErrorText, "Input Stream #0.0 frame size changed to 160x120, yuv420p");
            continue;
        }
        EXPECT_EQ(Probe(out, "", "stream=width,height"), "200\n150");
        EXPECT_NEAR(std::stod(Probe(out, "", "format=duration")), 2.0, 0.05);
    }
}

TEST_F(TranscodeRun, SizeTheEncoderRefusesIsScaledToOneItTakes) {
    // H.263 takes only its standard sizes; 160x120 becomes the nearest, 176x144.
    auto job = MakeTestJob({Fixture("v.mp4")}, Out("h263.3gp"), {{"vcodec", "h263"}});
    const TRunResult result = Run(*job);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_EQ(Probe(Out("h263.3gp"), "", "stream=width,height"), "176\n144");
}

TEST_F(TranscodeRun, RmPicturesStayUnderTheMuxerPacketLimit) {
    // The rm muxer refuses packets above 64 kB; an HD key frame at 128 kbit/s used to fail the run.
    auto job = MakeTestJob({Fixture("hd-noise.mp4")}, Out("hd.rm"), {{"vcodec", "rv20"}, {"vb", "128k"}});
    const TRunResult result = Run(*job);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    int largest = 0;
    for (const std::string& size : Lines(Probe(Out("hd.rm"), "-select_streams v:0", "packet=size")))
        largest = std::max(largest, std::stoi(size));
    EXPECT_GT(largest, 0);
    EXPECT_LT(largest, 65536);
}

TEST_F(TranscodeRun, SongWithACoverPictureIntoAVideoFormat) {
    // The cover's rate is no frame rate, and its 8x14 size is none the rv20 encoder takes.
    auto job = MakeTestJob({Fixture("cover.m4a")}, Out("song.rm"), {{"vcodec", "rv20"}, {"acodec", "ac3"}});
    const TRunResult result = Run(*job);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_EQ(Probe(Out("song.rm"), "-select_streams v:0", "stream=width,height,r_frame_rate"),
              "8\n16\n25/1");
    EXPECT_NEAR(std::stod(Probe(Out("song.rm"), "", "format=duration")), 1.0, 0.1);
}

TEST_F(TranscodeRun, FilmWinsOverItsCoverPicture) {
    auto job = MakeTestJob({Fixture("film-cover.mp4")}, Out("film.avi"), {{"vcodec", "mpeg4"}});
    const TRunResult result = Run(*job);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_EQ(Probe(Out("film.avi"), "-select_streams v:0", "stream=width,height,nb_frames"), "160\n120\n25");
}

// Pictures that cannot be decoded at all: the sound still converts into a sound format; a video
// format fails with the decoder's reason instead of getting a video stream without a picture.
TEST_F(TranscodeRun, UndecodablePicturesFailOnlyAVideoFormat) {
    struct TCase {
        const char* Output;
        test::TOptionList Options;
        const char* Error;
    };
    const TCase cases[] = {
        {"sound.mp3", {{"vn", ""}, {"acodec", "libmp3lame"}}, ""},
        {"film.avi",
         {{"vcodec", "mpeg4"}, {"acodec", "mp2"}},
         "Error while decoding stream #0.0 (Video): Invalid data found when processing input"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Output);
        auto job = MakeTestJob({Fixture("badvideo.avi")}, Out(c.Output), c.Options);
        const TRunResult result = Run(*job);
        EXPECT_EQ(result.ErrorText, c.Error);
        EXPECT_EQ(result.Failed, *c.Error != 0);
        if (!result.Failed) {
            EXPECT_NEAR(std::stod(Probe(Out(c.Output), "", "format=duration")), 2.0, 0.1);
        }
    }
}

TEST_F(TranscodeRun, DamagedInputsConvertOrFailCleanly) {
    for (const char* name : {"corrupted.avi", "truncated.avi"}) {
        SCOPED_TRACE(name);
        auto job = MakeTestJob({Fixture(name)}, Out(std::string(name) + ".mkv"),
                               {{"vcodec", "mpeg4"}, {"acodec", "mp2"}});
        const TRunResult result = Run(*job);
        if (result.Failed) {
            EXPECT_FALSE(result.ErrorText.empty());
        }
    }
}

// Every real file the job building accepts either converts or fails with a message; none crashes or
// hangs. Three seconds of each keep the suite fast.
TEST_F(TranscodeRun, RealFilesConvertOrFailWithAMessage) {
    const std::string folder = test::RealMediaFolder();
    if (folder.empty()) GTEST_SKIP() << "no shared media folder";
    const test::TOptionList targets[] = {
        {{"t", "3"}, {"vcodec", "mpeg4"}, {"acodec", "libmp3lame"}},
        {{"t", "3"}, {"vn", ""}, {"acodec", "libmp3lame"}},
    };
    const char* extensions[] = {".avi", ".mp3"};
    int converted = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        for (int t = 0; t < 2; ++t) {
            SCOPED_TRACE(entry.path().string() + extensions[t]);
            std::unique_ptr<TTranscodeJob> job;
            try {
                job = MakeTestJob({entry.path().string()},
                                  Out(entry.path().filename().string() + extensions[t]), targets[t]);
            } catch (const std::runtime_error&) {
                continue; // refused while building: the job building's own tests cover that
            }
            const TRunResult result = Run(*job);
            if (result.Failed)
                EXPECT_FALSE(result.ErrorText.empty());
            else
                ++converted;
        }
    }
    EXPECT_GT(converted, 20);
}

TEST(VideoSync, DuplicatesAndDrops) {
    struct TCase {
        double Periods; // picture time minus the next frame position, in frame periods
        int Method;
        bool Variable;
        int Copies;
        int64_t Counter; // sync counter afterwards (it starts at 100)
    };
    const TCase cases[] = {
        {3.0, -1, false, 3, 100},                           // constant rate: two duplicates
        {-1.5, -1, false, 0, 100},                          // dropped
        {0.4, -1, false, 1, 100},  {3.0, -1, true, 1, 103}, // variable rate: the counter jumps instead
        {-0.8, 2, true, 0, 100},   {2.6, 0, false, 1, 103}, // pass-through takes the picture's time
    };
    const AVRational tb{1, 25};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Periods);
        const TVideoSyncStep step = DecideVideoSync((100 + c.Periods) / 25.0, tb, 100, c.Method, c.Variable);
        EXPECT_EQ(step.Copies, c.Copies);
        EXPECT_EQ(step.SyncCounter, c.Counter);
    }
}

TEST(AudioSync, SilenceDiscardAndCompensation) {
    struct TCase {
        int Method;
        double Delta; // samples the block starts later than the output position
        bool AtStart;
        int64_t Silence, Drop;
        int Compensation;
    };
    const TCase cases[] = {
        {1, 1000, true, 1000, 0, 0},   // at the start: pad with silence
        {1, -1000, true, 0, 1000, 0},  // ... or cut
        {1, 1000, false, 0, 0, 0},     // later, under the drift threshold: nothing without compensation
        {40, 1000, false, 0, 0, 40},   // compensation clamped to the method's limit
        {40, -30, false, 0, 0, 0},     // within 50 samples: left alone
        {40, 9000, false, 9000, 0, 0}, // beyond 0.1 s: padded even later on
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Delta);
        TAudioSyncInput in;
        in.Method = c.Method;
        in.OutRate = 44100;
        in.SyncCounter = 44100;
        in.SyncTimeSec = (44100 + c.Delta) / 44100.0;
        in.AtStart = c.AtStart;
        const TAudioSyncStep step = DecideAudioSync(in);
        EXPECT_NEAR(double(step.SilenceSamples), double(c.Silence), 1);
        EXPECT_NEAR(double(step.DropSamples), double(c.Drop), 1);
        EXPECT_EQ(step.Compensation, c.Compensation);
    }
}

TEST(AudioOutput, ResamplerDecision) {
    const AVSampleFormat s16 = AV_SAMPLE_FMT_S16;
    EXPECT_TRUE(AudioNeedsResampling(48000, s16, 2, 44100, s16, 2, 0));
    EXPECT_TRUE(AudioNeedsResampling(44100, s16, 1, 44100, s16, 2, 0));
    EXPECT_TRUE(AudioNeedsResampling(44100, AV_SAMPLE_FMT_FLTP, 2, 44100, s16, 2, 0));
    EXPECT_FALSE(AudioNeedsResampling(44100, s16, 2, 44100, s16, 2, 1));
    EXPECT_TRUE(AudioNeedsResampling(44100, s16, 2, 44100, s16, 2, 2));
}

TEST(AudioOutput, VolumeScalesAndClamps) {
    test::LoadEngineLibraries();
    TFramePtr frame(FFApi.av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16;
    frame->nb_samples = 4;
    FFApi.av_channel_layout_default(&frame->ch_layout, 1);
    ASSERT_GE(FFApi.av_frame_get_buffer(frame.get(), 0), 0);
    int16_t* s = reinterpret_cast<int16_t*>(frame->data[0]);
    s[0] = 20000, s[1] = -20000, s[2] = 100, s[3] = -3;
    ApplyVolume(frame.get(), 512);
    EXPECT_EQ(s[0], 32767);
    EXPECT_EQ(s[1], -32768);
    EXPECT_EQ(s[2], 200);
    EXPECT_EQ(s[3], -6);
}

// A block the resampler cannot convert is logged and dropped; with "xerror" it ends the run.
TEST(AudioOutput, ABlockThatCannotBeConvertedIsDroppedUnlessXerror) {
    test::LoadEngineLibraries();
    for (const bool xerror : {false, true}) {
        SCOPED_TRACE(xerror);
        test::TTempDir dir;
        test::TOptionList options = {{"acodec", "pcm_s16le"}};
        if (xerror) options.push_back({"xerror", "1"});
        auto job = MakeTestJob({Fixture("a.mp3")}, dir.Path() + "a.wav", options);
        const TRunHooks hooks;
        TRunState run(*job, hooks);
        SetUpRun(run);
        TRunOutputStream& ost = *run.Outputs[0];
        ost.Resampler.reset(FFApi.swr_alloc()); // never initialised: every conversion fails
        TFramePtr block(FFApi.av_frame_alloc());
        block->format = ost.InSampleFmt;
        block->sample_rate = ost.InSampleRate;
        FFApi.av_channel_layout_copy(&block->ch_layout, &ost.InLayout);
        block->nb_samples = 1152;
        ASSERT_GE(FFApi.av_frame_get_buffer(block.get(), 0), 0);
        test::TLogCapture log;
        if (xerror) {
            try {
                DoAudioOut(run, ost, *ost.Source, block.get());
                ADD_FAILURE() << "no error raised";
            } catch (const TRunError& e) {
                EXPECT_STREQ(e.what(), "av_audio_convert() failed");
            }
        } else {
            EXPECT_NO_THROW(DoAudioOut(run, ost, *ost.Source, block.get()));
            EXPECT_TRUE(log.Logged(llError, "av_audio_convert() failed"));
            EXPECT_EQ(FFApi.av_audio_fifo_size(ost.Fifo.get()), 0);
        }
        ost.Resampler.reset();
    }
}

TEST(VideoOutput, NearestAcceptedSize) {
    test::LoadEngineLibraries();
    struct TCase {
        AVCodecID Codec;
        int W, H, WantW, WantH;
    };
    const TCase cases[] = {
        {AV_CODEC_ID_RV20, 642, 480, 644, 480},  {AV_CODEC_ID_WMV2, 641, 480, 642, 480},
        {AV_CODEC_ID_H263, 641, 479, 704, 576},  {AV_CODEC_ID_MPEG4, 321, 241, 322, 242},
        {AV_CODEC_ID_MPEG4, 320, 240, 320, 240}, {AV_CODEC_ID_RV20, 8, 14, 8, 16},
        {AV_CODEC_ID_RV10, 8, 14, 16, 16},
    };
    for (const TCase& c : cases) {
        int w = c.W, h = c.H;
        EXPECT_EQ(NearestAcceptedSize(c.Codec, AV_PIX_FMT_YUV420P, w, h), c.W != c.WantW || c.H != c.WantH);
        EXPECT_EQ(w, c.WantW);
        EXPECT_EQ(h, c.WantH);
    }
}

} // namespace
} // namespace mw
