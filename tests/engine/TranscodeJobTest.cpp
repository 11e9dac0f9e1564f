#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "LoopbackSocket.h"
#include "engine/job/FFBlockingCall.h"
#include "engine/job/FFInputFile.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionParser.h"
#include "engine/job/FFOutputFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace mw {
namespace {

using ::testing::HasSubstr;

class TranscodeJobTest : public ::testing::Test {
  protected:
    void SetUp() override { test::LoadEngineLibraries(); }
    void Apply(const char* name, const std::string& value) {
        ASSERT_TRUE(ParseOption(FJob, name, value)) << FJob.BuildErrorText;
    }
    test::TLogCapture FLog{llVerbose};
    test::TTempDir FDir;
    TTranscodeJob FJob;
};

TEST_F(TranscodeJobTest, OpeningErrorsGiveTheLibraryTexts) {
    const std::string missing = FDir.Path() + "missing.avi";
    EXPECT_FALSE(OpenInputFile(FJob, missing));
    EXPECT_EQ(FJob.BuildErrorText, missing + ": No such file or directory");

    Apply("f", "nosuchformat");
    EXPECT_FALSE(OpenInputFile(FJob, test::Fixture("av.avi")));
    EXPECT_EQ(FJob.BuildErrorText, "Unknown input format: \"nosuchformat\"");
    EXPECT_EQ(OpenOutputFile(FJob, FDir.Path() + "out.avi"), -1);
    EXPECT_EQ(FJob.BuildErrorText, "Requested output format 'nosuchformat' is not a suitable output format");
    Apply("f", "");

    Apply("acodec", "nosuchcodec");
    EXPECT_FALSE(OpenInputFile(FJob, test::Fixture("av.avi")));
    EXPECT_EQ(FJob.BuildErrorText, "Unknown decoder 'nosuchcodec'");
    Apply("acodec", "mpeg4");
    EXPECT_FALSE(OpenInputFile(FJob, test::Fixture("av.avi")));
    EXPECT_EQ(FJob.BuildErrorText, "Invalid decoder type 'mpeg4'");
    Apply("acodec", "");

    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("av.avi"))) << FJob.BuildErrorText;
    const std::string unknownExt = FDir.Path() + "out.nosuchext";
    EXPECT_EQ(OpenOutputFile(FJob, unknownExt), -1);
    EXPECT_EQ(FJob.BuildErrorText, "Unable to find a suitable output format for '" + unknownExt + "'");
    const std::string noFolder = FDir.Path() + "no/such/folder/out.avi";
    EXPECT_EQ(OpenOutputFile(FJob, noFolder), -1);
    EXPECT_EQ(FJob.BuildErrorText, noFolder + ": No such file or directory");
    Apply("vcodec", "nosuchencoder");
    EXPECT_EQ(OpenOutputFile(FJob, FDir.Path() + "out.avi"), -1);
    EXPECT_EQ(FJob.BuildErrorText, "new_video_stream fail: Unknown encoder 'nosuchencoder'");
    // Failures leave the job as it was; a corrected call succeeds.
    EXPECT_EQ(FJob.Inputs.size(), 1u);
    EXPECT_TRUE(FJob.Outputs.empty());
    Apply("vcodec", "mpeg4");
    EXPECT_EQ(OpenOutputFile(FJob, FDir.Path() + "out.avi"), 1) << FJob.BuildErrorText;
}

TEST_F(TranscodeJobTest, InputRefillsTheOptionStateAndClearsPerFileValues) {
    Apply("acodec", "mp3float");
    Apply("ss", "0.5");
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("av.avi"))) << FJob.BuildErrorText;
    const auto& state = FJob.Options;
    EXPECT_EQ(state.FrameWidth, 320);
    EXPECT_EQ(state.FrameHeight, 240);
    EXPECT_EQ(state.FrameRate.num / state.FrameRate.den, 25);
    EXPECT_NEAR(state.FrameAspectRatio, 4.0 / 3.0, 1e-6);
    EXPECT_EQ(state.AudioSampleRate, 44100);
    EXPECT_EQ(state.AudioChannels, 1);
    EXPECT_EQ(state.CodecName[skAudio], "");
    EXPECT_EQ(state.StartTimeUs, 0);
    ASSERT_EQ(FJob.Inputs.size(), 1u);
    const auto& input = FJob.Inputs[0];
    ASSERT_EQ(input.Streams.size(), 2u);
    EXPECT_STREQ(input.Streams[1].Decoder->name, "mp3float");
    EXPECT_NEAR(input.TsOffsetUs, -500000, 1);
    EXPECT_NEAR(FJob.ExpectedTotalUs, 2000000, 100000);
}

