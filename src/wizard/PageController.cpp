#include "wizard/PageController.h"

#include "app/UtilFuncs.h"

#include <filesystem>
#include <system_error>

namespace mw {

namespace {

enum class TBackRule { Never, Always, WithDownload };
enum class TExitRule { Exit, Cancel, CancelWithDownload };

struct TPageRow {
    TWizardPage Page;
    const char* Title; // "%s" = application title
    const char* Next;
    const char* NextInJoinMode; // nullptr: same as Next
    bool NextEnabled;
    TBackRule Back;
    TExitRule Exit;
};

const TPageRow PageRows[WizardPageCount] = {
    {TWizardPage::Mode, "Welcome to %s! What do you want to do?", "Next", nullptr, true, TBackRule::Never,
     TExitRule::Exit},
    {TWizardPage::Step1,
     "Select the file(s) you want to convert. Use \"Move Up\" and \"Move Down\" to change the order.", "Next",
     nullptr, true, TBackRule::WithDownload, TExitRule::CancelWithDownload},
    {TWizardPage::Step2, "Select an output mode and specify a path for the output files.", "Convert",
     "Join Now", true, TBackRule::Always, TExitRule::Cancel},
    {TWizardPage::Step3, "Conversion information.", "Next", nullptr, false, TBackRule::Never,
     TExitRule::Cancel},
    {TWizardPage::Step4, "The conversion is finished.", "Finish", nullptr, true, TBackRule::Never,
     TExitRule::Exit},
    {TWizardPage::Step5, "Copy a YouTube link from your browser address bar and Paste here", "Download",
     nullptr, true, TBackRule::Always, TExitRule::Cancel},
    {TWizardPage::Step6, "Downloading information.", "Next", nullptr, false, TBackRule::Never,
     TExitRule::Cancel},
    {TWizardPage::Step7, "The downloading is finished.", "Finish", nullptr, true, TBackRule::Never,
     TExitRule::Exit},
};

const TPageRow& RowOf(TWizardPage page) {
    return PageRows[static_cast<int>(page)];
}

std::string Substitute(const std::string& text, const std::string& title) {
    const size_t at = text.find("%s");
    return at == std::string::npos ? text : text.substr(0, at) + title + text.substr(at + 2);
}

} // namespace

namespace {

// A relative folder would land wherever the program happened to start: refuse it like a bad name.
bool CreateOutputFolder(const std::string& folder) {
    return std::filesystem::path(folder).is_absolute() && ForceDirectories(folder, 0777);
}

} // namespace

TPageController::TPageController(IWizardWindow& window, const TProductConfig& config, TUserSettings& settings,
                                 TOutputPageModel& outputPage, TWizardRunHooks hooks)
    : FWindow(window), FConfig(config), FSettings(settings), FOutputPage(outputPage),
      FHooks(std::move(hooks)) {}

TWizardPage TPageController::StartPage() const {
    return FConfig.Download ? TWizardPage::Mode : TWizardPage::Step1;
}

void TPageController::GoToStartPage() {
    ShowPage(StartPage());
}

void TPageController::ShowPage(TWizardPage page) {
    FWindow.ShowPage(page);
    RefreshPageCaptions();
}

std::string TPageController::TitleText(TWizardPage page) const {
    return Substitute(RowOf(page).Title, FConfig.Name);
}

void TPageController::CommandStates(TWizardPage page, TCommandState& back, TCommandState& next,
                                    TCommandState& exit) const {
    const TPageRow& row = RowOf(page);
    back = {"Back",
            row.Back == TBackRule::Always || (row.Back == TBackRule::WithDownload && FConfig.Download)};
    next = {FConfig.Merge && row.NextInJoinMode ? row.NextInJoinMode : row.Next, row.NextEnabled};
    const bool cancel =
        row.Exit == TExitRule::Cancel || (row.Exit == TExitRule::CancelWithDownload && FConfig.Download);
    exit = {cancel ? "Cancel" : "Exit", true};
}

void TPageController::RefreshPageCaptions() {
    const TWizardPage page = FWindow.CurrentPage();
    TCommandState back, next, exit;
    CommandStates(page, back, next, exit);
    FWindow.SetTitleText(TitleText(page));
    FWindow.SetCommands(back, next, exit);
}

void TPageController::Command(TWizardCommand command) {
    const TWizardPage page = FWindow.CurrentPage();
    TCommandState back, next, exit;
    CommandStates(page, back, next, exit);
    // A shortcut must not reach a command whose button is disabled.
    const TCommandState& state = command == TWizardCommand::Back   ? back
                                 : command == TWizardCommand::Next ? next
                                                                   : exit;
    if (!state.Enabled) return;

    // What each command does on the pages of the conversion path; pairs not listed do nothing.
    using P = TWizardPage;
    using C = TWizardCommand;
    struct TAction {
        P Page;
        C Command;
        void (TPageController::*Run)();
    };
    static const TAction Actions[] = {
        {P::Step1, C::Next, &TPageController::FileNext},
        {P::Step1, C::Back, &TPageController::FileBack},
        {P::Step1, C::Exit, &TPageController::FileExit},
        {P::Step2, C::Next, &TPageController::OutputNext},
        {P::Step2, C::Back, &TPageController::OutputBack},
        {P::Step2, C::Exit, &TPageController::OutputExit},
        {P::Step3, C::Exit, &TPageController::ConvertingExit},
        {P::Step4, C::Next, &TPageController::SummaryFinish},
        {P::Step4, C::Exit, &TPageController::QuitQuestion},
    };
    for (const TAction& a : Actions)
        if (a.Page == page && a.Command == command) return (this->*a.Run)();
    for (const TPageAction& a : FPageActions)
        if (a.Page == page && a.Command == command) return a.Run();
}

void TPageController::FileBack() {
    EmptyListAndGoToStartPage("Are you sure to cancel and go back?");
}

void TPageController::FileExit() {
    if (FConfig.Download)
        EmptyListAndGoToStartPage("Are you sure to cancel?");
    else
        QuitQuestion();
}

// Neither the folder nor the presets are stored: the next visit shows the stored ones again.
void TPageController::OutputBack() {
    ShowPage(TWizardPage::Step1);
}

void TPageController::OutputExit() {
    EmptyListAndGoToStartPage("Are you sure to cancel?");
}

void TPageController::FileNext() {
    if ((FHooks.SourceCount ? FHooks.SourceCount() : 0) < 1) {
        FWindow.ShowNotice("Please add the video files you want to convert");
        return;
    }
    ShowPage(TWizardPage::Step2);
    ApplyStep2Settings();
    FWindow.OutputPageApplied();
}

void TPageController::EmptyListAndGoToStartPage(const std::string& question) {
    if (!FWindow.AskYesNo(question)) return;
    if (FHooks.ClearSources) FHooks.ClearSources();
    GoToStartPage();
}

void TPageController::QuitQuestion() {
    if (FWindow.AskYesNo("Are you sure to quit now?")) FWindow.CloseWindow();
}

void TPageController::OutputNext() {
    StoreStep2Settings();
    if (!CreateOutputFolder(FSettings.OutputFileDir)) {
        FWindow.ShowNotice("Fail to create directory! Please check if output folder have the right format!");
        return;
    }
    FWindow.ProcessPendingEvents();
    ShowPage(TWizardPage::Step3);
    FWindow.SetFinishOptions(FSettings.PlayASoundWhenFinished, FSettings.ShutDownWhenFinished);
    if (FHooks.StartConversion) FWindow.QueueStep(FHooks.StartConversion);
}

void TPageController::ConvertingExit() {
    if (!FWindow.AskYesNo(CancelConversionQuestion)) return;
    // An answer given after the run has ended stops nothing.
    if (FWindow.CurrentPage() != TWizardPage::Step3) return;
    if (FHooks.StopEncoder) FHooks.StopEncoder(false);
    RefreshPageCaptions();
}

void TPageController::SummaryFinish() {
    if (FHooks.ClearSources) FHooks.ClearSources();
    if (FHooks.ClearConversionList) FHooks.ClearConversionList();
    GoToStartPage();
}

void TPageController::ShowConversionSummary(int total, int succeeded,
                                            const std::vector<std::string>& errors) {
    FWindow.CloseQuestion();
    FWindow.ShowPage(TWizardPage::Step4);
    std::string text;
    for (const std::string& line : errors)
        text += (text.empty() ? "" : "\n") + line;
    RefreshPageCaptions();
    FWindow.SetConversionSummary(total, succeeded, total - succeeded, text);
}

bool TPageController::CloseQuery() {
    if (FHooks.StopEncoder) FHooks.StopEncoder(true);
    // Every step runs even after a veto: transfers and downloads must stop either way.
    bool allowed = true;
    for (const TCloseStep& step : FCloseSteps)
        allowed = step() && allowed;
    return allowed;
}

} // namespace mw
