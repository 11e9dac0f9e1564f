// Our probe against ffprobe, the independent oracle: the same files open, with the same streams,
// codecs, sizes, rates and durations (within 0.1 s).
#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "engine/probe/FFDecode.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <tuple>

namespace mw {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

using test::RealMediaFolder;

json FfprobeJson(const std::string& file, int& status) {
    const std::string out = test::RunCommand(
        "ffprobe -v quiet -of json -show_entries "
        "format=duration:stream=index,codec_type,codec_name,width,height,sample_rate,channels,avg_frame_rate,"
        "r_frame_rate " +
            test::ShellQuote(file),
        status);
    return json::parse(out, nullptr, false);
}

int ToInt(const json& j) {
    if (j.is_number()) return j.get<int>();
    if (j.is_string()) return std::atoi(j.get<std::string>().c_str());
    return -1;
}

std::pair<int, int> Rate(const std::string& text) {
    int num = 0, den = 0;
    std::sscanf(text.c_str(), "%d/%d", &num, &den);
    return {num, den};
}

// What our probe says of a file, from the decoder in-process or from the tool's JSON.
struct TProbed {
    bool Opened = false;
    std::string Error;
    int64_t DurationUs = -1;
    int Streams = -1, Video = -1, Audio = -1, Subtitle = -1;
    int VideoIndex = -1, AudioIndex = -1;
    std::string VideoCodec, AudioCodec;
    int Width = -1, Height = -1, RateNum = -1, RateDen = -1, SampleRate = -1, Channels = -1;
};

TProbed ProbeInProcess(TFFDecoder& decoder, const std::string& file) {
    TProbed p;
    p.Opened = decoder.LoadFile(file);
    p.Error = decoder.LastErrorMessage();
    if (!p.Opened) return p;
    TFileStreamInfo info;
    decoder.GetFileStreamInfo(info);
    p.DurationUs = info.Duration;
    p.Streams = decoder.StreamCount();
    p.Video = decoder.VideoStreamCount();
    p.Audio = decoder.AudioStreamCount();
    p.Subtitle = decoder.SubtitleStreamCount();
    p.VideoIndex = decoder.FirstVideoStreamIndex();
    p.AudioIndex = decoder.FirstAudioStreamIndex();
    TVideoStreamInfo video;
    if (p.VideoIndex >= 0 && decoder.GetVideoStreamInfo(-1, video)) {
        p.VideoCodec = decoder.CodecIdName(p.VideoIndex);
        p.Width = video.Width;
        p.Height = video.Height;
        p.RateNum = video.FrameRateNum;
        p.RateDen = video.FrameRateDen;
    }
    TAudioStreamInfo audio;
    if (p.AudioIndex >= 0 && decoder.GetAudioStreamInfo(-1, audio)) {
        p.AudioCodec = decoder.CodecIdName(p.AudioIndex);
        p.SampleRate = audio.SampleRate;
        p.Channels = audio.Channels;
    }
    return p;
}

TProbed FromCliJson(const json& j) {
    TProbed p;
    p.Opened = j.value("ok", false);
    p.Error = j.value("error", "");
    if (!p.Opened) return p;
    p.DurationUs = j["duration_us"].get<int64_t>();
    p.Streams = j["streams"];
    p.Video = j["video_streams"];
    p.Audio = j["audio_streams"];
    p.Subtitle = j["subtitle_streams"];
    if (j.contains("video")) {
        const json& v = j["video"];
        p.VideoIndex = v["index"];
        p.VideoCodec = v["codec_id"];
        p.Width = v["width"];
        p.Height = v["height"];
        std::tie(p.RateNum, p.RateDen) = Rate(v["frame_rate"].get<std::string>());
    }
    if (j.contains("audio")) {
        const json& a = j["audio"];
        p.AudioIndex = a["index"];
        p.AudioCodec = a["codec_id"];
        p.SampleRate = a["sample_rate"];
        p.Channels = a["channels"];
    }
    return p;
}

void ExpectAgreement(const TProbed& ours, const std::string& file) {
    SCOPED_TRACE(file);
    int status = 0;
    const json oracle = FfprobeJson(file, status);
    if (status != 0) {
        // ffprobe also exits with an error when it cannot open a stream's decoder (a Vorbis stream
        // without its headers, say) after the container opened; what counts is whether it listed
        // the input, which it does before opening decoders.
        int ignored = 0;
        const std::string listing =
            test::RunCommand("ffprobe -hide_banner " + test::ShellQuote(file) + " 2>&1", ignored);
        EXPECT_EQ(ours.Opened, listing.find("Input #0, ") != std::string::npos) << ours.Error;
        if (!ours.Opened) {
            EXPECT_THAT(ours.Error, ::testing::StartsWith(file + ": "));
        }
        return;
    }
    ASSERT_TRUE(ours.Opened) << ours.Error;

    const auto& format = oracle["format"];
    if (format.contains("duration"))
        EXPECT_NEAR(ours.DurationUs / 1e6, std::stod(format["duration"].get<std::string>()), 0.1);
    else
        EXPECT_EQ(ours.DurationUs, -1);

    const json& streams = oracle["streams"];
    ASSERT_EQ(ours.Streams, static_cast<int>(streams.size()));
    auto count = [&](const char* kind) {
        return static_cast<int>(std::count_if(streams.begin(), streams.end(), [&](const json& s) {
            return s.value("codec_type", "") == kind;
        }));
    };
    EXPECT_EQ(ours.Video, count("video"));
    EXPECT_EQ(ours.Audio, count("audio"));
    EXPECT_EQ(ours.Subtitle, count("subtitle"));

    if (ours.VideoIndex >= 0) {
        const json& s = streams[ours.VideoIndex];
        EXPECT_EQ(s["codec_type"], "video");
        EXPECT_EQ(ours.VideoCodec, s.value("codec_name", "none"));
        EXPECT_EQ(ours.Width, ToInt(s["width"]));
        EXPECT_EQ(ours.Height, ToInt(s["height"]));
        auto rate = Rate(s.value("avg_frame_rate", "0/0"));
        if (!rate.first || !rate.second) rate = Rate(s.value("r_frame_rate", "0/0"));
        EXPECT_EQ(std::make_pair(ours.RateNum, ours.RateDen), rate);
    }
    if (ours.AudioIndex >= 0) {
        const json& s = streams[ours.AudioIndex];
        EXPECT_EQ(s["codec_type"], "audio");
        EXPECT_EQ(ours.AudioCodec, s.value("codec_name", "none"));
        EXPECT_EQ(ours.SampleRate, ToInt(s["sample_rate"]));
        EXPECT_EQ(ours.Channels, ToInt(s["channels"]));
    }
}

class ProbeAgreementTest : public ::testing::Test {
  protected:
    void SetUp() override { test::LoadEngineLibraries(); }
    TFFDecoder FDecoder;
};

TEST_F(ProbeAgreementTest, FixturesInProcess) {
    for (const char* name : {"av.avi", "a.mp3", "v.mp4", "cover.mp3", "text.avi", "empty.avi",
                             "truncated.avi", "truncated.mp4", "corrupted.avi"}) {
        const std::string file = test::Fixture(name);
        ExpectAgreement(ProbeInProcess(FDecoder, file), file);
    }
}

// The real files through the command-line tool, all in one run.
TEST(ProbeCliAgreementTest, RealFiles) {
    const std::string realMedia = RealMediaFolder();
    if (realMedia.empty()) GTEST_SKIP() << "no shared media folder beside the checkout";
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(realMedia))
        if (e.is_regular_file() && e.path().extension() != ".md") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    std::string command = std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli probe --json";
    for (const auto& f : files)
        command += " " + test::ShellQuote(f);
    int status = 0;
    const json all = json::parse(test::RunCommand(command + " 2>/dev/null", status), nullptr, false);
    ASSERT_TRUE(all.is_array());
    ASSERT_EQ(all.size(), files.size());
    bool anyFailed = false;
    for (size_t i = 0; i < files.size(); ++i) {
        ASSERT_EQ(all[i]["file"], files[i]);
        const TProbed ours = FromCliJson(all[i]);
        anyFailed |= !ours.Opened;
        ExpectAgreement(ours, files[i]);
    }
    EXPECT_EQ(status, anyFailed ? 1 : 0);
}