TEST_F(TranscodeJobTest, ProgramIdAndTheBeforeFindStreamInfoCallback) {
    int status = 0;
    const std::string ts = FDir.Path() + "program.ts";
    test::RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg2video "
        "-mpegts_service_id 7 " +
            test::ShellQuote(ts),
        status);
    ASSERT_EQ(status, 0);
    AVFormatContext* seen = nullptr;
    FJob.Callbacks.BeforeFindStreamInfo = [&seen](AVFormatContext* context) { seen = context; };
    Apply("programid", "8");
    EXPECT_FALSE(OpenInputFile(FJob, ts));
    EXPECT_EQ(FJob.BuildErrorText, "Specified program id not found");
    Apply("programid", "7");
    ASSERT_TRUE(OpenInputFile(FJob, ts)) << FJob.BuildErrorText;
    EXPECT_EQ(seen, FJob.Inputs[0].Context.get());
    EXPECT_FALSE(FJob.Inputs[0].Streams.at(0).Discard);
}

TEST_F(TranscodeJobTest, AudioOnlyInputIntoVideoContainerMakesOnlyAudio) {
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    ASSERT_EQ(OpenOutputFile(FJob, FDir.Path() + "out.avi"), 1) << FJob.BuildErrorText;
    const auto& streams = FJob.Outputs[0].Streams;
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].Kind, AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(FJob.Outputs[0].Context->nb_streams, 1u);
    // Stream records are cleared after the stream, the codec names with them.
    Apply("vn", "1");
    Apply("acodec", "copy");
    ASSERT_EQ(OpenOutputFile(FJob, FDir.Path() + "copy.mkv"), 2) << FJob.BuildErrorText;
    ASSERT_EQ(FJob.Outputs[1].Streams.size(), 1u);
    EXPECT_TRUE(FJob.Outputs[1].Streams[0].StreamCopy);
    EXPECT_FALSE(FJob.Options.StreamCopy[skAudio]);
}

