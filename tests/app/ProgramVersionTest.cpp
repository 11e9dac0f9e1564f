#include "app/ProgramVersion.h"
#include "TempDir.h"
#include "app/ProductConfig.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

std::string Encoded(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += DecodeConfigLine(text.substr(start, end - start)) + "\n";
        start = end + 1;
    }
    return out;
}

TEST(ProgramVersion, Lines) {
    const TComponentVersion found{"libavcodec", "59.37.100", "/usr/lib/libavcodec.so.59"};
    const TComponentVersion missing{"libavdevice", "", "Load library libavdevice.so.59 error: gone"};
    struct TCase {
        TProgramVersion Version;
        std::string Text;
    };
    const TCase cases[] = {
        {{"mediawizard-cli", "1.0.0", "Kestrel Media Wizard", "", {found, missing}, std::nullopt},
         "mediawizard-cli 1.0.0 (Kestrel Media Wizard)\n"
         "libavcodec 59.37.100 (/usr/lib/libavcodec.so.59)\n"
         "libavdevice: not found (Load library libavdevice.so.59 error: gone)\n"},
        {{"mediawizard",
          "",
          "",
          "Cannot open file \"x/lamecore.dll\"",
          {},
          TComponentVersion{"yt-dlp", "2023.03.04", ""}},
         "mediawizard (edition not readable: Cannot open file \"x/lamecore.dll\")\nyt-dlp 2023.03.04\n"},
        {{"mediawizard", "2.1", "", "", {}, TComponentVersion{"yt-dlp", "", ""}},
         "mediawizard 2.1\nyt-dlp: not found\n"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FormatProgramVersion(c.Version), c.Text);
    EXPECT_EQ(PackedVersionText((59u << 16) | (37u << 8) | 100u), "59.37.100");
    EXPECT_EQ(PackedVersionText((8u << 16) | 100u), "8.0.100");
}

// A version query must answer even for an edition whose numbers the window would refuse.
TEST(ProgramVersion, EditionNameAndVersionDespiteABadNumber) {
    test::TTempDir dir;
    const std::string file =
        dir.Write("lamecore.dll", Encoded("[system]\nname = Kestrel Test\nVersion=3.2.1\nSkin=wide\n"));
    TProgramVersion v;
    ReadEditionVersion(file, v);
    EXPECT_EQ(v.Edition, "Kestrel Test");
    EXPECT_EQ(v.Version, "3.2.1");
    EXPECT_TRUE(v.EditionError.empty());
    EXPECT_THROW(ReadProductConfig(file), EConfigError);

    TProgramVersion none;
    ReadEditionVersion(dir.Path() + "absent.dll", none);
    EXPECT_NE(none.EditionError.find("absent.dll"), std::string::npos) << none.EditionError;
}

} // namespace
} // namespace mw
