#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "LoopbackSocket.h"
#include "engine/FFBlockingCall.h"
#include "engine/FFInputFile.h"
#include "engine/FFJob.h"
#include "engine/FFLog.h"
#include "engine/FFOptionParser.h"
#include "engine/FFOutputFile.h"

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

} // namespace
} // namespace mw