TEST_F(TranscodeJobTest, MissingDefaultEncoderFallsBackToOneTheMuxerTakes) {
    if (FFApi.avcodec_find_encoder(AV_CODEC_ID_AMR_NB)) GTEST_SKIP() << "this build has an AMR-NB encoder";
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    ASSERT_EQ(OpenOutputFile(FJob, FDir.Path() + "out.3gp"), 1) << FJob.BuildErrorText;
    const auto& stream = FJob.Outputs[0].Streams.at(0);
    EXPECT_EQ(stream.Kind, AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(stream.Codec);
    EXPECT_EQ(
        FFApi.avformat_query_codec(FJob.Outputs[0].Context->oformat, stream.Codec->id, FF_COMPLIANCE_NORMAL),
        1);
    EXPECT_TRUE(FLog.LoggedPart("Default audio encoder amr_nb is not available, using "));
}

TEST_F(TranscodeJobTest, SampleRateSnapsToTheClosestSupported) {
    const struct {
        const char* Codec;
        const char* Requested;
        int Expected;
    } Cases[] = {{"aac", "22500", 22050}, {"aac", "44800", 44100}, {"libfaac", "48000", 48000}};
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    for (const auto& c : Cases) {
        FLog.Lines.clear();
        Apply("acodec", c.Codec);
        Apply("ar", c.Requested);
        ASSERT_GT(OpenOutputFile(FJob, FDir.Path() + c.Requested + ".m4a"), 0) << FJob.BuildErrorText;
        const auto& stream = FJob.Outputs.back().Streams.at(0);
        EXPECT_STREQ(stream.Codec->name, "aac"); // "libfaac" is served by the native encoder
        EXPECT_EQ(stream.Encoder->sample_rate, c.Expected);
        EXPECT_EQ(FLog.Logged(llWarning, "Requested sampling rate unsupported using closest supported (" +
                                             std::to_string(c.Expected) + ")"),
                  std::to_string(c.Expected) != c.Requested);
    }
}

TEST_F(TranscodeJobTest, VideoStreamParameters) {
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("av.avi")));
    Apply("vcodec", "mpeg1video");
    Apply("r", "26");
    Apply("aspect", "16:9");
    Apply("pix_fmt", "rgb24");
    Apply("rc_override", "0,10,2/11,20,-50");
    ASSERT_EQ(OpenOutputFile(FJob, FDir.Path() + "out.mpg"), 1) << FJob.BuildErrorText;
    const AVCodecContext* ctx = FJob.Outputs[0].Streams.at(0).Encoder.get();
    EXPECT_EQ(ctx->time_base.num, 1); // 26 snapped to 25, which the encoder supports
    EXPECT_EQ(ctx->time_base.den, 25);
    EXPECT_EQ(ctx->pix_fmt, AV_PIX_FMT_YUV420P); // rgb24 is not listed, the first listed is taken
    EXPECT_EQ(ctx->sample_aspect_ratio.num * 320 * 9, ctx->sample_aspect_ratio.den * 240 * 16);
    ASSERT_EQ(ctx->rc_override_count, 2);
    EXPECT_EQ(ctx->rc_override[1].end_frame, 20);
    EXPECT_FLOAT_EQ(ctx->rc_override[1].quality_factor, 0.5f);
    EXPECT_EQ(FJob.Options.FramePixFmt, -1); // cleared with the video stream

    Apply("rc_override", "1,2");
    Apply("vcodec", "mpeg4");
    EXPECT_EQ(OpenOutputFile(FJob, FDir.Path() + "bad.avi"), -1);
    EXPECT_EQ(FJob.BuildErrorText, "error parsing rc_override");
}

// A name that is not UTF-8 goes through the engine's own I/O; metadata reaches the output.
TEST_F(TranscodeJobTest, OutputNamesAndMetadata) {
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    Apply("metadata", "title=Caf\xc3\xa9");
    Apply("timestamp", "2020-01-02 03:04:05Z");
    const std::string latin1 = FDir.Path() + "caf\xe9.mkv";
    ASSERT_EQ(OpenOutputFile(FJob, latin1), 1) << FJob.BuildErrorText;
    EXPECT_TRUE(FJob.Outputs[0].IO);
    EXPECT_TRUE(std::filesystem::exists(latin1));
    const AVDictionary* metadata = FJob.Outputs[0].Context->metadata;
    EXPECT_STREQ(FFApi.av_dict_get(metadata, "title", nullptr, 0)->value, "Caf\xc3\xa9");
    EXPECT_STREQ(FFApi.av_dict_get(metadata, "creation_time", nullptr, 0)->value,
                 "2020-01-02T03:04:05.000000Z");
    EXPECT_TRUE(FJob.Options.Metadata.empty()); // cleared with the output
}

TEST_F(TranscodeJobTest, Targets) {
    Apply("target", "pal-dvd");
    EXPECT_EQ(FJob.Options.FrameWidth, 720);
    EXPECT_EQ(FJob.Options.FrameHeight, 576);
    EXPECT_EQ(FJob.Options.FrameRate.num, 25);
    EXPECT_EQ(FJob.Options.CodecName[skVideo], "mpeg2video");
    EXPECT_EQ(FJob.Options.CodecName[skAudio], "ac3");
    EXPECT_EQ(FJob.Options.AudioSampleRate, 48000);
    EXPECT_TRUE(FLog.Logged(llInfo, "Assuming 16:9 for aspect ratio"));

    // An NTSC input decides "auto".
    int status = 0;
    const std::string ntsc = FDir.Path() + "ntsc.avi";
    test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=30000/1001:duration=1 "
                     "-c:v mpeg4 " +
                         test::ShellQuote(ntsc),
                     status);
    ASSERT_EQ(status, 0);
    TTranscodeJob job;
    ASSERT_TRUE(OpenInputFile(job, ntsc)) << job.BuildErrorText;
    ASSERT_TRUE(ParseOption(job, "target", "dvd")) << job.BuildErrorText;
    EXPECT_EQ(job.Options.FrameWidth, 720);
    EXPECT_EQ(job.Options.FrameHeight, 480);
    EXPECT_EQ(job.Options.FrameRate.num, 30000);
    EXPECT_TRUE(FLog.Logged(llVerbose, "Assuming NTSC for target."));
    ASSERT_EQ(OpenOutputFile(job, FDir.Path() + "dvd.vob"), 1) << job.BuildErrorText;
    EXPECT_EQ(job.Outputs[0].Streams.at(0).Encoder->bit_rate, 6000000);
    EXPECT_EQ(job.Outputs[0].Streams.at(0).Encoder->gop_size, 18);

    // Nothing decides: the fallback word.
    TTranscodeJob audioOnly;
    ASSERT_TRUE(ParseOption(audioOnly, "target", "vcd"));
    EXPECT_EQ(audioOnly.Options.FrameHeight, 240); // "auto" falls back to NTSC
}

