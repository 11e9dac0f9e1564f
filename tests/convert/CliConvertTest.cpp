// mediawizard-cli convert end to end: real files through the real transcoder.
#include "../app/TempDir.h"
#include "../engine/EngineFixtures.h"

#include <cstring>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Cli() {
    return std::string(MW_TEST_RUN_DIR) + "/mediawizard-cli";
}

std::string Convert(const std::string& args, int& status) {
    return test::RunCommand(Cli() + " convert " + args + " 2>/dev/null", status);
}

double Duration(const std::string& file) {
    int status = 0;
    const std::string text = test::RunCommand(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + test::ShellQuote(file), status);
    return status == 0 && !text.empty() ? std::stod(text) : -1;
}

TEST(CliConvert, SummaryCountsEveryFileGivenAndTheStatusSaysWhetherAllConverted) {
    test::TTempDir out;
    const std::string text = test::Fixture("text.avi");
    int status = 0;
    const std::string output = test::RunCommand(
        Cli() + " convert --class audio --format MP3 --parallel 2 --output " + test::ShellQuote(out.Path()) +
            " " + test::ShellQuote(test::Fixture("av.avi")) + " " + test::ShellQuote(test::Fixture("a.mp3")) +
            " " + test::ShellQuote(text) + " 2>/dev/null",
        status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Total files: 3\nSuccessed: 2\nFailed: 1\n"
                          "File (3): text.avi: Invalid data found when processing input\n"),
              std::string::npos)
        << output;
    // a.mp3 exists in no output folder yet, so both keep their names.
    EXPECT_TRUE(std::filesystem::file_size(out.Path() + "av.mp3") > 0);
    EXPECT_TRUE(std::filesystem::file_size(out.Path() + "a.mp3") > 0);
}

TEST(CliConvert, JoinWritesOneOutput) {
    test::TTempDir out;
    int status = 0;
    const std::string output =
        test::RunCommand(Cli() + " convert --class 0 --format avi --join --output " +
                             test::ShellQuote(out.Path()) + " " + test::ShellQuote(test::Fixture("av.avi")) +
                             " " + test::ShellQuote(test::Fixture("av.avi")) + " 2>/dev/null",
                         status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Total files: 1\nSuccessed: 1\nFailed: 0\n"), std::string::npos) << output;
    const std::string duration =
        test::RunCommand("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " +
                             test::ShellQuote(out.Path() + "Output_Merge.avi"),
                         status);
    EXPECT_NEAR(std::stod(duration), 4.0, 0.3);
}

// Files whose output would hold nothing are failures with their reason, and leave no file; a
// truncated file that still gives something is converted.
TEST(CliConvert, RealFilesThatGiveNothingAreFailures) {
    const std::string media = test::RealMediaFolder();
    if (media.empty()) GTEST_SKIP() << "no shared media folder";
    test::TTempDir out;
    int status = 0;
    const std::string output =
        Convert("--class video --format MP4 --output " + test::ShellQuote(out.Path()) + " " +
                    test::ShellQuote(media + "/exiftool-exiftool/Pentax.avi") + " " +
                    test::ShellQuote(media + "/google-ExoPlayer/invalid-bitstream.webm") + " " +
                    test::ShellQuote(media + "/exiftool-exiftool/Flash.flv"),
                status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Total files: 3\nSuccessed: 1\nFailed: 2\n"
                          "File (1): Pentax.avi: Output file is empty, nothing was encoded\n"
                          "File (2): invalid-bitstream.webm: Error while decoding stream #0.0 (Video): Invalid data "
                          "found when processing input\n"),
              std::string::npos)
        << output;
    EXPECT_FALSE(fs::exists(out.Path() + "Pentax.mp4"));
    EXPECT_FALSE(fs::exists(out.Path() + "invalid-bitstream.mp4"));
    EXPECT_GT(Duration(out.Path() + "Flash.mp4"), 0);
}

// Outputs that cannot be made are failed files with the file system's reason; what is already at
// an output's name (a folder, a dangling link) is passed over, never written through.
TEST(CliConvert, OutputsThatCannotBeMadeAreFailedFilesAndTakenNamesArePassedOver) {
    test::TTempDir in, out, ro;
    const std::string mp3 = test::Fixture("a.mp3");
    const std::string longName = std::string(252, 'n') + ".ra"; // its MP3 name is one byte too long
    fs::create_symlink(mp3, in.Path() + longName);
    fs::create_symlink(mp3, in.Path() + "a.mp3");
    fs::create_symlink(mp3, in.Path() + "b.mp3");
    fs::create_directory(out.Path() + "a.mp3");
    fs::create_symlink("elsewhere/new.txt", out.Path() + "b.mp3");
    fs::create_directory(out.Path() + "elsewhere");
    int status = 0;
    std::string output =
        Convert("--class audio --format MP3 --output " + test::ShellQuote(out.Path()) + " " +
                    test::ShellQuote(in.Path() + longName) + " " + test::ShellQuote(in.Path() + "a.mp3") +
                    " " + test::ShellQuote(in.Path() + "b.mp3"),
                status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Total files: 3\nSuccessed: 2\nFailed: 1\nFile (1): " + longName + ": " +
                          out.Path() + std::string(252, 'n') + ".mp3: File name too long\n"),
              std::string::npos)
        << output;
    EXPECT_NEAR(Duration(out.Path() + "a(1).mp3"), 2.0, 0.1);
    EXPECT_NEAR(Duration(out.Path() + "b(1).mp3"), 2.0, 0.1);
    EXPECT_FALSE(fs::exists(out.Path() + "elsewhere/new.txt"));

    test::TReadOnlyFolder readOnly(ro.Path());
    if (!readOnly.Ok()) GTEST_SKIP() << readOnly.Why();
    output = Convert("--class audio --format MP3 --output " + test::ShellQuote(ro.Path()) + " " +
                         test::ShellQuote(in.Path() + "a.mp3") + " " + test::ShellQuote(in.Path() + "b.mp3"),
                     status);
    const std::string reason = geteuid() == 0 ? "Read-only file system" : "Permission denied";
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Total files: 2\nSuccessed: 0\nFailed: 2\n"
                          "File (1): a.mp3: " +
                          ro.Path() + "a.mp3: " + reason +
                          "\n"
                          "File (2): b.mp3: " +
                          ro.Path() + "b.mp3: " + reason + "\n"),
              std::string::npos)
        << output;
}

