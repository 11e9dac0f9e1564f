// The page controller against a fake window: no Qt, every call recorded.
#include "wizard/PageController.h"
#include "TempDir.h"
#include "app/UtilFuncs.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <utility>
#include <gtest/gtest.h>

namespace mw {
namespace {

using P = TWizardPage;

class TFakeWindow : public IWizardWindow {
  public:
    void ShowPage(TWizardPage page) override {
        Page = page;
        Calls.push_back("page");
    }
    TWizardPage CurrentPage() const override { return Page; }
    void SetTitleText(const std::string& text) override { Title = text; }
    void SetCommands(const TCommandState& back, const TCommandState& next,
                     const TCommandState& exit) override {
        Back = back;
        Next = next;
        Exit = exit;
    }
    bool AskYesNo(const std::string& question) override {
        Questions.push_back(question);
        // What happens while the question is open (the run's end arrives meanwhile).
        if (WhileAsking) std::exchange(WhileAsking, nullptr)();
        if (Answers.empty()) return false;
        const bool yes = Answers.front();
        Answers.pop_front();
        return yes;
    }
    void ShowNotice(const std::string& text) override { Notices.push_back(text); }
    void CloseQuestion() override { Calls.push_back("close question"); }
    void QueueStep(std::function<void()> step) override { Queued.push_back(std::move(step)); }
    void ProcessPendingEvents() override { Calls.push_back("events"); }
    void CloseWindow() override { Closed = true; }
    void SetFinishOptions(bool playSound, bool shutDown) override {
        Play = playSound;
        ShutDown = shutDown;
    }
    void SetConversionSummary(int total, int succeeded, int failed, const std::string& errors) override {
        Summary = {total, succeeded, failed};
        Errors = errors;
    }

    void OutputPageApplied() override { Calls.push_back("output applied"); }