// A server that accepts the connection but never answers: the open ends after the time limit, or
// at once when the job is stopped from another thread.
TEST_F(TranscodeJobTest, UnansweringNetworkInputEndsOnTimeLimitOrStop) {
    int port = 0;
    const int server = test::BindLoopbackSocket(SOCK_STREAM, port);
    ASSERT_GE(server, 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/stream.avi";
    FJob.TimeLimitMs = 300;
    EXPECT_FALSE(OpenInputFile(FJob, url));
    EXPECT_EQ(FJob.BuildErrorText, url + ": Immediate exit requested");
    EXPECT_TRUE(FLog.Logged(llInfo, "connecting/reading/writing timeout"));

    TTranscodeJob stopped;
    stopped.TimeLimitMs = 60000;
    std::thread stopper([&stopped] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RequestStopBlocking(stopped);
    });
    EXPECT_FALSE(OpenInputFile(stopped, url));
    stopper.join();
    EXPECT_EQ(stopped.BuildErrorText, url + ": Immediate exit requested");
    EXPECT_TRUE(FLog.Logged(llInfo, "connecting/reading/writing canceled"));
    ::close(server);
}

// What lies at an output's name before the opening, and what the opening must do with it: a new
// file is made exclusively; only with overwriting on is a regular file replaced; a link is never
// followed, whether it dangles or not.
TEST_F(TranscodeJobTest, OutputFilesAreNewOrReplacedRegularFilesNeverLinks) {
    enum TAtName { Nothing, RegularFile, Folder, DanglingLink, LinkToFile };
    const struct {
        TAtName At;
        bool Overwrite;
        const char* Error; // "" when the opening succeeds
    } cases[] = {
        {Nothing, false, ""},
        {Nothing, true, ""},
        {RegularFile, false, ": File exists"},
        {RegularFile, true, ""},
        {Folder, false, ": File exists"},
        {Folder, true, ": Not a regular file, it is not replaced"},
        {DanglingLink, false, ": File exists"},
        {DanglingLink, true, ": Not a regular file, it is not replaced"},
        {LinkToFile, false, ": File exists"},
        {LinkToFile, true, ": Not a regular file, it is not replaced"},
    };
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3"))) << FJob.BuildErrorText;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.At) + (c.Overwrite ? " overwrite" : ""));
        const std::string dir = FDir.Path() + std::to_string(++n) + "/";
        std::filesystem::create_directories(dir + "elsewhere");
        const std::string name = dir + "out.mp3";
        if (c.At == RegularFile) FDir.Write(std::to_string(n) + "/out.mp3", "mine");
        if (c.At == Folder) std::filesystem::create_directory(name);
        if (c.At == LinkToFile) FDir.Write(std::to_string(n) + "/elsewhere/old.txt", "mine");
        if (c.At == DanglingLink) std::filesystem::create_symlink("elsewhere/new.txt", name);
        if (c.At == LinkToFile) std::filesystem::create_symlink("elsewhere/old.txt", name);
        FJob.OverwriteOutputs = c.Overwrite;
        const int opened = OpenOutputFile(FJob, name);
        if (*c.Error) {
            EXPECT_EQ(opened, -1);
            EXPECT_EQ(FJob.BuildErrorText, name + c.Error);
        } else {
            ASSERT_GT(opened, 0) << FJob.BuildErrorText;
            EXPECT_TRUE(FJob.Outputs.back().Created);
            EXPECT_EQ(std::filesystem::file_size(name), 0u); // a replaced file is emptied
        }
        EXPECT_FALSE(std::filesystem::exists(dir + "elsewhere/new.txt"));
        if (c.At == LinkToFile) {
            EXPECT_EQ(FDir.Read(std::to_string(n) + "/elsewhere/old.txt"), "mine");
        }
        if (c.At == RegularFile && !c.Overwrite) {
            EXPECT_EQ(FDir.Read(std::to_string(n) + "/out.mp3"), "mine");
        }
    }
}

