// Our probe against ffprobe, the independent oracle: the same files open, with the same streams,
// codecs, sizes, rates and durations (within 0.1 s).
#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "engine/FFDecode.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace mw {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const char* const RealMediaFolder = "/work/shared/media";

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

void ExpectAgreement(TFFDecoder& decoder, const std::string& file) {
    SCOPED_TRACE(file);
    int status = 0;
    const json oracle = FfprobeJson(file, status);
    const bool opened = decoder.LoadFile(file);
    if (status != 0) {
        // ffprobe also exits with an error when it cannot open a stream's decoder (a Vorbis stream
        // without its headers, say) after the container opened; what counts is whether it listed
        // the input, which it does before opening decoders.
        int ignored = 0;
        const std::string listing =
            test::RunCommand("ffprobe -hide_banner " + test::ShellQuote(file) + " 2>&1", ignored);
        EXPECT_EQ(opened, listing.find("Input #0, ") != std::string::npos) << decoder.LastErrorMessage();
        if (!opened) {
            EXPECT_THAT(decoder.LastErrorMessage(), ::testing::StartsWith(file + ": "));
        }
        return;
    }
    ASSERT_TRUE(opened) << decoder.LastErrorMessage();

    TFileStreamInfo info;
    decoder.GetFileStreamInfo(info);
    const auto& format = oracle["format"];
    if (format.contains("duration"))
        EXPECT_NEAR(info.Duration / 1e6, std::stod(format["duration"].get<std::string>()), 0.1);
    else
        EXPECT_EQ(info.Duration, -1);

    const json& streams = oracle["streams"];
    ASSERT_EQ(decoder.StreamCount(), static_cast<int>(streams.size()));
    auto count = [&](const char* kind) {
        return static_cast<int>(std::count_if(streams.begin(), streams.end(), [&](const json& s) {
            return s.value("codec_type", "") == kind;
        }));
    };
    EXPECT_EQ(decoder.VideoStreamCount(), count("video"));
    EXPECT_EQ(decoder.AudioStreamCount(), count("audio"));
    EXPECT_EQ(decoder.SubtitleStreamCount(), count("subtitle"));

    if (decoder.FirstVideoStreamIndex() >= 0) {
        const json& s = streams[decoder.FirstVideoStreamIndex()];
        EXPECT_EQ(s["codec_type"], "video");
        TVideoStreamInfo video;
        ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
        EXPECT_EQ(decoder.CodecIdName(decoder.FirstVideoStreamIndex()), s.value("codec_name", "none"));
        EXPECT_EQ(video.Width, ToInt(s["width"]));
        EXPECT_EQ(video.Height, ToInt(s["height"]));
        auto rate = Rate(s.value("avg_frame_rate", "0/0"));
        if (!rate.first || !rate.second) rate = Rate(s.value("r_frame_rate", "0/0"));
        EXPECT_EQ(std::make_pair(video.FrameRateNum, video.FrameRateDen), rate);
    }
    if (decoder.FirstAudioStreamIndex() >= 0) {
        const json& s = streams[decoder.FirstAudioStreamIndex()];
        EXPECT_EQ(s["codec_type"], "audio");
        TAudioStreamInfo audio;
        ASSERT_TRUE(decoder.GetAudioStreamInfo(-1, audio));
        EXPECT_EQ(decoder.CodecIdName(decoder.FirstAudioStreamIndex()), s.value("codec_name", "none"));
        EXPECT_EQ(audio.SampleRate, ToInt(s["sample_rate"]));
        EXPECT_EQ(audio.Channels, ToInt(s["channels"]));
    }
}

class ProbeAgreementTest : public ::testing::Test {
  protected:
    void SetUp() override { test::LoadEngineLibraries(); }
    TFFDecoder FDecoder;
};

TEST_F(ProbeAgreementTest, Fixtures) {
    for (const char* name : {"av.avi", "a.mp3", "v.mp4", "text.avi", "empty.avi", "truncated.avi",
                             "truncated.mp4", "corrupted.avi"})
        ExpectAgreement(FDecoder, test::Fixture(name));
}

TEST_F(ProbeAgreementTest, RealFiles) {
    if (!fs::is_directory(RealMediaFolder)) GTEST_SKIP() << "no " << RealMediaFolder;
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(RealMediaFolder))
        if (e.is_regular_file() && e.path().extension() != ".md") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const auto& file : files)
        ExpectAgreement(FDecoder, file);
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
