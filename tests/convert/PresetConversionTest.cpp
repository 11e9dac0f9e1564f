// Every preset converts: one short synthetic clip through each of the presets, in per-file mode,
// two tasks at a time, each output checked with ffprobe against what its preset asks for.
#include "../app/TempDir.h"
#include "../engine/EngineFixtures.h"

#include "app/Dispatcher.h"
#include "app/UtilFuncs.h"
#include "engine/tasks/FFEncode.h"
#include "presets/PresetCatalogue.h"
#include "presets/PresetOptions.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

namespace mw {
namespace {

using namespace std::chrono_literals;

// Encoder name -> the codec name ffprobe reports.
const std::map<std::string, std::string> ProbeCodecName = {
    {"libx264", "h264"},
    {"mpeg4", "mpeg4"},
    {"h263", "h263"},
    {"libtheora", "theora"},
    {"mjpeg", "mjpeg"},
    {"mpeg1video", "mpeg1video"},
    {"mpeg2video", "mpeg2video"},
    {"rawvideo", "rawvideo"},
    {"rv20", "rv20"},
    {"svq1", "svq1"},
    {"wmv2", "wmv2"},
    {"libfaac", "aac"},
    {"libmp3lame", "mp3"},
    {"libvorbis", "vorbis"},
    {"mp2", "mp2"},
    {"pcm_s16le", "pcm_s16le"},
    {"pcm_s24le", "pcm_s24le"},
    {"pcm_s32le", "pcm_s32le"},
    {"flac", "flac"},
    {"wmav2", "wmav2"},
    {"adpcm_ima_qt", "adpcm_ima_qt"},
};

// Sample rates of the encoders that take only some; the engine picks the closest.
const std::map<std::string, std::vector<int>> SupportedRates = {
    {"libfaac", {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350}},
    {"libmp3lame", {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000}},
    {"mp2", {44100, 48000, 32000, 22050, 24000, 16000}},
};

// Container extension -> a name ffprobe's format_name holds.
const std::map<std::string, std::string> ProbeFormat = {
    {".avi", "avi"}, {".mp4", "mp4"}, {".flv", "flv"}, {".swf", "swf"},   {".mpg", "mpeg"}, {".rm", "rm"},
    {".wmv", "asf"}, {".mov", "mov"}, {".3gp", "3gp"}, {".wav", "wav"},   {".mp3", "mp3"},  {".wma", "asf"},
    {".ogg", "ogg"}, {".aac", "aac"}, {".m4a", "m4a"}, {".flac", "flac"}, {".mp2", "mp"},
};

constexpr int SourceRate = 48000;
constexpr int SourceChannels = 2;

// The audio encoder a container takes when the preset names none (for its sample rates).
const std::map<std::string, std::string> DefaultAudioEncoder = {
    {".m4a", "libfaac"},    {".mp4", "libfaac"},    {".mov", "libfaac"}, {".aac", "libfaac"},
    {".mp3", "libmp3lame"}, {".flv", "libmp3lame"}, {".mp2", "mp2"},
};

int ClosestRate(std::string encoder, const std::string& extension, int wanted) {
    if (encoder.empty() && DefaultAudioEncoder.count(extension)) encoder = DefaultAudioEncoder.at(extension);
    const auto it = SupportedRates.find(encoder);
    if (it == SupportedRates.end()) return wanted;
    int best = it->second.front();
    for (int rate : it->second)
        if (std::abs(rate - wanted) < std::abs(best - wanted)) best = rate;
    return best;
}

double RateValue(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return std::stod(text);
    const double den = std::stod(text.substr(slash + 1));
    return den == 0 ? 0 : std::stod(text.substr(0, slash)) / den;
}

// Size and rate a disc target sets, by TargetType and norm (1 PAL, 2 NTSC; auto decides PAL here).
void TargetPicture(int type, int norm, std::string& size, std::string& rate) {
    static const char* const pal[] = {"", "352x288", "480x576", "720x576"};
    static const char* const ntsc[] = {"", "352x240", "480x480", "720x480"};
    size = norm == 2 ? ntsc[type] : pal[type];
    rate = norm == 2 ? "30000/1001" : "25";
}

class PresetConversionTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
};

TEST_F(PresetConversionTest, EveryPresetConvertsTheClip) {
    test::TTempDir dir;
    int status = 0;
    const std::string clip = dir.Path() + "clip.avi";
    test::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                     "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -ac 2 -c:v mpeg4 "
                     "-c:a pcm_s16le " +
                         test::ShellQuote(clip) + " 2>&1",
                     status);
    ASSERT_EQ(status, 0);

    TQueueDispatcher dispatcher;
    struct TDispatcherGuard {
        explicit TDispatcherGuard(IMainThreadDispatcher* d) { SetMainThreadDispatcher(d); }
        ~TDispatcherGuard() { SetMainThreadDispatcher(nullptr); }
    } guard(&dispatcher);
    TFFEncoder encoder;
    std::mutex mutex;
    std::map<int, TTerminateInfo> ends;
    bool runEnded = false;
    encoder.OnTerminate = [&](const void*, const TTerminateInfo& info) {
        std::lock_guard lock(mutex);
        if (info.TaskIndex < 0)
            runEnded = true;
        else
            ends[info.TaskIndex] = info;
    };