// An output that is one of the job's inputs is refused whatever its spelling, even with
// overwriting on: the run would read what it is destroying.
TEST_F(TranscodeJobTest, AnOutputThatIsAnInputIsRefused) {
    const std::string input = FDir.Path() + "in.wav";
    std::filesystem::copy_file(test::Fixture("mono44k.wav"), input);
    std::filesystem::create_hard_link(input, FDir.Path() + "hard.wav");
    std::filesystem::create_symlink("in.wav", FDir.Path() + "soft.wav");
    std::filesystem::create_directory(FDir.Path() + "sub");
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    ASSERT_TRUE(OpenInputFile(FJob, input)) << FJob.BuildErrorText;
    FJob.OverwriteOutputs = true;
    for (const std::string& name :
         {input, FDir.Path() + "sub/../in.wav", FDir.Path() + "hard.wav", FDir.Path() + "soft.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OpenOutputFile(FJob, name), -1);
        EXPECT_EQ(FJob.BuildErrorText, "Output " + name + " same as Input #1");
    }
    EXPECT_EQ(std::filesystem::file_size(input), std::filesystem::file_size(test::Fixture("mono44k.wav")));
}

// The encoder's task building only checks its outputs: the answer is the file system's, and
// nothing is left behind.
TEST_F(TranscodeJobTest, CheckingAnOutputCreatesNothing) {
    FDir.Write("taken.mp3", "mine");
    const std::string longName = FDir.Path() + std::string(300, 'n') + ".mp3";
    const struct {
        std::string Name;
        std::string Error;
    } cases[] = {
        {FDir.Path() + "free.mp3", ""},
        {FDir.Path() + "taken.mp3", FDir.Path() + "taken.mp3: File exists"},
        {FDir.Path() + "no/folder/x.mp3", FDir.Path() + "no/folder/x.mp3: No such file or directory"},
        {longName, longName + ": File name too long"},
    };
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    FJob.CheckOutputsOnly = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const int opened = OpenOutputFile(FJob, c.Name);
        EXPECT_EQ(opened > 0, c.Error.empty()) << FJob.BuildErrorText;
        if (!c.Error.empty()) {
            EXPECT_EQ(FJob.BuildErrorText, c.Error);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(FDir.Path() + "free.mp3"));
    EXPECT_EQ(FDir.Read("taken.mp3"), "mine");
    ASSERT_EQ(FJob.Outputs.size(), 1u);
    EXPECT_FALSE(FJob.Outputs[0].Created);
}

TEST_F(TranscodeJobTest, CheckingAnOutputInAReadOnlyFolderFails) {
    std::filesystem::create_directory(FDir.Path() + "ro");
    test::TReadOnlyFolder readOnly(FDir.Path() + "ro");
    if (!readOnly.Ok()) GTEST_SKIP() << readOnly.Why();
    ASSERT_TRUE(OpenInputFile(FJob, test::Fixture("a.mp3")));
    FJob.CheckOutputsOnly = true;
    const std::string name = FDir.Path() + "ro/x.mp3";
    EXPECT_EQ(OpenOutputFile(FJob, name), -1);
    const std::string reason = geteuid() == 0 ? "Read-only file system" : "Permission denied";
    EXPECT_EQ(FJob.BuildErrorText, name + ": " + reason);
}

} // namespace
} // namespace mw
