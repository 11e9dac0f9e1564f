// The owner's hooks inside a real transcoding run: decoded audio, pictures to the input and output
// video hooks and back, the "vhook" plug-ins, deinterlacing, and the preview through the encoder.
// Pictures are checked by decoding the output with the ffmpeg tool.
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "app/Dispatcher.h"
#include "engine/tasks/FFEncode.h"
#include "engine/options/FFOptionParser.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <numeric>
#include <thread>

namespace mw {
namespace {

using test::Fixture;
using test::MakeTestJob;
using test::ShellQuote;

constexpr int Width = 160, Height = 120;

class RunHooks : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    std::string Out(const std::string& name) { return FDir.Path() + name; }

    static TRunResult Run(TTranscodeJob& job, const TRunHooks& hooks = {}) {
        TRunResult result;
        RunJob(job, hooks, result);
        return result;
    }

    // The output's pictures as 8-bit gray, decoded by the ffmpeg tool.
    static std::vector<std::string> GrayFrames(const std::string& file) {
        int status = 0;
        const std::string data = test::RunCommand(
            "ffmpeg -nostdin -v error -i " + ShellQuote(file) + " -f rawvideo -pix_fmt gray -", status);
        std::vector<std::string> frames;
        const size_t size = static_cast<size_t>(Width) * Height;
        for (size_t at = 0; status == 0 && at + size <= data.size(); at += size)
            frames.push_back(data.substr(at, size));
        return frames;
    }
    static double Mean(const std::string& frame) {
        return std::accumulate(frame.begin(), frame.end(), 0.0,
                               [](double sum, char c) { return sum + static_cast<uint8_t>(c); }) /
               static_cast<double>(frame.size());
    }
    // How far the odd lines stray from the average of their neighbours: large for combed pictures.
    static double Combing(const std::string& frame) {
        double sum = 0;
        auto at = [&](int x, int y) {
            return static_cast<double>(static_cast<uint8_t>(frame[y * Width + x]));
        };
        for (int y = 1; y + 1 < Height; y += 2)
            for (int x = 0; x < Width; ++x)
                sum += std::fabs(at(x, y) - (at(x, y - 1) + at(x, y + 1)) / 2);
        return sum / (Width * (Height / 2));
    }

