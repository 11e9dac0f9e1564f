// Joins in any order and of any mix: every input is fitted to the output (pictures scaled, turned
// and kept in shape, sound resampled, frame rates by the sync method), and an input without a kind
// of stream the output has contributes black pictures or silence for its length.
#include "EngineFixtures.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <numeric>

namespace mw {
namespace {

using test::Fixture;

class RunJoin : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    static double Seconds(const std::string& file, const std::string& select, const std::string& entry) {
        const std::string text = test::ProbeValue(file, select, entry);
        return text.empty() || text == "N/A" ? -1 : std::stod(text);
    }
    // The inputs' lengths added up.
    static double SummedDuration(const std::vector<std::string>& inputs) {
        double sum = 0;
        for (const auto& input : inputs)
            sum += Seconds(input, "", "format=duration");
        return sum;
    }
    TRunResult Join(const std::vector<std::string>& inputs, const std::string& out,
                    const test::TOptionList& options) {
        auto job = test::MakeTestJob(inputs, out, options, true);
        TRunResult result;
        RunJob(*job, {}, result);
        return result;
    }
    test::TTempDir FDir;
};

std::vector<std::string> Fixtures(const std::vector<const char*>& names) {
    std::vector<std::string> paths;
    for (const char* name : names)
        paths.push_back(Fixture(name));
    return paths;
}

std::string Named(const std::vector<const char*>& names) {
    return std::accumulate(
        names.begin(), names.end(), std::string(),
        [](const std::string& a, const char* b) { return a + (a.empty() ? "" : "+") + b; });
}

TEST_F(RunJoin, EveryInputIsFittedToTheOutputInAnyOrder) {
    const std::vector<std::vector<const char*>> joins = {
        {"j-base.mp4", "j-big.mp4"},
        {"j-big.mp4", "j-base.mp4"}, // sizes
        {"j-base.mp4", "j-30fps.mp4"},
        {"j-30fps.mp4", "j-base.mp4"}, // frame rates
        {"j-base.mp4", "j-48k.mp4"},
        {"j-48k.mp4", "j-base.mp4"}, // sample rates
        {"j-base.mp4", "j-stereo.mp4"},
        {"j-stereo.mp4", "j-base.mp4"},               // channels
        {"j-base.mp4", "j-silent.mp4", "j-base.mp4"}, // no sound
        {"j-base.mp4", "turn90.mp4"},
        {"turn90.mp4", "j-base.mp4"}, // turned
    };
    for (const auto& names : joins) {
        const std::string name = Named(names);
        SCOPED_TRACE(name);
        const std::vector<std::string> inputs = Fixtures(names);
        const std::string out = FDir.Path() + name + ".avi";
        // The first input's size is the output's: no scaling is set up for it.
        const TRunResult result =
            Join(inputs, out, {{"vcodec", "mpeg4"}, {"acodec", "mp2"}, {"s", "320x240"}});
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        const double video = Seconds(out, "-select_streams v:0", "stream=duration");
        const double audio = Seconds(out, "-select_streams a:0", "stream=duration");
        const double frames = 0.04 * double(inputs.size()); // one picture per input
        const double sum = SummedDuration(inputs);
        EXPECT_NEAR(Seconds(out, "", "format=duration"), sum, frames);
        EXPECT_NEAR(video, sum, frames);
        EXPECT_NEAR(audio, video, frames);
        EXPECT_EQ(test::ProbeValue(out, "-select_streams v:0", "stream=width,height"), "320\n240");
    }
}

// A turned clip keeps its shape between bars in a landscape join, and the other way round.
TEST_F(RunJoin, TurnedAndLandscapeClipsKeepTheirShape) {
    const std::string out = FDir.Path() + "shapes.avi";
    const TRunResult result = Join(Fixtures({"quadrant.mp4", "turn90.mp4"}), out,
                                   {{"vcodec", "mpeg4"}, {"an", ""}, {"s", "160x120"}, {"aspect", "4:3"}});
    ASSERT_FALSE(result.Failed) << result.ErrorText;
    EXPECT_EQ(test::ProbeValue(out, "-select_streams v:0", "stream=width,height"), "160\n120");
    // First the landscape clip fills the frame; then the 3:4 picture is 90 pixels wide, from x = 34.
    EXPECT_EQ(test::Quadrants(out, "", 0.5), test::Quadrants(Fixture("quadrant.mp4")));
    EXPECT_EQ(test::Quadrants(out, "crop=30:120:0:0", 1.5), "0 0 0 0");
    EXPECT_EQ(test::Quadrants(out, "crop=30:120:130:0", 1.5), "0 0 0 0");
    EXPECT_EQ(test::Quadrants(out, "crop=90:120:34:0", 1.5), test::Quadrants(Fixture("turn90.mp4")));
}

TEST_F(RunJoin, OutputHasEveryKindAnyInputHas) {
    struct TCase {
        std::vector<const char*> Inputs;
        const char* Output;
        test::TOptionList Options;
        const char* Kinds;
    };
    const TCase cases[] = {
        {{"j-sound.mp3", "j-base.mp4"},
         "sound-first.mp4",
         {{"vcodec", "mpeg4"}, {"acodec", "aac"}},
         "video\naudio"},
        {{"j-silent.mp4", "j-sound.mp3"},
         "silent-first.mp4",
         {{"vcodec", "mpeg4"}, {"acodec", "aac"}},
         "video\naudio"},
        {{"j-silent.mp4", "j-sound.mp3"},
         "silent-first.mp3",
         {{"acodec", "libmp3lame"}, {"vn", ""}},
         "audio"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Output);
        const std::vector<std::string> inputs = Fixtures(c.Inputs);
        const std::string out = FDir.Path() + c.Output;
        const TRunResult result = Join(inputs, out, c.Options);
        ASSERT_FALSE(result.Failed) << result.ErrorText;
        EXPECT_EQ(test::ProbeValue(out, "", "stream=codec_type"), c.Kinds);
        const double sum = SummedDuration(inputs);
        EXPECT_NEAR(Seconds(out, "", "format=duration"), sum, 0.2);
        EXPECT_NEAR(Seconds(out, "-select_streams a:0", "stream=duration"), sum, 0.2);
        if (std::string(c.Kinds).find("video") != std::string::npos) {
            EXPECT_NEAR(Seconds(out, "-select_streams v:0", "stream=duration"), sum, 0.2);
        }
    }
}

} // namespace
} // namespace mw