// An output never takes the place of a source: beside its sources it gets the next free name.
TEST(CliConvert, AnOutputBesideItsSourceLeavesTheSourceAlone) {
    test::TTempDir dir;
    const std::string source = dir.Path() + "song.mp3";
    fs::copy_file(test::Fixture("a.mp3"), source);
    const auto size = fs::file_size(source);
    int status = 0;
    const std::string output = Convert("--class audio --format MP3 --output " + test::ShellQuote(dir.Path()) +
                                           " " + test::ShellQuote(source),
                                       status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(fs::file_size(source), size);
    EXPECT_NEAR(Duration(dir.Path() + "song(1).mp3"), 2.0, 0.1);
}

// A task holds no descriptor before it runs: a batch far larger than the descriptor limit
// allows (had every task kept its input and output open) converts whole.
TEST(CliConvert, ABatchLargerThanTheDescriptorLimitConvertsWhole) {
    test::TTempDir in, out;
    int status = 0;
    const std::string clip = in.Path() + "clip.wav";
    test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=8000:duration=0.2 -ac 1 " +
                         test::ShellQuote(clip),
                     status);
    ASSERT_EQ(status, 0);
    constexpr int Files = 60;
    std::string files;
    for (int i = 0; i < Files; ++i) {
        const std::string name = in.Path() + "f" + std::to_string(i) + ".wav";
        fs::create_symlink(clip, name);
        files += " " + test::ShellQuote(name);
    }
    const std::string output = test::RunCommand("ulimit -n 40 && " + Cli() +
                                                    " convert --class audio --format WAV "
                                                    "--output " +
                                                    test::ShellQuote(out.Path()) + files + " 2>/dev/null",
                                                status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("Total files: 60\nSuccessed: 60\nFailed: 0\n"), std::string::npos) << output;
    EXPECT_EQ(std::distance(fs::directory_iterator(out.Path()), fs::directory_iterator()), Files);
}

// The three stop signals end convert (two files at once, one already finished) and transcode as
// Ctrl+C does: status 1, every output readable with its trailer, the finished one untouched.
TEST(CliConvert, StopSignalsEndTheRunCleanly) {
    const std::string song = test::Fixture("a.mp3"), longSong = test::Fixture("long.mp3");
    const struct {
        int Signal;
        bool Convert;
    } cases[] = {{SIGINT, true},  {SIGTERM, true},  {SIGHUP, true},
                 {SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Convert ? "convert " : "transcode ") + strsignal(c.Signal));
        test::TTempDir in, out;
        fs::create_symlink(song, in.Path() + "short.mp3");
        fs::create_symlink(longSong, in.Path() + "long1.mp3");
        fs::create_symlink(longSong, in.Path() + "long2.mp3");
        std::vector<std::string> args = {Cli()};
        std::vector<std::string> growing;
        if (c.Convert) {
            for (const char* a :
                 {"convert", "--class", "video", "--format", "MP4", "--parallel", "2", "--output"})
                args.push_back(a);
            args.push_back(out.Path());
            for (const char* name : {"short.mp3", "long1.mp3", "long2.mp3"})
                args.push_back(in.Path() + name);
            growing = {out.Path() + "long1.mp4", out.Path() + "long2.mp4"};
        } else {
            for (const char* a : {"transcode", "-i"})
                args.push_back(a);
            args.push_back(in.Path() + "long1.mp3");
            for (const char* a : {"-vn", "-acodec", "aac"})
                args.push_back(a);
            args.push_back(out.Path() + "long1.mp4");
            growing = {out.Path() + "long1.mp4"};
        }
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        // Signalled once every long output has received a good part of its data.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        auto writing = [&] {
            for (const auto& file : growing) {
                std::error_code ec;
                if (fs::file_size(file, ec) < 32 * 1024 || ec) return false;
            }
            return true;
        };
        while (!writing() && std::chrono::steady_clock::now() < deadline &&
               waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(5ms);
        const bool signalled = writing() && kill(pid, c.Signal) == 0;
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(signalled) << "the outputs never grew";
        ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal instead of stopping";
        EXPECT_EQ(WEXITSTATUS(status), 1);
        for (const auto& file : growing) {
            const double d = Duration(file);
            EXPECT_GT(d, 1.0) << file;
            EXPECT_LT(d, 290.0) << file;
        }
        if (c.Convert) {
            EXPECT_NEAR(Duration(out.Path() + "short.mp4"), 2.0, 0.1);
        }
    }
}

TEST(CliConvert, UsageErrors) {
    const char* const cases[] = {
        "convert --class Cartoon --format AVI x.avi",
        "convert --class Video --format MP3 x.avi",
        "convert --class Video --format AVI --preset 99 x.avi",
        "convert --class Video --format AVI",
        "convert --class Video --format AVI --parallel 0 x.avi",
    };
    for (const char* args : cases) {
        int status = 0;
        test::RunCommand(Cli() + " " + args + " 2>&1", status);
        EXPECT_EQ(status, 2) << args;
    }
}

} // namespace
} // namespace mw
