#include "download/LinkList.h"
#include "download/Quality.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

TEST(Quality, LabelsExtensionsAndAddressesFollowTheSlots) {
    const TQualityOrder slots = DefaultOrder;
    TStreamTable table;
    table.Set(5, "u5");
    table.Set(18, "u18");
    table.Set(37, "u37");
    struct TCase {
        int Attempt;
        const char* Short;
        const char* Ext;
        const char* Address;
    };
    const TCase cases[] = {
        {0, "[Default Quality - HQ5 - (FLV, 400 x 240, Mono 44KHz MP3)]", ".flv", "u5"},
        {1, "[HQ18]", ".mp4", "u18"},
        {2, "[HQ35]", ".flv", ""},
        {4, "[HQ6]", ".flv", ""},
        {5, "[HQ13]", ".3gp", ""},
        {8, "[HQ37]", ".mp4", "u37"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Attempt);
        EXPECT_EQ(QualityShortLabel(c.Attempt, slots), c.Short);
        EXPECT_EQ(QualityExtension(c.Attempt, slots), c.Ext);
        EXPECT_EQ(QualityStreamAddress(c.Attempt, slots, table), c.Address);
    }
    EXPECT_EQ(QualityLongLabel("[HQ22]"), "[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)");
    EXPECT_EQ(QualityLongLabel("[hq22]"), "[Default Quality - HQ5 - (FLV, 400 x 240, Mono 44KHz MP3)]");
    // A slot outside 0..7 is treated as HQ5 but has no address.
    const TQualityOrder bad = {9, 2, 3, 0, 4, 5, 6, 200};
    EXPECT_EQ(QualityShortLabel(1, bad), "[Default Quality - HQ5 - (FLV, 400 x 240, Mono 44KHz MP3)]");
    EXPECT_EQ(QualityExtension(8, bad), ".flv");
    EXPECT_EQ(QualityStreamAddress(1, bad, table), "");
}

TEST(Quality, SummariesForBothOrdersAndTheOffState) {
    EXPECT_EQ(PreferenceSummary(false, DefaultOrder),
              "[Default Quality - HQ5 - (FLV, 400 x 240, Mono 44KHz MP3)]");
    EXPECT_EQ(PreferenceSummary(true, DefaultOrder),
              "Prefer: [HQ18] > [HQ35] > [HQ22] > [HQ6] > [HQ13] > [HQ17] > [HQ34] > [HQ37]");
    EXPECT_EQ(PreferenceSummary(true, BestAvailableOrder),
              "Prefer: [HQ37] > [HQ22] > [HQ35] > [HQ18] > [HQ6] > [HQ34] > [HQ13] > [HQ17]");
}

TEST(QualityDialog, UpDownDefaultBestAvailableAndOK) {
    TQualityOrder slots = DefaultOrder;
    TYouTubeHQModel model(slots);
    ASSERT_EQ(model.Rows().size(), 8u);
    EXPECT_EQ(model.Rows()[0].Type, "[HQ18]");
    EXPECT_EQ(model.Rows()[0].Format, "MP4(H.264)");
    EXPECT_EQ(model.Rows()[0].Video, "640 x 360");
    EXPECT_EQ(model.Rows()[0].Audio, "Stereo 44KHz AAC");
    model.Select(0);
    model.Up(); // first row: nothing moves
    EXPECT_EQ(model.Selected(), 0);
    model.Select(7);
    model.Down(); // last row: nothing moves
    model.Up();
    EXPECT_EQ(model.Selected(), 6);
    EXPECT_EQ(model.Rows()[6].Type, "[HQ37]");
    EXPECT_EQ(slots, DefaultOrder); // Up and Down change only the list
    model.OK();
    EXPECT_EQ(slots, (TQualityOrder{1, 2, 3, 0, 4, 5, 7, 6}));
    model.BestAvailable(); // changes the slots at once; a Cancel afterwards would not undo it
    EXPECT_EQ(slots, BestAvailableOrder);
    EXPECT_EQ(model.Rows()[0].Type, "[HQ37]");
    model.Default();
    EXPECT_EQ(slots, DefaultOrder);
}

TEST(QualityDialog, CodesOutsideTheTableShowNoRowAndOKKeepsTheRest) {
    TQualityOrder slots = {1, 1, 99, 0, 4, 5, 6, 7};
    TYouTubeHQModel model(slots);
    ASSERT_EQ(model.Rows().size(), 7u);
    EXPECT_EQ(model.Rows()[0].Type, model.Rows()[1].Type); // the same code twice shows twice
    model.OK();
    EXPECT_EQ(slots, (TQualityOrder{1, 1, 0, 4, 5, 6, 7, 7}));
}

