// Encoders on worker threads: the same packets as the one-thread run, the choice of when to use
// them, and a worker's failure reaching the run's thread with its text.
#include "EngineFixtures.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/run/FFPipeline.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace mw {
namespace {

using test::Fixture;
using test::MakeTestJob;
using test::TOptionList;

class RunPipeline : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    std::string Out(const std::string& name) { return FDir.Path() + name; }

    // Every packet of the file (stream, times, size, flags, data hash), sorted: the interleaving
    // of the streams may differ, what each stream holds may not.
    static std::vector<std::string> Packets(const std::string& file) {
        int status = 0;
        const std::string text = test::RunCommand(
            "ffprobe -v error -show_entries packet=stream_index,pts,dts,duration,size,flags "
            "-show_data_hash MD5 -show_packets -of csv " +
                test::ShellQuote(file),
            status);
        std::vector<std::string> lines;
        std::stringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    static std::string Contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    test::TTempDir FDir;
};

struct TSameCase {
    const char* Name;
    const char* Input;
    TOptionList Options;
    const char* Extension;
};

TEST_F(RunPipeline, WorkersWriteTheSamePacketsAsOneThread) {
    const std::vector<TSameCase> cases = {
        {"mpeg4-mp3", "av.avi", {{"vcodec", "mpeg4"}, {"acodec", "libmp3lame"}}, "avi"},
        {"x264-aac-scaled", "av.avi", {{"vcodec", "libx264"}, {"s", "96x72"}, {"acodec", "aac"}}, "mp4"},
        {"filtered-resampled",
         "av.avi",
         {{"vcodec", "mpeg4"}, {"vf", "hflip"}, {"acodec", "mp2"}, {"ar", "22050"}, {"async", "2"}},
         "avi"},
        {"limited", "join10.mp4", {{"vcodec", "mpeg4"}, {"vframes", "30"}, {"acodec", "aac"}, {"t", "3"}}, "mkv"},
        {"pcm", "av.avi", {{"vcodec", "mjpeg"}, {"acodec", "pcm_s16le"}}, "mov"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> outputs;
        for (const bool oneThread : {true, false}) {
            const std::string out = Out(std::string(c.Name) + (oneThread ? "-one." : "-workers.") + c.Extension);
            auto job = MakeTestJob({Fixture(c.Input)}, out, c.Options);
            job->OneThreadRun = oneThread;
            TRunResult result;
            ASSERT_TRUE(RunJob(*job, {}, result)) << result.ErrorText;
            EXPECT_TRUE(result.Finished);
            outputs.push_back(out);
        }
        const auto one = Packets(outputs[0]);
        EXPECT_GT(one.size(), 10u);
        EXPECT_EQ(Packets(outputs[1]), one);
    }
}

TEST_F(RunPipeline, FirstPassWritesTheSameStatistics) {
    std::vector<std::string> logs;
    for (const bool oneThread : {true, false}) {
        const std::string prefix = Out(oneThread ? "one" : "workers");
        auto job = MakeTestJob({Fixture("av.avi")}, prefix + ".avi",
                               {{"vcodec", "mpeg4"}, {"pass", "1"}, {"passlogfile", prefix}, {"acodec", "mp2"}});
        job->OneThreadRun = oneThread;
        TRunResult result;
        ASSERT_TRUE(RunJob(*job, {}, result)) << result.ErrorText;
        logs.push_back(Contents(prefix + "-0.log"));
    }
    EXPECT_FALSE(logs[0].empty());
    EXPECT_EQ(logs[1], logs[0]);
}

TEST(RunPipelineChoice, WorkersOnlyWhereTheyHelpAndChangeNothing) {
    struct TRow {
        TPipelineFacts Facts;
        TPipelineChoice Expected;
    };
    const TRow rows[] = {
        {{false, false, false, 2}, TPipelineChoice::Workers},
        {{false, false, false, 3}, TPipelineChoice::Workers},
        {{false, false, false, 1}, TPipelineChoice::OneThread},
        {{false, false, false, 0}, TPipelineChoice::OneThread},
        {{true, false, false, 2}, TPipelineChoice::OneThread},
        {{false, true, false, 2}, TPipelineChoice::OneThread},
        {{false, false, true, 2}, TPipelineChoice::OneThread},
        {{false, false, false, 2, true}, TPipelineChoice::OneThread},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ChoosePipeline(row.Facts), row.Expected)
            << row.Facts.OneThreadAsked << row.Facts.Join << row.Facts.VideoStatsFile << row.Facts.EncodedStreams
            << row.Facts.FileSizeLimit;
}

TEST_F(RunPipeline, SliceThreadedPictureEncodersLeaveACoreToTheWorkers) {
    const AVCodec* mpeg4 = FFApi.avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    const AVCodec* x264 = FFApi.avcodec_find_encoder_by_name("libx264");
    const AVCodec* mp2 = FFApi.avcodec_find_encoder(AV_CODEC_ID_MP2);
    ASSERT_TRUE(mpeg4 && x264 && mp2);
    const TPipelineFacts workers{false, false, false, 2}, asked{true, false, false, 2},
        join{false, true, false, 2};
    struct TRow {
        TPipelineFacts Facts;
        const AVCodec* Codec;
        int CoderThreads, Cores, Expected;
    };
    const TRow rows[] = {
        {workers, mpeg4, 0, 2, 1}, {workers, mpeg4, 0, 8, 7}, {asked, mpeg4, 0, 2, 1},
        {join, mpeg4, 0, 2, 0},    {workers, mpeg4, 3, 2, 3}, {workers, x264, 0, 2, 0},
        {workers, mp2, 0, 2, 0},   {workers, mpeg4, 0, 1, 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(EncoderThreads(row.Facts, row.Codec, row.CoderThreads, row.Cores), row.Expected)
            << row.Codec->name << " cores " << row.Cores << " asked " << row.Facts.OneThreadAsked;
}

// An encoder that refuses a frame on its worker fails the run on the run's thread with the text
// the one-thread run gives.
TEST_F(RunPipeline, EncoderRefusalOnTheWorkerRaisesItsText) {
    const AVCodec* codec = FFApi.avcodec_find_encoder(AV_CODEC_ID_MP2);
    ASSERT_NE(codec, nullptr);
    TCodecContextPtr enc(FFApi.avcodec_alloc_context3(codec));
    enc->sample_rate = 44100;
    enc->sample_fmt = AV_SAMPLE_FMT_S16;
    enc->bit_rate = 128000;
    FFApi.av_channel_layout_default(&enc->ch_layout, 2);
    ASSERT_GE(FFApi.avcodec_open2(enc.get(), codec, nullptr), 0);
    // More samples than the encoder's frame: refused.
    TFramePtr frame(FFApi.av_frame_alloc());
    frame->format = enc->sample_fmt;
    frame->sample_rate = enc->sample_rate;
    FFApi.av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    frame->nb_samples = enc->frame_size * 2;
    ASSERT_GE(FFApi.av_frame_get_buffer(frame.get(), 0), 0);
    FFApi.av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, 2, enc->sample_fmt);

    TTranscodeJob job;
    TRunState run(job, TRunHooks{});
    TRunOutputStream ost;
    ost.Encoder = enc.get();
    TEncodeWorker worker(enc.get(), 2, 2);
    std::string text;
    try {
        worker.Submit(run, ost, frame.get(), "Audio encoding failed");
        worker.Quiesce(run, ost);
    } catch (const TRunError& e) {
        text = e.what();
    }
    EXPECT_EQ(text, "Audio encoding failed");
}

} // namespace
} // namespace mw
