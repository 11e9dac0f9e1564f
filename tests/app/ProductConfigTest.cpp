#include "app/ProductConfig.h"
#include "TempDir.h"
#include "app/UserSettings.h"
#include "app/UtilFuncs.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

// Stores plain INI text the way the product configuration file holds it.
std::string Encode(const std::string& text) {
    std::string out;
    for (const std::string& line : SplitTextLines(text))
        out += DecodeConfigLine(line) + "\r\n";
    return out;
}

const char* Integers = "Skin=1\nDefaultVideo=2\nDefaultDevice=3\nDefaultAudio=4\nDefaultClass=1\n";

TEST(ProductConfig, DecodingIsItsOwnInverse) {
    const std::string text = "[SYSTEM]\nName=Example / Test\n; comment\n\nVersion = 2.0\n";
    const std::string stored = Encode(text);
    EXPECT_EQ(stored.find("Name"), std::string::npos);
    EXPECT_EQ(stored.find("SYSTEM"), std::string::npos);
    std::string decoded;
    for (const std::string& line : SplitTextLines(stored))
        decoded += DecodeConfigLine(line) + "\n";
    EXPECT_EQ(decoded, text);
    EXPECT_EQ(DecodeConfigLine(""), "");
    EXPECT_EQ(DecodeConfigLine("A"), std::string(1, static_cast<char>(~'A')));
}

TEST(ProductConfig, YesValuesAreExact) {
    for (const char* v : {"True", "Yes"})
        EXPECT_TRUE(IsYesValue(v)) << v;
    for (const char* v : {"yes", "TRUE", "1", "", " Yes", "Y"})
        EXPECT_FALSE(IsYesValue(v)) << v;
}

TEST(ProductConfig, ReadsEditionKeys) {
    test::TTempDir dir;
    const std::string file = dir.Write(
        "lamecore.dll", Encode(std::string("[SYSTEM]\nName=Example\nDownload=Yes\n"
                                           "Merge=yes\nAVI=True\nMP3=Yes\nIPAD=1\n"
                                           "ResFolder=skin1\nPromotionsBase=https://ads.example\n") +
                               Integers));
    const TProductConfig c = ReadProductConfig(file);
    EXPECT_EQ(c.Name, "Example");
    EXPECT_TRUE(c.Download);
    EXPECT_FALSE(c.Merge);
    EXPECT_EQ(c.Skin, 1);
    EXPECT_EQ(c.ResFolder, "skin1");
    EXPECT_TRUE(c.VideoFormats[0]);
    EXPECT_FALSE(c.VideoFormats[1]);
    EXPECT_TRUE(c.AudioFormats[1]);
    EXPECT_FALSE(c.DeviceFormats[6]);
    EXPECT_EQ(c.DefaultVideo, 2);
    EXPECT_EQ(c.DefaultDevice, 3);
    EXPECT_EQ(c.DefaultAudio, 4);
    EXPECT_EQ(c.DefaultClass, 1);
    EXPECT_EQ(c.HelpHomePageLink, "");
    EXPECT_EQ(c.PromotionsBase, "https://ads.example");
}

// The video site is a key of the edition; the command-line tool reads it alone and never fails on it.
TEST(ProductConfig, SiteDomainIsAnEditionKeyInLowerCase) {
    const struct {
        const char* Line;
        const char* Domain;
    } cases[] = {
        {"", "youtube.com"},
        {"SiteDomain=\n", "youtube.com"},
        {"SiteDomain = 127.0.0.1:8080\n", "127.0.0.1:8080"},
        {"sitedomain=Video.Example.ORG\n", "video.example.org"},
    };
    test::TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line);
        const std::string file =
            dir.Write("lamecore.dll", Encode(std::string("[SYSTEM]\nName=Example\n") + c.Line + Integers));
        EXPECT_EQ(ReadProductConfig(file).SiteDomain, c.Domain);
        EXPECT_EQ(ReadProductSiteDomain(file), c.Domain);
    }
    EXPECT_EQ(ReadProductSiteDomain(dir.Path() + "missing.dll"), "youtube.com");
}