// Answers the link messages from a script of OK/Cancel.
struct TScriptedPrompt : ILinkListPrompt {
    std::vector<bool> Answers;
    std::vector<std::string> Shown;
    bool ShowLinkMessage(const std::string& text) override {
        Shown.push_back(text);
        const bool answer = Answers.empty() ? true : Answers.front();
        if (!Answers.empty()) Answers.erase(Answers.begin());
        return answer;
    }
};

class LinkListTest : public ::testing::Test {
  protected:
    void SetUp() override { SetVideoSiteDomain("youtube.com"); }
    TLinkList List;
    TScriptedPrompt Prompt;
};

TEST_F(LinkListTest, ABadSecondLineShowsOneMessageAndOKGoesOn) {
    List.Paste("http://www.youtube.com/watch?v=1\r\nnot a link\r\nhttp://youtube.com/watch?v=3", Prompt);
    EXPECT_EQ(List.Links,
              (std::vector<std::string>{"http://www.youtube.com/watch?v=1", "http://youtube.com/watch?v=3"}));
    ASSERT_EQ(Prompt.Shown.size(), 1u);
    EXPECT_EQ(Prompt.Shown[0], "not a link\n\r\n\rThis is not a YouTube video link.");
}

TEST_F(LinkListTest, CancelStopsThePasteAndKeepsWhatWasAdded) {
    Prompt.Answers = {false};
    List.Paste("http://www.youtube.com/watch?v=1\nnot a link\nhttp://youtube.com/watch?v=3", Prompt);
    EXPECT_EQ(List.Links, std::vector<std::string>{"http://www.youtube.com/watch?v=1"});
}

TEST_F(LinkListTest, DuplicatesCaseAndSpaces) {
    List.Paste("http://youtube.com/watch?v=a\n\nhttp://youtube.com/watch?v=a\nhttp://youtube.com/watch?v=A\n"
               "  HTTP://YOUTUBE.COM/watch?v=b",
               Prompt);
    EXPECT_EQ(List.Links,
              (std::vector<std::string>{"http://youtube.com/watch?v=a", "http://youtube.com/watch?v=A",
                                        "  HTTP://YOUTUBE.COM/watch?v=b"}));
    ASSERT_EQ(Prompt.Shown.size(), 1u);
    EXPECT_EQ(Prompt.Shown[0],
              "http://youtube.com/watch?v=a\n\r\n\rThis video is already in the download list.");
}

// On the extractor road any site's web link is taken; the site check is the built-in road's.
TEST_F(LinkListTest, TheExtractorRoadTakesWebLinksOfAnySite) {
    List.AnySite = true;
    List.Paste("https://video.example/v/1\n  HTTP://127.0.0.1:8080/x  \nftp://files.example/v\n"
               "-o/etc/passwd http://x\nhttp://\nhttp://www.youtube.com/watch?v=1",
               Prompt);
    EXPECT_EQ(List.Links, (std::vector<std::string>{"https://video.example/v/1", "  HTTP://127.0.0.1:8080/x  ",
                                                    "http://www.youtube.com/watch?v=1"}));
    ASSERT_EQ(Prompt.Shown.size(), 3u);
    EXPECT_EQ(Prompt.Shown[0], "ftp://files.example/v\n\r\n\rThis is not a web link (http:// or https://).");
    List.AnySite = false;
    List.Empty();
    Prompt.Shown.clear();
    List.Paste("https://video.example/v/1", Prompt);
    EXPECT_TRUE(List.Links.empty());
    ASSERT_EQ(Prompt.Shown.size(), 1u);
    EXPECT_NE(Prompt.Shown[0].find(NotAVideoLinkText), std::string::npos);
}

TEST(LinkPaste, SplittingKeepsQuotedLineBreaks) {
    EXPECT_EQ(SplitPastedText("\r\n\r\na\r\n'b\r\nc'\n\"d\ne\"f\n"),
              (std::vector<std::string>{"a", "'b\r\nc'", "\"d\ne\"f"}));
    EXPECT_EQ(SplitPastedText("it's\nx"), (std::vector<std::string>{"it's", "x"})); // an unpaired quote
    EXPECT_TRUE(SplitPastedText("\r\n\n").empty());
}

TEST(LinkRemove, TheLowestRemovedRowIsSelectedAfterwards) {
    TLinkList list;
    list.Links = {"a", "b", "c", "d"};
    EXPECT_EQ(list.Remove({3}), 2);
    EXPECT_EQ(list.Remove({0, 2}), 0);
    EXPECT_EQ(list.Links, std::vector<std::string>{"b"});
    EXPECT_EQ(list.Remove({0}), -1);
    EXPECT_EQ(list.Remove({}), -1);
}

} // namespace
} // namespace mw