    test::TTempDir FDir;
};

TEST_F(RunHooks, AudioHookGetsEveryBlockInterleavedBeforeTheVolume) {
    auto job = MakeTestJob({Fixture("left.mp3")}, Out("left.wav"), {{"acodec", "pcm_s16le"}, {"vol", "0"}});
    job->AudioHook = true;
    std::vector<int64_t> times;
    int64_t samples = 0;
    double left = 0, right = 0;
    int rate = 0, channels = 0, format = -1;
    TRunHooks hooks;
    hooks.OnAudioHook = [&](int64_t pts, const void* data, int32_t size, int32_t r, int32_t ch, int32_t fmt) {
        times.push_back(pts);
        rate = r, channels = ch, format = fmt;
        const auto* values = static_cast<const float*>(data);
        const int32_t count = size / static_cast<int32_t>(sizeof(float));
        samples += count / ch;
        for (int32_t i = 0; i + 1 < count; i += 2) {
            left += values[i] * values[i];
            right += values[i + 1] * values[i + 1];
        }
    };
    const TRunResult result = Run(*job, hooks);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(format, AV_SAMPLE_FMT_FLT); // the decoder's planar samples as one block
    EXPECT_NEAR(static_cast<double>(samples), 44100.0, 1152.0 * 2);
    EXPECT_GT(left, 100.0); // "vol" 0 silences the output, not what the hook sees
    EXPECT_LT(right, left * 1e-3);
    for (size_t i = 1; i < times.size(); ++i)
        ASSERT_GT(times[i], times[i - 1]) << "block " << i;
}

TEST_F(RunHooks, VideoHooksPaintThePicturesTheyAreGivenUntilTheyStop) {
    const auto reference = [&] {
        auto job = MakeTestJob({Fixture("v.mp4")}, Out("ref.avi"), {{"vcodec", "mpeg4"}, {"qscale", "2"}});
        EXPECT_FALSE(Run(*job).Failed);
        return GrayFrames(Out("ref.avi"));
    }();
    ASSERT_EQ(reference.size(), 50u);
    ASSERT_LT(Mean(reference[0]), 190.0);

    const struct {
        const char* Name;
        bool Output;    // the output hook, else the input hook
        bool Update;    // the handler's answer
        int StopAfter;  // StopHook at this call; 0 never
        size_t Painted; // pictures that come out white
    } cases[] = {
        {"input", false, true, 0, 50},
        {"input, Update false", false, false, 0, 0},
        {"input, StopHook at 3", false, true, 3, 3},
        {"output", true, true, 0, 50},
        {"output, StopHook at 5", true, true, 5, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string out = Out("hooked" + std::to_string(&c - cases) + ".avi");
        auto job = MakeTestJob({Fixture("v.mp4")}, out, {{"vcodec", "mpeg4"}, {"qscale", "2"}});
        (c.Output ? job->VideoOutputHook : job->VideoInputHook) = true;
        job->HookBitsPixel = 32;
        std::vector<int> numbers;
        std::vector<int64_t> times;
        TRunHooks hooks;
        hooks.OnVideoHook = [&](bool output, THookInfo& info) {
            EXPECT_EQ(output, c.Output);
            ASSERT_EQ(info.Bitmap->BitsPixel(), 32);
            ASSERT_EQ(info.Bitmap->Width(), Width);
            numbers.push_back(info.FrameNumber);
            times.push_back(info.PTS);
            for (int y = 0; y < info.Bitmap->Height(); ++y)
                std::memset(info.Bitmap->ScanLine(y), 0xFF,
                            static_cast<size_t>(info.Bitmap->BytesPerScanLine()));
            info.Update = c.Update;
            info.StopHook = static_cast<int>(numbers.size()) == c.StopAfter;
        };
        const TRunResult result = Run(*job, hooks);
        ASSERT_FALSE(result.Failed) << result.ErrorText;

        const size_t calls = c.StopAfter ? static_cast<size_t>(c.StopAfter) : 50u;
        ASSERT_EQ(numbers.size(), calls);
        for (size_t i = 0; i < calls; ++i) {
            EXPECT_EQ(numbers[i], static_cast<int>(i + 1));
            if (i > 0) {
                EXPECT_GT(times[i], times[i - 1]);
            }
        }
        const std::vector<std::string> frames = GrayFrames(out);
        ASSERT_EQ(frames.size(), reference.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            if (i < c.Painted)
                EXPECT_GT(Mean(frames[i]), 230.0) << "picture " << i;
            else
                EXPECT_NEAR(Mean(frames[i]), Mean(reference[i]), 3.0) << "picture " << i;
        }
    }
}

TEST_F(RunHooks, PluginsSeeEveryPictureUnlessTheInputHookIsConnected) {
    const std::string plugin = MW_TEST_VHOOK;
    for (const bool inputHook : {false, true}) {
        SCOPED_TRACE(inputHook ? "input hook connected" : "plug-ins only");
        auto job = MakeTestJob({Fixture("v.mp4")}, Out(inputHook ? "vhook-in.avi" : "vhook.avi"),
                               {{"vhook", plugin}, {"vcodec", "mpeg4"}});
        void* handle = ::dlopen(plugin.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_TRUE(handle);
        const int* calls = static_cast<const int*>(::dlsym(handle, "ProcessCount"));
        const int* width = static_cast<const int*>(::dlsym(handle, "LastWidth"));
        const int before = *calls;
        int hooked = 0;
        TRunHooks hooks;
        job->VideoInputHook = inputHook;
        hooks.OnVideoHook = [&](bool, THookInfo& info) {
            ++hooked;
            info.Update = false;
        };
        ASSERT_FALSE(Run(*job, hooks).Failed);
        EXPECT_EQ(*calls - before, inputHook ? 0 : 50);
        EXPECT_EQ(hooked, inputHook ? 50 : 0);
        if (!inputHook) {
            EXPECT_EQ(*width, Width);
        }
        ::dlclose(handle);
    }
}

TEST_F(RunHooks, CopiedStreamsRefuseWhatNeedsDecodedFrames) {
    const std::string plugin = MW_TEST_VHOOK;
    const struct {
        test::TOptionList Options;
        bool TTranscodeJob::*Hook; // nullptr: none
        const char* Error;
    } cases[] = {
        {{{"acodec", "copy"}, {"vn", ""}},
         &TTranscodeJob::AudioHook,
         "-acodec copy and AudioHook are incompatible (frames are not decoded)"},
        {{{"vcodec", "copy"}, {"an", ""}},
         &TTranscodeJob::VideoOutputHook,
         "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
        {{{"vhook", plugin}, {"vcodec", "copy"}, {"an", ""}},
         nullptr,
         "-vcodec copy and -vhook are incompatible (frames are not decoded)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Error);
        auto job = MakeTestJob({Fixture("av.avi")}, Out("copy.avi"), c.Options);
        if (c.Hook) (*job).*c.Hook = true;
        const TRunResult result = Run(*job);
        EXPECT_TRUE(result.Failed);
        EXPECT_EQ(result.ErrorText, c.Error);
        EXPECT_FALSE(std::filesystem::exists(Out("copy.avi")));
    }
}

TEST_F(RunHooks, DeinterlacingRemovesCombingAndKeepsEveryPicture) {
    double combing[2] = {};
    for (const bool deinterlace : {false, true}) {
        const std::string out = Out(deinterlace ? "progressive.avi" : "combed.avi");
        test::TOptionList options = {{"vcodec", "mpeg4"}, {"qscale", "2"}};
        if (deinterlace) options.insert(options.begin(), {"deinterlace", ""});
        auto job = MakeTestJob({Fixture("interlaced.avi")}, out, options);
        ASSERT_FALSE(Run(*job).Failed);
        const std::vector<std::string> frames = GrayFrames(out);
        ASSERT_EQ(frames.size(), 25u);
        for (const auto& frame : frames)
            combing[deinterlace] += Combing(frame) / static_cast<double>(frames.size());
    }
    EXPECT_GT(combing[0], 10.0); // the fixture is combed
    EXPECT_LT(combing[1], combing[0] / 3);
}

TEST_F(RunHooks, PicturesTheDeinterlacerCannotTakeGoOnAsDecoded) {
    // A packed RGB input: the line filter takes planar 8-bit pictures only.
    const std::string input = Out("rgb.avi");
    int status = 0;
    test::RunCommand("ffmpeg -nostdin -v error -y -i " + ShellQuote(Fixture("v.mp4")) +
                         " -frames:v 5 -c:v rawvideo -pix_fmt bgr24 " + ShellQuote(input),
                     status);
    ASSERT_EQ(status, 0);
    test::TLogCapture log(llError);
    auto job = MakeTestJob({input}, Out("rgb-out.avi"), {{"deinterlace", ""}, {"vcodec", "mpeg4"}});
    const TRunResult result = Run(*job);
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_TRUE(log.Logged(llError, "Deinterlacing failed."));
    EXPECT_EQ(GrayFrames(Out("rgb-out.avi")).size(), 5u);
}

// Through the encoder component: the output record's hook fields reach the run, previews come at
// most every 100 ms and only while a preview flag is on.
class EncoderHooks : public RunHooks {
  protected:
    void SetUp() override { SetMainThreadDispatcher(&Dispatcher); }
    void TearDown() override { SetMainThreadDispatcher(nullptr); }
    TQueueDispatcher Dispatcher;
};

TEST_F(EncoderHooks, RecordHooksAndPreviewReachTheRun) {
    for (const bool previewOn : {true, false}) {
        SCOPED_TRACE(previewOn ? "PreviewBitmap on" : "both preview flags off");
        TFFEncoder encoder;
        encoder.SetPreviewBitmap(previewOn);
        std::vector<std::chrono::steady_clock::time_point> previews;
        std::vector<int> previewBits;
        int pictures = 0, audioBlocks = 0;
        encoder.OnPreviewBitmap = [&](const void*, const TPreviewInfo& info) {
            previews.push_back(std::chrono::steady_clock::now());
            previewBits.push_back(info.Bitmap->BitsPixel());
        };
        encoder.OnVideoOutputHook = [&](const void*, PHookInfo info) {
            ++pictures;
            info->Update = false;
            // Slow enough that a run lasts several preview periods.
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
        };
        encoder.OnAudioHook = [&](const void*, int32_t, int64_t, const void*, int32_t, int32_t, int32_t,
                                  int32_t) { ++audioBlocks; };
        ASSERT_EQ(encoder.AddTask(Fixture("av.avi")), 0) << encoder.LastErrorMessage();
        TOutputOptions output;
        InitOutputOptions(output);
        output.VideoCodec = "mpeg4";
        output.AudioCodec = "mp2";
        output.VideoOutputHook = true;
        output.AudioHook = true;
        output.HookBitsPixel = 16;
        ASSERT_TRUE(encoder.SetOutputFile(0, Out(previewOn ? "enc-preview.avi" : "enc.avi"), &output))
            << encoder.LastErrorMessage();
        const auto start = std::chrono::steady_clock::now();
        encoder.StartTask(0);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(encoder.AllDone());
        EXPECT_EQ(pictures, 50);
        EXPECT_GT(audioBlocks, 0);
        if (!previewOn) {
            EXPECT_TRUE(previews.empty());
            continue;
        }
        ASSERT_GE(previews.size(), 2u); // 50 pictures of at least 8 ms: 400 ms or more
        // At most one per 100 ms of the run, however long a loaded machine made it.
        EXPECT_LE(previews.size(), static_cast<size_t>(elapsed / std::chrono::milliseconds(100)) + 1);
        for (size_t i = 1; i < previews.size(); ++i)
            EXPECT_GE(previews[i] - previews[i - 1], std::chrono::milliseconds(99)) << "preview " << i;
        for (int bits : previewBits)
            EXPECT_EQ(bits, 16);
    }
}

} // namespace
} // namespace mw
