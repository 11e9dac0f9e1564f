#include "promotions/PromotionRules.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

TEST(OfferFolder, FollowsTheInstallersAcceptedOffers) {
    struct Case {
        const char* Ini; // nullptr: no file
        const char* Word;
    };
    const Case cases[] = {
        {nullptr, "bundleCO"},
        {"[Settings]\nbundleCO=Yes\nbundleOP=Yes\nbundleCS=Yes\n", "bundleALL"},
        {"[Settings]\nbundleCO=Yes\n", "bundleOP"},
        {"[Settings]\nbundleCO=Yes\nbundleOP=Yes\n", "bundleCS"},
        {"[Settings]\nbundleCO=yes\nbundleOP=Yes\nbundleCS=Yes\n", "bundleCO"}, // exactly "Yes"
        {"[Other]\nbundleCO=Yes\n", "bundleCO"},
        {"\x01\xff garbage without sections\n", "bundleCO"},
    };
    for (const Case& c : cases) {
        test::TTempDir dir;
        const std::string path = dir.Path() + InstallerIniFileName;
        if (c.Ini) dir.Write(InstallerIniFileName, c.Ini);
        EXPECT_EQ(OfferFolder(ReadInstallerOffers(path)), c.Word) << (c.Ini ? c.Ini : "(no file)");
    }
}

TEST(SiteWord, DropsPrefixesAndSlashes) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.com/", "example.com"},
        {"HTTP://WWW.Example.com/", "Example.com"},
        {"http://example.com/tools/video/", "example.comtoolsvideo"},
        {"https://www.example.com/", "example.com"},
        {"example.com", "example.com"},
        {"", ""},
    };
    for (const auto& [link, word] : cases)
        EXPECT_EQ(SiteWord(link), word) << link;
    EXPECT_EQ(PromotionAddress("https://ads.example/", "bundleCO", "example.com", ".dat"),
              "https://ads.example/ad/bundleCO/example.com.dat");
}

TEST(PromotionInfo, ReadsTheDefinedFormsAndToleratesOthers) {
    const TPromotionInfo three = ParsePromotionInfo("https://x.example/p\nTry it\nWEBPAGE\n");
    EXPECT_TRUE(three.Valid);
    EXPECT_EQ(three.Target, "https://x.example/p");
    EXPECT_EQ(three.Hint, "Try it");
    EXPECT_EQ(three.Kind, TPromotionKind::WebPage);
    EXPECT_EQ(three.Confirm1, "");

    const TPromotionInfo five = ParsePromotionInfo(
        "https://x.example/s\r\nHint\r\nEXEFILE\r\n  Install it?  \r\n\tReally. \r\nextra\r\n");
    EXPECT_EQ(five.Kind, TPromotionKind::ExeFile);
    EXPECT_EQ(five.Confirm1, "Install it?");
    EXPECT_EQ(five.Confirm2, "Really.");

    const TPromotionInfo four = ParsePromotionInfo("t\nh\nEXEFILE\nSure?");
    EXPECT_EQ(four.Confirm1, "Sure?");
    EXPECT_EQ(four.Confirm2, "");

    EXPECT_FALSE(ParsePromotionInfo("t\nh\n").Valid);
    EXPECT_FALSE(ParsePromotionInfo("").Valid);
    EXPECT_EQ(ParsePromotionInfo("t\nh\nSOMETHING\n").Kind, TPromotionKind::None);
}

TEST(PromotionAddresses, OnlyHttpsOrLoopbackHttpIsFetched) {
    const std::pair<const char*, bool> fetch[] = {
        {"https://ads.example/ad/x.dat", true},
        {"HTTPS://ads.example/x", true},
        {"http://127.0.0.1:8080/ad/x.dat", true},
        {"http://localhost/x", true},
        {"http://[::1]:99/x", true},
        {"http://ads.example/ad/x.dat", false},
        {"http://127.0.0.1.evil.example/x", false},
        {"http://127.0.0.1@evil.example/x", false},
        {"http://127.0.0.1%2eevil.example/x", false},
        {"ftp://127.0.0.1/x", false},
        {"file:///etc/passwd", false},
        {"https://", false},
        {"https://ads.example/a b", false},
        {"ads.example/x", false},
    };
    for (const auto& [url, allowed] : fetch)
        EXPECT_EQ(IsFetchAllowed(url), allowed) << url;

    const std::pair<const char*, bool> pages[] = {
        {"https://x.example/offer", true}, {"http://x.example/offer", true}, {"file:///home/user/x", false},
        {"javascript:alert(1)", false},    {"smb://x.example/share", false},
    };
    for (const auto& [url, allowed] : pages)
        EXPECT_EQ(IsWebPageAllowed(url), allowed) << url;
}

} // namespace
} // namespace mw