TEST(ProductConfig, LookUpIgnoresCaseAndBlanksAndTakesTheFirstOccurrence) {
    test::TTempDir dir;
    const std::string file =
        dir.Write("cfg", Encode(std::string("  [ system ]  \nname = First\nNAME=Second\n;Version=no\n"
                                            "Version=\"1.0\"\n[Other]\nCopyright=wrong section\n"
                                            "[SYSTEM]\nName=Third\nCopyright=Later section\n") +
                                "[SYSTEM]\n" + Integers));
    const TProductConfig c = ReadProductConfig(file);
    EXPECT_EQ(c.Name, "First");
    EXPECT_EQ(c.Version, "\"1.0\""); // values are taken as they stand
    EXPECT_EQ(c.Copyright, "Later section");
}

TEST(ProductConfig, IntegerKeys) {
    test::TTempDir dir;
    struct TCase {
        const char* Lines;
        bool Throws;
        int32_t DefaultClass;
        uint8_t DefaultAudio;
    } cases[] = {
        {"Skin=0\nDefaultVideo=0\nDefaultDevice=0\nDefaultAudio=258\nDefaultClass=7\n", false, 7, 2},
        {"Skin=-1\nDefaultVideo=+1\nDefaultDevice=0\nDefaultAudio=-1\nDefaultClass=0\n", false, 0, 255},
        {"Skin=abc\nDefaultVideo=0\nDefaultDevice=0\nDefaultAudio=0\nDefaultClass=0\n", true, 0, 0},
        {"DefaultVideo=0\nDefaultDevice=0\nDefaultAudio=0\nDefaultClass=0\n", true, 0, 0}, // Skin absent
        {"Skin=0\nDefaultVideo=1.5\nDefaultDevice=0\nDefaultAudio=0\nDefaultClass=0\n", true, 0, 0},
        {"Skin=0\nDefaultVideo=0\nDefaultDevice=0\nDefaultAudio=0\nDefaultClass=99999999999\n", true, 0, 0},
    };
    for (const TCase& c : cases) {
        const std::string file = dir.Write("cfg", Encode(std::string("[SYSTEM]\n") + c.Lines));
        if (c.Throws) {
            EXPECT_THROW(ReadProductConfig(file), EConfigError) << c.Lines;
            continue;
        }
        const TProductConfig cfg = ReadProductConfig(file);
        EXPECT_EQ(cfg.DefaultClass, c.DefaultClass);
        EXPECT_EQ(cfg.DefaultAudio, c.DefaultAudio);
        // A class outside 0..2 leaves the settings at Video.
        EXPECT_EQ(DefaultUserSettings(cfg).OutputSelection.OutputFormatClass,
                  c.DefaultClass <= 2 ? c.DefaultClass : 0);
    }
}

TEST(ProductConfig, MissingOrBrokenFilesRaiseConfigErrors) {
    test::TTempDir dir;
    try {
        ReadProductConfig(dir.Path() + "absent.dll");
        FAIL() << "no error";
    } catch (const EConfigError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReadProductConfig(dir.Path()), EConfigError); // a folder, not a file
    // Binary junk decodes to junk: no keys, so the integer keys are missing.
    const std::string junk = dir.Write("junk", std::string("\x01\x02\xff\x00\x7f", 5));
    EXPECT_THROW(ReadProductConfig(junk), EConfigError);
    EXPECT_EQ(ReadProductTitle(junk), "");
}

TEST(ProductConfig, ShippedEditionsDecode) {
    for (const char* edition : {"full", "convert", "join", "audio"}) {
        const std::string file = std::string(MW_TEST_BINARY_DIR) + "/editions/" + edition + "/lamecore.dll";
        const TProductConfig c = ReadProductConfig(file);
        EXPECT_FALSE(c.Name.empty()) << edition;
        EXPECT_FALSE(c.ResFolder.empty()) << edition;
        EXPECT_TRUE(c.PromotionsBase.empty() || c.PromotionsBase.rfind("https://", 0) == 0) << edition;
    }
}

} // namespace
} // namespace mw
