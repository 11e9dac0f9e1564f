#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "engine/options/FFCommandLine.h"
#include "engine/run/FFFrameHook.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>

namespace mw {
namespace {

using ::testing::HasSubstr;

class TranscodeCommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::LoadEngineLibraries();
        FLogger.SetLogLevel(llError);
    }
    TFFLogger FLogger;
    test::TTempDir FDir;
};

// Options before -i go to that input, options before an output name to that output.
TEST_F(TranscodeCommandLineTest, OptionsApplyToTheNextFile) {
    TTranscodeJob job;
    TCommandLineResult result;
    const std::vector<std::string> args = {"-acodec",
                                           "mp3float",
                                           "-i",
                                           test::Fixture("a.mp3"),
                                           "-acodec",
                                           "aac",
                                           "-ar",
                                           "22050",
                                           FDir.Path() + "one.m4a",
                                           "-vn",
                                           "-i",
                                           test::Fixture("av.avi"),
                                           "-acodec",
                                           "mp2",
                                           FDir.Path() + "two.mkv"};
    ASSERT_TRUE(BuildJobFromCommandLine(job, args, result)) << result.ErrorText;
    ASSERT_EQ(job.Inputs.size(), 2u);
    EXPECT_STREQ(job.Inputs[0].Streams[0].Decoder->name, "mp3float");
    ASSERT_EQ(job.Outputs.size(), 2u);
    EXPECT_STREQ(job.Outputs[0].Streams.at(0).Codec->name, "aac");
    EXPECT_EQ(job.Outputs[0].Streams.at(0).Encoder->sample_rate, 22050);
    // "-vn" before the second input discards its video; the second output still gets video by
    // default, since "vn" is cleared only with a video stream.
    EXPECT_TRUE(job.Inputs[1].Streams[0].Discard);
    EXPECT_EQ(result.OutputNames,
              (std::vector<std::string>{FDir.Path() + "one.m4a", FDir.Path() + "two.mkv"}));
}

TEST_F(TranscodeCommandLineTest, UsageAndBuildErrors) {
    const struct {
        std::vector<std::string> Args;
        bool Usage;
        const char* Error;
    } Cases[] = {
        {{"-i"}, true, "missing argument for option '-i'"},
        {{"-i", test::Fixture("a.mp3")}, true, "At least one output file must be specified"},
        {{"-nosuch", "1", "-i", test::Fixture("a.mp3")}, false, "Unrecognized option \"nosuch\""},
        {{"-ab", "x", "-i", test::Fixture("a.mp3")}, false, "Invalid value \"x\" for option \"ab\""},
    };
    for (const auto& c : Cases) {
        TTranscodeJob job;
        TCommandLineResult result;
        EXPECT_FALSE(BuildJobFromCommandLine(job, c.Args, result));
        EXPECT_EQ(result.UsageError, c.Usage) << c.Error;
        EXPECT_EQ(result.ErrorText, c.Error);
    }
}

