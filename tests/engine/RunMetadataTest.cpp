// Metadata and chapters of a run's output: what is copied by default, "metadata",
// "map_meta_data", "map_chapters", the recording time cutting chapters, and every map error.
#include "EngineFixtures.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <fstream>

namespace mw {
namespace {

class RunMetadata : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        test::LoadEngineLibraries();
        // Two chapters with titles, a global title and a stream tag.
        const std::string meta = FInputDir->Path() + "meta.txt";
        std::ofstream(meta) << ";FFMETADATA1\ntitle=Movie\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Two\n";
        int status = 0;
        test::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=2 -i " +
                             test::ShellQuote(meta) +
                             " -map 0 -map_metadata 1 -map_chapters 1 -metadata:s:a:0 comment=StreamNote "
                             "-c:a flac " +
                             test::ShellQuote(Input()),
                         status);
        ASSERT_EQ(status, 0);
    }
    static void TearDownTestSuite() { FInputDir.reset(); }
    static std::string Input() { return FInputDir->Path() + "chapters.mka"; }

    static inline std::unique_ptr<test::TTempDir> FInputDir = std::make_unique<test::TTempDir>();
    test::TTempDir FDir;
};

TEST_F(RunMetadata, DefaultsOptionsAndMaps) {
    const std::string both = "0.000000\n1.000000\nOne\n1.000000\n2.000000\nTwo";
    const struct {
        test::TOptionList Options;
        const char* Title;      // the output's global title
        const char* Chapters;   // start, end and title of each chapter
        const char* StreamTags; // comment and title of the audio stream
    } cases[] = {
        {{}, "Movie", both.c_str(), "StreamNote"},
        {{{"metadata", "title=Mine"}}, "Mine", both.c_str(), "StreamNote"},
        // A chapter's metadata into the global one: no global copy, chapters without their titles.
        {{{"map_meta_data", "0:0,c1"}}, "Two", "0.000000\n1.000000\n1.000000\n2.000000", "StreamNote"},
        // The global metadata into the stream: the stream's own tags are no longer copied.
        {{{"map_meta_data", "0,s0:0"}}, "", both.c_str(), "Movie"},
        {{{"map_chapters", "0:-1"}}, "Movie", "", "StreamNote"},
        {{{"t", "1.5"}}, "Movie", "0.000000\n1.000000\nOne\n1.000000\n1.500000\nTwo", "StreamNote"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const std::string out = FDir.Path() + std::to_string(n++) + ".mka";
        test::TOptionList options = c.Options;
        options.push_back({"acodec", "copy"});
        auto job = test::MakeTestJob({Input()}, out, options);
        TRunResult result;
        ASSERT_TRUE(RunJob(*job, {}, result)) << result.ErrorText;
        EXPECT_EQ(test::ProbeValue(out, "", "format_tags=title"), c.Title);
        EXPECT_EQ(test::ProbeValue(out, "", "chapter=start_time,end_time:chapter_tags=title"), c.Chapters);
        EXPECT_EQ(test::ProbeValue(out, "-select_streams a", "stream_tags=comment,title"), c.StreamTags);
    }
}

TEST_F(RunMetadata, MapsNamingWhatIsMissingFail) {
    const struct {
        const char* Option;
        const char* Value;
        const char* Error;
    } cases[] = {
        {"map_meta_data", "0:3", "Invalid input file index 3 while processing metadata maps"},
        {"map_meta_data", "1:0", "Invalid output file index 1 while processing metadata maps"},
        {"map_meta_data", "0,c5:0", "Invalid chapter index 5 while processing metadata maps"},
        {"map_meta_data", "0:0,s4", "Invalid stream index 4 while processing metadata maps"},
        {"map_meta_data", "0:0,p0", "Invalid program index 0 while processing metadata maps"},
        {"map_chapters", "0:4", "Invalid input file index 4 in chapter mapping."},
        {"map_chapters", "2:0", "Invalid output file index 2 in chapter mapping."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        auto job =
            test::MakeTestJob({Input()}, FDir.Path() + "bad.mka", {{c.Option, c.Value}, {"acodec", "copy"}});
        TRunResult result;
        EXPECT_FALSE(RunJob(*job, {}, result));
        EXPECT_EQ(result.ErrorText, c.Error);
    }
}

} // namespace
} // namespace mw