// The command-line tool: every file is tried, failures are reported, the thumbnail is a PNG.
TEST(ProbeCliTest, ProbesEveryFileAndWritesTheThumbnail) {
    test::TTempDir dir;
    const std::string cli = std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli";
    const std::string good = test::Fixture("av.avi");
    const std::string bad = test::Fixture("text.avi");
    int status = 0;
    const std::string out =
        test::RunCommand(cli + " probe --json " + test::ShellQuote(bad) + " " + test::ShellQuote(good) +
                             " --thumbnail " + test::ShellQuote(dir.Path() + "thumb.png") + " 2>/dev/null",
                         status);
    EXPECT_EQ(status, 1);
    const json result = json::parse(out, nullptr, false);
    ASSERT_TRUE(result.is_array()) << out;
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0]["ok"], false);
    EXPECT_EQ(result[0]["error"], bad + ": Invalid data found when processing input");
    EXPECT_EQ(result[1]["ok"], true);
    EXPECT_EQ(result[1]["video"]["width"], 320);
    EXPECT_EQ(result[1]["duration_text"], "00:00:02.040");
    const std::string thumb = dir.Path() + "thumb-2.png";
    EXPECT_EQ(result[1]["thumbnail"], thumb);
    const std::string oracle =
        test::RunCommand("ffprobe -v error -of csv=p=0 -show_entries stream=codec_name,width,height " +
                             test::ShellQuote(thumb),
                         status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(oracle, "png,320,240\n");

    test::RunCommand(cli + " probe 2>/dev/null", status);
    EXPECT_EQ(status, 2);
    const std::string text =
        test::RunCommand(cli + " probe " + test::ShellQuote(test::Fixture("a.mp3")), status);
    EXPECT_EQ(status, 0);
    EXPECT_THAT(text, ::testing::HasSubstr("  Audio Bit rate: 128 Kbps\n  Audio Encoder: mp3"));
}

} // namespace
} // namespace mw
