#include "download/VideoInfo.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {
namespace {

struct TTextCase {
    const char* Input;
    const char* Expected;
};

// A readable test name: the input with everything but letters and digits as "_".
void PrintTo(const TTextCase& c, std::ostream* os) {
    for (const char* p = c.Input; *p; ++p)
        *os << (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
}

class DecodeEntitiesTest : public ::testing::TestWithParam<TTextCase> {};
TEST_P(DecodeEntitiesTest, Decodes) {
    EXPECT_EQ(DecodeEntities(GetParam().Input), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeEntitiesTest,
    ::testing::Values(TTextCase{"Tom &amp; Jerry&#39;s &lt;best&gt;", "Tom & Jerry's <best>"},
                      TTextCase{"&quot;q&quot;&nbsp;x", "\"q\" x"},
                      TTextCase{"&#x41;&#X42;&#$43;&#0x44;&#  69;", "ABCDE"},
                      TTextCase{"&#321;", "A"},        // the value modulo 256
                      TTextCase{"&#65abc;z", "Az"},    // reading stops at a non-digit
                      TTextCase{"&#;x", "x"},          // an empty number is 0, and 0 gives nothing
                      TTextCase{"&#233;", "\xC3\xA9"}, // a Latin-1 character, written in UTF-8
                      TTextCase{"a&#66", "aB"},        // no ";" up to the end
                      TTextCase{"AT&T & co &a &ampx &", "AT&T & co &a &ampx &"}, // not entities: kept
                      TTextCase{"plain", "plain"}));

TEST(VideoInfo, TheTitleComesFromTheMetaTag) {
    EXPECT_EQ(ExtractTitle("<head><meta name=\"title\" content=\"My &amp; &#39;Video&#39;\">\n</head>"),
              "My & 'Video'");
    EXPECT_EQ(ExtractTitle("<meta name=\"title\" content=\"\">"), "");
    EXPECT_EQ(ExtractTitle("<html>no title</html>"), "");
    // The greedy run backs off to the last quote and bracket before the next "<".
    EXPECT_EQ(ExtractTitle("<meta name=\"title\" content=\"a\">b\"> <p>"), "ab\">");
}

TEST(VideoInfo, TheInformationAddressUsesTheIdentifierFromTheWatchLink) {
    SetVideoSiteDomain("youtube.com");
    EXPECT_EQ(MakeInfoURL("x <a href=\"http://www.youtube.com/watch?v=abc_123\">y</a>"),
              "http://youtube.com/get_video_info?video_id=abc_123");
    // The dots of the domain match any character; the identifier is the shortest run up to a quote.
    EXPECT_EQ(MakeInfoURL("youtubeXcom/watch?v=Q1\" and youtube.com/watch?v=Q2\""),
              "http://youtube.com/get_video_info?video_id=youtubeXcom/watch?v=Q1");
    EXPECT_EQ(MakeInfoURL("nothing here"), "http://youtube.com/get_video_info?video_id=");
    SetVideoSiteDomain("127.0.0.1:8080");
    EXPECT_EQ(MakeInfoURL("href=\"http://127.0.0.1:8080/watch?v=zz\""),
              "http://127.0.0.1:8080/get_video_info?video_id=zz");
    SetVideoSiteDomain("youtube.com");
}

TEST(VideoInfo, StreamListsFillTheTable) {
    TStreamTable table;
    ParseStreamList("<18>[http://a/1]<br><99>[http://ignored]<br><5>[http://a/5]<br><18>[http://a/2]", table);
    EXPECT_EQ(table.Get(18), "http://a/2");
    EXPECT_EQ(table.Get(5), "http://a/5");
    EXPECT_EQ(table.Get(99), "");
    EXPECT_EQ(table.Get(22), "");
    TStreamTable empty;
    ParseStreamList("", empty);
    EXPECT_TRUE(empty.Empty());
    // A number that is not one ends the parse; what was stored stays.
    TStreamTable partial;
    EXPECT_THROW(ParseStreamList("<22>[http://x]<br><abc>[http://y]<br><37>[http://z]", partial),
                 std::invalid_argument);
    EXPECT_EQ(partial.Get(22), "http://x");
    EXPECT_EQ(partial.Get(37), "");
}

TEST(VideoInfo, DownloadFileNamesAreSafeAndUnique) {
    test::TTempDir dir;
    EXPECT_EQ(MakeDownloadFileName("a/b:c?", ".mp4", dir.Path()), dir.Path() + "a_b_c_.mp4");
    dir.Write("100% fun.flv", "x");
    EXPECT_EQ(MakeDownloadFileName("100% fun", ".flv", dir.Path()), dir.Path() + "100% fun(1).flv");
    dir.Write("100% fun(1).flv", "x");
    EXPECT_EQ(MakeDownloadFileName("100% fun", ".flv", dir.Path()), dir.Path() + "100% fun(2).flv");
}

// Titles are the site's bytes: none of them may pick the place, hide the file or reach a terminal.
TEST(VideoInfo, HostileTitlesGiveSafeNamesWithTheQualitysExtension) {
    using namespace std::string_literals;
    struct TCase {
        std::string Title, Name;
    };
    const TCase cases[] = {
        {".bash_login\0"s, "_.bash_login_.mp4"},
        {"abc\0def"s, "abc_def.mp4"},
        {"\0abc"s, "_abc.mp4"},
        {"\x1b]0;owned\x07 \r\n\x7f", "_]0;owned_ ___.mp4"},
        {"", "_.mp4"},
        {".", "_..mp4"},
        {"..", "_...mp4"},
        {"../../etc/x", "_.._.._etc_x.mp4"},
        {"clip.flv", "clip.flv.mp4"},
    };
    test::TTempDir dir;
    for (const auto& c : cases)
        EXPECT_EQ(MakeDownloadFileName(c.Title, ".mp4", dir.Path()), dir.Path() + c.Name) << c.Title;
}

TEST(VideoInfo, AnythingAtTheNameIsTakenAndLongTitlesAreShortenedAtACharacterBoundary) {
    test::TTempDir dir;
    ASSERT_EQ(::mkdir((dir.Path() + "Folder.mp4").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((dir.Path() + "nowhere").c_str(), (dir.Path() + "Link.mp4").c_str()), 0);
    EXPECT_EQ(MakeDownloadFileName("Folder", ".mp4", dir.Path()), dir.Path() + "Folder(1).mp4");
    EXPECT_EQ(MakeDownloadFileName("Link", ".mp4", dir.Path()), dir.Path() + "Link(1).mp4");

    std::string title;
    for (int i = 0; i < 300; ++i)
        title += "\xc3\xa9"; // two bytes each
    const std::string first = MakeDownloadFileName(title, ".mp4", dir.Path());
    const std::string name = first.substr(dir.Path().size());
    EXPECT_LE(name.size(), 255u);
    EXPECT_GE(name.size(), 250u);
    EXPECT_EQ(name.substr(name.size() - 4), ".mp4");
    EXPECT_EQ((name.size() - 4) % 2, 0u) << "cut inside a character";
    dir.Write(name, "x");
    const std::string second = MakeDownloadFileName(title, ".mp4", dir.Path()).substr(dir.Path().size());
    EXPECT_LE(second.size(), 255u);
    EXPECT_EQ(second.substr(second.size() - 7), "(1).mp4");
    dir.Write(second, "x"); // both names can really be created
    EXPECT_TRUE(std::ifstream(dir.Path() + second).good());
}

// The title search must stay linear: a page of repeated title openings once took minutes (the
// program's TIMEOUT ends the case if it ever does again).
TEST(VideoInfo, TitleSearchOverAHugePageOfRepeatedOpeningsIsLinear) {
    const std::string opening = "<meta name=\"title\" content=\"";
    std::string page;
    page.reserve(16u << 20);
    while (page.size() < (16u << 20))
        page += opening + "xyz";
    EXPECT_EQ(ExtractTitle(page), "");
    page += opening + "Real\">";
    EXPECT_EQ(ExtractTitle(page), "Real");
}

// The stream-map script run through the script host.
class StreamMapTest : public ::testing::Test {
  protected:
    TJavaScript Script;
    TStreamTable Table;
    std::vector<std::string> Echoes, Errors;
    void SetUp() override {
        auto host = std::make_shared<THostScriptlet>();
        host->OnEcho = [this](THostScriptlet*, const std::string& t) {
            Echoes.push_back(t);
            ParseStreamList(t, Table);
        };
        Script.AddScriptlet(host);
        Script.OnError = [this](TCustomScript*, const TScriptError& e) { Errors.push_back(e.Description); };
    }
    void Run(const std::string& info) {
        Script.Lines = StreamMapScriptLines(info);
        Script.Execute();
    }
    static std::string Escape(const std::string& s) {
        static const char* Hex = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : s) {
            if (std::isalnum(c) || c == '.' || c == '-' || c == '_')
                out += static_cast<char>(c);
            else {
                out += '%';
                out += Hex[c >> 4];
                out += Hex[c & 15];
            }
        }
        return out;
    }
    static std::string Entry(int itag, const std::string& url, const std::string& sig) {
        return "itag=" + std::to_string(itag) + "&url=" + Escape(url) + "&sig=" + sig +
               "&type=" + Escape("video/mp4");
    }
};

TEST_F(StreamMapTest, EntriesBecomeAStreamListWithSignatures) {
    const std::string map = Entry(22, "http://v/x?a=1&b=2", "S22") + "," + Entry(18, "http://v/y", "S18");
    Run("status=ok&url_encoded_fmt_stream_map=" + Escape(map) + "&t=1");
    ASSERT_EQ(Echoes.size(), 1u);
    EXPECT_EQ(Echoes[0], "<22>[http://v/x?a=1&b=2&signature=S22]<br><18>[http://v/y&signature=S18]");
    EXPECT_EQ(Table.Get(22), "http://v/x?a=1&b=2&signature=S22");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(StreamMapTest, WebMOnlyEchoesAnEmptyListAndNoMapEchoesEmptyToo) {
    Run("url_encoded_fmt_stream_map=" +
        Escape(Entry(43, "http://w/1", "a") + "," + Entry(100, "http://w/2", "b")));
    Run("status=fail&reason=none");
    EXPECT_EQ(Echoes, (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(Table.Empty());
}

TEST_F(StreamMapTest, ASecondMapEchoesAgainAndOverwrites) {
    Run("url_encoded_fmt_stream_map=" + Escape(Entry(18, "http://a/1", "x")) +
        "&url_encoded_fmt_stream_map=" + Escape(Entry(18, "http://a/2", "y")));
    EXPECT_EQ(Echoes.size(), 2u);
    EXPECT_EQ(Table.Get(18), "http://a/2&signature=y");
}

TEST_F(StreamMapTest, BytesThatAreNotUTF8DoNotBreakTheScript) {
    // A stray Latin-1 byte would otherwise make the engine reject the whole script.
    Run("title=caf\xE9 \xC3\xA9&url_encoded_fmt_stream_map=" + Escape(Entry(18, "http://a/x", "s")) +
        "&x=\xFF");
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(Table.Get(18), "http://a/x&signature=s");
}

TEST_F(StreamMapTest, QuotesBackslashesAndLineBreaksInTheInformationStayText) {
    // A crafted answer trying to close the literal and call the host must stay one string.
    const std::string attack = "x');Host.WriteText('/tmp/mw-pwned','1');('\\\r\n\xE2\x80\xA8\"";
    Run("title=" + attack + "&url_encoded_fmt_stream_map=" + Escape(Entry(5, "http://a/5", "s")));
    EXPECT_TRUE(Errors.empty()) << Errors[0];
    EXPECT_EQ(Echoes, std::vector<std::string>{"<5>[http://a/5&signature=s]"});
    EXPECT_EQ(EscapeJavaScriptString("a'b\\c\"\n\r\x01"), "a\\'b\\\\c\\\"\\n\\r\\x01");
    // Well-formed UTF-8 passes; stray bytes and the line separator are escaped.
    EXPECT_EQ(EscapeJavaScriptString("\xC3\xA9\xE9 \xED\xA0\x80\xE2\x80\xA8"),
              "\xC3\xA9\\xe9 \\xed\\xa0\\x80\\u2028");
}

} // namespace
} // namespace mw