    struct TCase {
        const TPresetRow* Row;
        std::string Output;
    };
    std::vector<TCase> cases;
    for (const TPresetRow& row : PresetRows()) {
        TUserSettings settings;
        settings.OutputSelection.OutputFormatClass = row.Class;
        *settings.OutputSelection.FormatOfClass(row.Class) = row.Format;
        *settings.OutputSelection.PresetOf(row.Class, row.Format) = row.Index;
        const std::string folder = dir.Path() + std::to_string(row.Class) + "-" + std::to_string(row.Format) +
                                   "-" + std::to_string(row.Index);
        std::filesystem::create_directories(folder);
        settings.OutputFileDir = AddTrailingBackslash(folder);
        struct TClipProbe : IOutputSourceProbe {
            std::string Name;
            std::string FileName() const override { return Name; }
            int32_t FirstAudioBitRate() const override { return SourceRate * SourceChannels * 16; }
        } probe;
        probe.Name = clip;
        const TOutputOptions output = BuildOutputOptions(settings, probe);
        const int task = encoder.AddTask(clip);
        ASSERT_GE(task, 0) << encoder.LastErrorMessage();
        const std::string where = std::to_string(row.Class) + "/" + std::to_string(row.Format) + "/" +
                                  std::to_string(row.Index) + " " + std::string(row.Text);
        EXPECT_TRUE(encoder.SetOutputFile(task, output.FileName, &output))
            << where << ": " << encoder.LastErrorMessage();
        cases.push_back({&row, output.FileName});
    }
    encoder.StartTask(2);
    const auto deadline = std::chrono::steady_clock::now() + 20min;
    while (std::chrono::steady_clock::now() < deadline) {
        dispatcher.WaitAndRunPending(20ms);
        std::lock_guard lock(mutex);
        if (runEnded) break;
    }
    ASSERT_TRUE(runEnded);

    for (size_t i = 0; i < cases.size(); ++i) {
        const TPresetRow& row = *cases[i].Row;
        const TPresetFields f = PresetFieldsOf(row.Class, row.Format, row.Index);
        SCOPED_TRACE(std::to_string(row.Class) + "/" + std::to_string(row.Format) + "/" +
                     std::to_string(row.Index) + " " + std::string(row.Text));
        const TTerminateInfo& end = ends[static_cast<int>(i)];
        if (!end.Finished) {
            ADD_FAILURE() << "did not convert: " << end.ErrorMessage;
            continue;
        }
        const std::string json =
            test::RunCommand("ffprobe -v error -print_format json -show_format -show_streams " +
                                 test::ShellQuote(cases[i].Output),
                             status);
        if (status != 0) {
            ADD_FAILURE() << "ffprobe cannot read the output";
            continue;
        }
        const auto probe = nlohmann::json::parse(json);
        const std::string ext = ExtractFileExt(cases[i].Output);
        EXPECT_NE(probe["format"]["format_name"].get<std::string>().find(ProbeFormat.at(ext)),
                  std::string::npos);
        const nlohmann::json* video = nullptr;
        const nlohmann::json* audio = nullptr;
        for (const auto& s : probe["streams"]) {
            if (s["codec_type"] == "video" && !video) video = &s;
            if (s["codec_type"] == "audio" && !audio) audio = &s;
        }
        if (row.Class == fcAudio) {
            EXPECT_EQ(video, nullptr);
        } else {
            if (!video) {
                ADD_FAILURE() << "no video stream";
                continue;
            }
            if (f.VideoCodec) {
                EXPECT_EQ((*video)["codec_name"], ProbeCodecName.at(std::string(*f.VideoCodec)));
            }
            std::string size = f.FrameSize ? std::string(*f.FrameSize) : "320x240";
            std::string rate = f.FrameRate ? std::string(*f.FrameRate) : "25";
            if (f.TargetType && *f.TargetType > 0)
                TargetPicture(*f.TargetType, f.TargetNorm.value_or(0), size, rate);
            EXPECT_EQ(std::to_string((*video)["width"].get<int>()) + "x" +
                          std::to_string((*video)["height"].get<int>()),
                      size);
            EXPECT_NEAR(RateValue((*video)["r_frame_rate"]), RateValue(rate), RateValue(rate) * 0.01);
        }
        if (!audio) {
            ADD_FAILURE() << "no audio stream";
            continue;
        }
        const std::string encoder = f.AudioCodec ? std::string(*f.AudioCodec) : "";
        if (!encoder.empty()) {
            EXPECT_EQ((*audio)["codec_name"], ProbeCodecName.at(encoder));
        }
        EXPECT_EQ((*audio)["channels"].get<int>(), f.AudioChannels.value_or(SourceChannels));
        EXPECT_EQ(std::stoi((*audio)["sample_rate"].get<std::string>()),
                  ClosestRate(encoder, ext, f.AudioSampleRate.value_or(SourceRate)));
    }
}

} // namespace
} // namespace mw