    TWizardPage Page = P::Mode;
    std::string Title;
    TCommandState Back, Next, Exit;
    std::deque<bool> Answers;
    std::function<void()> WhileAsking;
    std::vector<std::string> Questions, Notices, Calls;
    std::vector<std::function<void()>> Queued;
    bool Closed = false, Play = false, ShutDown = false;
    std::vector<int> Summary;
    std::string Errors;
};

// A controller over the fake window with a source list of Rows rows.
struct TWizard {
    explicit TWizard(bool download, bool merge = false) {
        Config.Name = "Kestrel";
        Config.Download = download;
        Config.Merge = merge;
        TWizardRunHooks hooks;
        hooks.SourceCount = [this] { return Rows; };
        hooks.ClearSources = [this] { Rows = 0; };
        hooks.ClearConversionList = [this] { Log.push_back("clear conversion list"); };
        hooks.StartConversion = [this] { Log.push_back("start"); };
        hooks.StopEncoder = [this](bool detach) { Log.push_back(detach ? "stop detached" : "stop"); };
        Controller = std::make_unique<TPageController>(Window, Config, Settings, Output, hooks);
        Controller->GoToStartPage();
    }
    TProductConfig Config;
    TUserSettings Settings;
    TOutputPageModel Output{Settings};
    TFakeWindow Window;
    int Rows = 0;
    std::vector<std::string> Log;
    std::unique_ptr<TPageController> Controller;
};

struct TCaptionRow {
    P Page;
    bool Download, Merge;
    const char* Title;
    bool BackEnabled;
    const char* Next;
    bool NextEnabled;
    const char* Exit;
};

class PageCaptions : public testing::TestWithParam<TCaptionRow> {};

TEST_P(PageCaptions, TitleAndCommandsOfThePage) {
    const TCaptionRow& row = GetParam();
    TWizard w(row.Download, row.Merge);
    w.Controller->ShowPage(row.Page);
    EXPECT_EQ(w.Window.Title, row.Title);
    EXPECT_EQ(w.Window.Back, (TCommandState{"Back", row.BackEnabled}));
    EXPECT_EQ(w.Window.Next, (TCommandState{row.Next, row.NextEnabled}));
    EXPECT_EQ(w.Window.Exit, (TCommandState{row.Exit, true}));
}

const char* const FileTitle =
    "Select the file(s) you want to convert. Use \"Move Up\" and \"Move Down\" to change the order.";
const char* const OutputTitle = "Select an output mode and specify a path for the output files.";

std::string CaptionRowName(const testing::TestParamInfo<TCaptionRow>& info) {
    static const char* const Pages[] = {"Mode",    "Files", "Output",      "Converting",
                                        "Summary", "Links", "Downloading", "DownloadSummary"};
    return std::string(Pages[static_cast<int>(info.param.Page)]) + (info.param.Download ? "_Download" : "") +
           (info.param.Merge ? "_Join" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageCaptions,
    testing::Values(
        TCaptionRow{P::Mode, true, false, "Welcome to Kestrel! What do you want to do?", false, "Next", true,
                    "Exit"},
        TCaptionRow{P::Step1, true, false, FileTitle, true, "Next", true, "Cancel"},
        TCaptionRow{P::Step1, false, false, FileTitle, false, "Next", true, "Exit"},
        TCaptionRow{P::Step2, false, false, OutputTitle, true, "Convert", true, "Cancel"},
        TCaptionRow{P::Step2, false, true, OutputTitle, true, "Join Now", true, "Cancel"},
        TCaptionRow{P::Step3, false, true, "Conversion information.", false, "Next", false, "Cancel"},
        TCaptionRow{P::Step4, false, true, "The conversion is finished.", false, "Finish", true, "Exit"},
        TCaptionRow{P::Step5, true, false, "Copy a YouTube link from your browser address bar and Paste here",
                    true, "Download", true, "Cancel"},
        TCaptionRow{P::Step6, true, false, "Downloading information.", false, "Next", false, "Cancel"},
        TCaptionRow{P::Step7, true, false, "The downloading is finished.", false, "Finish", true, "Exit"}),
    CaptionRowName);

TEST(PageController, StartPageByEdition) {
    TWizard convertOnly(false);
    EXPECT_EQ(convertOnly.Window.Page, P::Step1);
    EXPECT_FALSE(convertOnly.Window.Back.Enabled);
    EXPECT_EQ(convertOnly.Window.Exit.Caption, "Exit");
    TWizard both(true);
    EXPECT_EQ(both.Window.Page, P::Mode);
}

TEST(PageController, FilePageNextNeedsFiles) {
    TWizard w(false);
    w.Controller->Next();
    EXPECT_EQ(w.Window.Notices, std::vector<std::string>{"Please add the video files you want to convert"});
    EXPECT_EQ(w.Window.Page, P::Step1);

    w.Rows = 2;
    w.Settings.OutputFileDir = "/stored/";
    w.Settings.OutputSelection.OutputFormatClass = fcAudio;
    w.Controller->Next();
    EXPECT_EQ(w.Window.Page, P::Step2);
    EXPECT_EQ(w.Output.OutputFolder(), "/stored/");
    EXPECT_EQ(w.Output.ActiveClass(), fcAudio);
}

TEST(PageController, FilePageExitAndBack) {
    // Download edition: Exit reads Cancel and, after Yes, returns to the mode page with the list emptied.
    TWizard w(true);
    w.Controller->ShowPage(P::Step1);
    w.Rows = 3;
    w.Controller->Exit(); // answered No
    EXPECT_EQ(w.Window.Page, P::Step1);
    EXPECT_EQ(w.Rows, 3);
    w.Window.Answers = {true};
    w.Controller->Exit();
    EXPECT_EQ(w.Window.Questions.back(), "Are you sure to cancel?");
    EXPECT_EQ(w.Window.Page, P::Mode);
    EXPECT_EQ(w.Rows, 0);

    w.Controller->ShowPage(P::Step1);
    w.Rows = 1;
    w.Window.Answers = {true};
    w.Controller->Back();
    EXPECT_EQ(w.Window.Questions.back(), "Are you sure to cancel and go back?");
    EXPECT_EQ(w.Window.Page, P::Mode);
    EXPECT_EQ(w.Rows, 0);
    EXPECT_FALSE(w.Window.Closed);

    // Conversion only: Back is disabled and does nothing; Exit asks to quit and closes on Yes.
    TWizard c(false);
    c.Window.Answers = {true};
    c.Controller->Back();
    EXPECT_TRUE(c.Window.Questions.empty());
    c.Controller->Exit();
    EXPECT_EQ(c.Window.Questions, std::vector<std::string>{"Are you sure to quit now?"});
    EXPECT_TRUE(c.Window.Closed);
}

TEST(PageController, OutputPageNextCreatesTheFolderChainOrReports) {
    test::TTempDir dir;
    TWizard w(false);
    w.Rows = 1;
    w.Controller->Next();
    w.Settings.PlayASoundWhenFinished = true;

    const std::string failed =
        "Fail to create directory! Please check if output folder have the right format!";
    // Empty field, a relative name and a folder below a file all stay on the page with the notice.
    const std::string file = dir.Write("plain", "x");
    for (const std::string& folder : {std::string(), std::string("relative/out"), file + "/sub"}) {
        w.Output.SetOutputFolder(folder);
        w.Controller->Next();
        EXPECT_EQ(w.Window.Page, P::Step2) << folder;
        EXPECT_EQ(w.Window.Notices.back(), failed) << folder;
    }
    EXPECT_EQ(w.Settings.OutputFileDir, file + "/sub/") << "the folder is stored before the check";

    const std::string chain = dir.Path() + "a/b/c";
    w.Output.SetOutputFolder(chain);
    w.Window.Calls.clear();
    w.Controller->Next();
    EXPECT_TRUE(DirectoryExists(chain));
    EXPECT_EQ(w.Settings.OutputFileDir, chain + "/");
    EXPECT_EQ(w.Window.Page, P::Step3);
    EXPECT_EQ(w.Window.Calls, (std::vector<std::string>{"events", "page"}))
        << "repaint before the page change";
    EXPECT_TRUE(w.Window.Play);
    EXPECT_FALSE(w.Window.ShutDown);
    EXPECT_TRUE(w.Log.empty()) << "the run starts only after pending events";
    ASSERT_EQ(w.Window.Queued.size(), 1u);
    w.Window.Queued[0]();
    EXPECT_EQ(w.Log, std::vector<std::string>{"start"});
}

TEST(PageController, OutputPageBackDoesNotStore) {
    TWizard w(false);
    w.Rows = 1;
    w.Settings.OutputFileDir = "/stored/";
    w.Controller->Next();
    w.Output.SetOutputFolder("/changed");
    w.Output.SelectPreset(fcVideo, 0, 0);
    w.Controller->Back();
    EXPECT_TRUE(w.Window.Questions.empty());
    EXPECT_EQ(w.Window.Page, P::Step1);
    EXPECT_EQ(w.Settings.OutputFileDir, "/stored/");
    EXPECT_EQ(w.Settings.OutputSelection.Presets[fcVideo][0], DefaultPresetIndex[fcVideo][0]);
    w.Controller->Next();
    EXPECT_EQ(w.Output.OutputFolder(), "/stored/");
    EXPECT_EQ(w.Output.CurrentPreset(fcVideo, 0), DefaultPresetIndex[fcVideo][0]);

    w.Window.Answers = {true};
    w.Controller->Exit();
    EXPECT_EQ(w.Window.Questions.back(), "Are you sure to cancel?");
    EXPECT_EQ(w.Window.Page, P::Step1);
    EXPECT_EQ(w.Rows, 0);
}

TEST(PageController, TheRunsEndTakesBackTheCancelQuestionAndALateYesStopsNothing) {
    TWizard w(false);
    w.Controller->ShowPage(P::Step3);
    w.Window.Calls.clear();
    // The run ends while "Do you really want to cancel the conversion?" is open; the answer
    // that comes back afterwards is Yes (given in the same instant).
    w.Window.WhileAsking = [&w] { w.Controller->ShowConversionSummary(1, 1, {}); };
    w.Window.Answers = {true};
    w.Controller->Exit();
    EXPECT_EQ(w.Window.Calls.front(), "close question");
    EXPECT_EQ(w.Window.Page, P::Step4);
    EXPECT_TRUE(w.Log.empty()) << "the encoder of a finished run is not stopped";
    EXPECT_EQ(w.Window.Summary, (std::vector<int>{1, 1, 0}));
}

TEST(PageController, CancellingAConversionThenItsSummary) {
    TWizard w(false, true);
    w.Controller->ShowPage(P::Step3);
    w.Controller->Next();
    w.Controller->Back();
    EXPECT_TRUE(w.Log.empty());
    w.Controller->Exit(); // No
    EXPECT_EQ(w.Window.Questions, std::vector<std::string>{"Do you really want to cancel the conversion?"});
    EXPECT_TRUE(w.Log.empty());
    w.Window.Answers = {true};
    w.Controller->Exit();
    EXPECT_EQ(w.Log, std::vector<std::string>{"stop"});
    EXPECT_EQ(w.Window.Page, P::Step3) << "the page stays until the run reports its end";

    w.Controller->ShowConversionSummary(1, 0, {"a.avi: cancelled", "b.avi: cancelled"});
    EXPECT_EQ(w.Window.Page, P::Step4);
    EXPECT_EQ(w.Window.Summary, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(w.Window.Errors, "a.avi: cancelled\nb.avi: cancelled");
    EXPECT_EQ(w.Window.Next.Caption, "Finish");

    w.Rows = 2;
    w.Controller->Next();
    EXPECT_EQ(w.Window.Page, P::Step1) << "Finish returns to the start page";
    EXPECT_EQ(w.Rows, 0);
    EXPECT_EQ(w.Log.back(), "clear conversion list");

    w.Controller->ShowConversionSummary(3, 3, {});
    EXPECT_EQ(w.Window.Errors, "");
    w.Window.Answers = {true};
    w.Controller->Exit();
    EXPECT_EQ(w.Window.Questions.back(), "Are you sure to quit now?");
    EXPECT_TRUE(w.Window.Closed);
}

TEST(PageController, CloseQueryStopsTheEncoderThenRunsEveryStepEvenAfterAVeto) {
    TWizard w(true);
    w.Controller->AddCloseStep([&] {
        w.Log.push_back("downloads");
        return true;
    });
    w.Controller->AddCloseStep([&] {
        w.Log.push_back("promotions");
        return false;
    });
    w.Controller->AddCloseStep([&] {
        w.Log.push_back("last");
        return true;
    });
    EXPECT_FALSE(w.Controller->CloseQuery());
    EXPECT_EQ(w.Log, (std::vector<std::string>{"stop detached", "downloads", "promotions", "last"}));
}

TEST(PageController, ModeAndDownloadPagesHaveNoCommandsHere) {
    TWizard w(true);
    for (P page : {P::Mode, P::Step5, P::Step6, P::Step7}) {
        w.Controller->ShowPage(page);
        w.Window.Answers = {true, true, true};
        for (TWizardCommand c : {TWizardCommand::Back, TWizardCommand::Next, TWizardCommand::Exit})
            w.Controller->Command(c);
        EXPECT_EQ(w.Window.Page, page);
    }
    EXPECT_TRUE(w.Window.Questions.empty());
    EXPECT_FALSE(w.Window.Closed);
}

} // namespace
} // namespace mw