TEST_F(TranscodeCommandLineTest, FrameHookPlugins) {
    const std::string plugin = MW_TEST_VHOOK;
    TTranscodeJob job;
    ASSERT_TRUE(ParseOption(job, "vhook", plugin + " -a 1")) << job.BuildErrorText;
    ASSERT_TRUE(ParseOption(job, "vhook", plugin + "|two words|x")) << job.BuildErrorText;
    ASSERT_EQ(job.VideoHooks.size(), 2u);
    EXPECT_EQ(*static_cast<int*>(job.VideoHooks[0]->Context), 3);
    EXPECT_EQ(*static_cast<int*>(job.VideoHooks[1]->Context), 3);
    EXPECT_TRUE(job.VideoHooks[0]->Process);

    void* handle = ::dlopen(plugin.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(handle);
    const int* releases = static_cast<const int*>(::dlsym(handle, "ReleaseCount"));
    const int before = *releases;
    job.VideoHooks.clear();
    EXPECT_EQ(*releases, before + 2);
    ::dlclose(handle);

    const struct {
        std::string CommandLine;
    } Failures[] = {{plugin + " fail"}, {FDir.Path() + "missing.so"}, {"libm.so.6"}};
    for (const auto& f : Failures) {
        EXPECT_FALSE(ParseOption(job, "vhook", f.CommandLine));
        EXPECT_EQ(job.BuildErrorText, "Failed to add video hook function: " + f.CommandLine);
    }
    EXPECT_TRUE(job.VideoHooks.empty());
}

// The tool from a terminal: messages on standard error, exit status 0/1/2, no overwrite without -y.
TEST_F(TranscodeCommandLineTest, ToolReportsTheTexts) {
    const std::string cli = std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli transcode ";
    const std::string mp3 = test::ShellQuote(test::Fixture("a.mp3"));
    const std::string existing = FDir.Write("existing.avi", "keep me");
    const std::string replaced = FDir.Write("replaced.mp3", "replace me");
    FDir.Write("elsewhere/.keep", "");
    std::filesystem::create_symlink("elsewhere/new.mp3", FDir.Path() + "dangling.mp3");
    const std::string self = FDir.Path() + "self.wav";
    std::filesystem::copy_file(test::Fixture("mono44k.wav"), self);
    const std::string selfSize = std::to_string(std::filesystem::file_size(self));
    const struct {
        std::string Args;
        int Status;
        std::string Text;
    } Cases[] = {
        {"-i " + mp3 + " " + test::ShellQuote(FDir.Path() + "out.nosuchext"), 1,
         "Unable to find a suitable output format for '" + FDir.Path() + "out.nosuchext'"},
        {"-ab 128 -i " + mp3 + " -aspect 4:0 out.avi", 1,
         "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s"},
        {"-i " + mp3 + " -aspect 4:0 out.avi", 1, "Incorrect aspect ratio specification."},
        {"-nosuchname 1 -i " + mp3 + " out.avi", 1, "Unrecognized option \"nosuchname\""},
        {"-i " + mp3 + " " + test::ShellQuote(existing), 1, "already exists. Use -y to overwrite."},
        // A link at the name is never written through, dangling or not, -y or not.
        {"-i " + mp3 + " dangling.mp3", 1, "File 'dangling.mp3' already exists. Use -y to overwrite."},
        {"-y -i " + mp3 + " dangling.mp3", 1, "dangling.mp3: Not a regular file, it is not replaced"},
        {"-y -i " + mp3 + " replaced.mp3", 0, "size="},
        // The same file as an input, by identity.
        {"-y -i self.wav ./self.wav", 1, "Output ./self.wav same as Input #0"},
        {"-i " + mp3 + " -vcodec libx264 -vpre default -ar 44800 -acodec aac " +
             test::ShellQuote(FDir.Path() + "built.mp4"),
         0, "Requested sampling rate unsupported using closest supported (44100)"},
        {"-i", 2, "missing argument for option '-i'"},
    };
    int status = 0;
    for (const auto& c : Cases) {
        const std::string out = test::RunCommand(
            "cd " + test::ShellQuote(FDir.Path()) + " && " + cli + c.Args + " 2>&1 >/dev/null", status);
        EXPECT_EQ(status, c.Status) << c.Args;
        EXPECT_THAT(out, HasSubstr(c.Text)) << c.Args;
    }
    EXPECT_EQ(FDir.Read("existing.avi"), "keep me");
    EXPECT_FALSE(std::filesystem::exists(FDir.Path() + "elsewhere/new.mp3"));
    EXPECT_TRUE(std::filesystem::is_symlink(FDir.Path() + "dangling.mp3"));
    EXPECT_NEAR(std::stod(test::RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                               test::ShellQuote(replaced),
                                           status)),
                2.0, 0.1);
    EXPECT_EQ(std::to_string(std::filesystem::file_size(self)), selfSize);
    // The built job runs.
    EXPECT_GT(std::filesystem::file_size(FDir.Path() + "built.mp4"), 0u);
    const std::string help = test::RunCommand(cli + "--help", status);
    EXPECT_THAT(help, HasSubstr("-vpre ARG"));
    EXPECT_THAT(help, HasSubstr("-directpred ARG"));
}

} // namespace
} // namespace mw
