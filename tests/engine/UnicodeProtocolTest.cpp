#include "engine/UnicodeProtocol.h"
#include "../app/TempDir.h"
#include "EngineFixtures.h"
#include "engine/probe/FFDecode.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mw {
namespace {

TEST(UnicodeProtocolTest, WhichNamesAreWrapped) {
    const struct {
        std::string Name;
        bool Wrapped;
    } cases[] = {
        {"/tmp/clip.avi", false},
        {"/tmp/\xC3\xBC\xE5\x90\x8D.avi", false}, // valid UTF-8 passes unchanged
        {"http://127.0.0.1/clip.avi", false},
        {"unicode:utf8:/tmp/clip.avi", false},
        {"pipe:0", false},
        {"/tmp/\xFF\xFE.avi", true},     // not UTF-8
        {"http:/tmp/\xFF.avi", false},   // addressed to a protocol: never wrapped
        {"/tmp/\xED\xA0\x80.avi", true}, // encoded surrogate
        {"/tmp/\xC3", true},             // cut sequence
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NeedsUnicodeProtocol(c.Name), c.Wrapped) << c.Name;
        const std::string library = LibraryFileName(c.Name);
        EXPECT_EQ(library, c.Wrapped ? "unicode:utf8:" + c.Name : c.Name);
        if (!HasUnicodePrefix(c.Name)) {
            EXPECT_EQ(WideFileName(library), c.Name);
        }
    }
    EXPECT_EQ(WideFileName("unicode:utf8:/tmp/clip.avi"), "/tmp/clip.avi");
    EXPECT_EQ(WideFileName("unicode:utf8:"), "unicode:utf8:"); // the prefix alone names nothing
}

// The libraries read "a:b.wav" as protocol "a"; the user's local file of that name must win.
TEST(UnicodeProtocolTest, LocalNamesWithAColonAreFiles) {
    test::LoadEngineLibraries();
    test::TTempDir dir;
    std::filesystem::copy_file(test::Fixture("a.mp3"), dir.Path() + "a:b.mp3");
    std::filesystem::copy_file(test::Fixture("a.mp3"), dir.Path() + "http:x.mp3");
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const struct {
        std::string Name;
        std::string Library;
    } cases[] = {
        {"a:b.mp3", "file:a:b.mp3"},
        {"http:x.mp3", "file:http:x.mp3"},   // exists: the file, not the protocol
        {"new:out.wav", "file:new:out.wav"}, // no such protocol: a file to be made
        {"http://127.0.0.1:1/x.mp3", "http://127.0.0.1:1/x.mp3"},
        {"pipe:0", "pipe:0"},
        {"file:a.mp3", "file:a.mp3"},
        {dir.Path() + "a:b.mp3", dir.Path() + "a:b.mp3"}, // a path is never read as a protocol
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LibraryFileName(c.Name), c.Library) << c.Name;
        if (c.Name.compare(0, 5, "file:") != 0) {
            EXPECT_EQ(WideFileName(c.Library), c.Name);
        }
    }
    TFFDecoder decoder;
    for (const char* name : {"a:b.mp3", "http:x.mp3"}) {
        EXPECT_TRUE(decoder.LoadFile(name)) << name << ": " << decoder.LastErrorMessage();
        EXPECT_EQ(decoder.FileName(), name);
        EXPECT_EQ(decoder.AudioStreamCount(), 1);
    }
    std::filesystem::current_path(cwd);
}

TEST(UnicodeProtocolTest, PrefixedAndUnrepresentableNamesOpenAndReportTheSameName) {
    test::LoadEngineLibraries();
    test::TTempDir dir;
    const std::string odd = dir.Path() + "clip-\xFF\xFE.avi";
    std::filesystem::copy_file(test::Fixture("av.avi"), odd);
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(odd)) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.FileName(), odd);
    EXPECT_EQ(std::string(decoder.FormatContext()->url), "unicode:utf8:" + odd);
    EXPECT_EQ(decoder.FileSize(), static_cast<int64_t>(std::filesystem::file_size(odd)));
    EXPECT_TRUE(decoder.DecodeVideoFrame());

    const std::string plain = test::Fixture("a.mp3");
    ASSERT_TRUE(decoder.LoadFile("unicode:utf8:" + plain)) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.FileName(), plain);
    EXPECT_EQ(decoder.AudioStreamCount(), 1);

    EXPECT_FALSE(decoder.LoadFile("unicode:utf8:" + dir.Path() + "missing.avi"));
    EXPECT_EQ(decoder.LastErrorMessage(),
              "unicode:utf8:" + dir.Path() + "missing.avi: No such file or directory");
}

TEST(UnicodeProtocolTest, WritesReadsSeeksAndSizesThroughTheIOContext) {
    test::LoadEngineLibraries();
    test::TTempDir dir;
    const std::string url = "unicode:utf8:" + dir.Path() + "out-\xFF.bin";
    const std::string payload = "0123456789abcdef";
    int error = 0;
    {
        auto io = TUnicodeIO::Open(url, 1, error);
        ASSERT_TRUE(io) << error;
        FFApi.avio_write(io->Context(), reinterpret_cast<const unsigned char*>(payload.data()),
                         static_cast<int>(payload.size()));
        io->Close();
    }
    EXPECT_EQ(std::filesystem::file_size(dir.Path() + "out-\xFF.bin"), payload.size());
    auto io = TUnicodeIO::Open(url, 0, error);
    ASSERT_TRUE(io);
    EXPECT_EQ(FFApi.avio_size(io->Context()), static_cast<int64_t>(payload.size()));
    EXPECT_EQ(FFApi.avio_seek(io->Context(), 10, SEEK_SET), 10);
    unsigned char buf[16] = {};
    EXPECT_EQ(FFApi.avio_read(io->Context(), buf, 6), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "abcdef");
    EXPECT_LT(FFApi.avio_read(io->Context(), buf, 1), 0); // end of file

    EXPECT_FALSE(TUnicodeIO::Open("unicode:utf8:" + dir.Path() + "none", 0, error));
    EXPECT_EQ(error, AVERROR(ENOENT));
    EXPECT_EQ(UnicodeOpen(dir.Path() + "none", 0), -2);
}

} // namespace
} // namespace mw
