#include "wizard/DownloadPagesLogic.h"

#include "app/UtilFuncs.h"
#include "download/Quality.h"

namespace mw {

TDownloadPages::TDownloadPages(IWizardWindow& window, TPageController& controller, TUserSettings& settings,
                               IMainThreadDispatcher* dispatcher, IDownloadPagesView& view)
    : FWindow(window), FController(controller), FSettings(settings), FView(view),
      FRunner(dispatcher, settings, *this) {
    using P = TWizardPage;
    using C = TWizardCommand;
    const struct {
        P Page;
        C Command;
        void (TDownloadPages::*Run)();
    } actions[] = {
        {P::Mode, C::Next, &TDownloadPages::ModeNext},
        {P::Mode, C::Exit, &TDownloadPages::QuitQuestion},
        {P::Step5, C::Next, &TDownloadPages::StartDownload},
        {P::Step6, C::Exit, &TDownloadPages::CancelDownloading},
        {P::Step7, C::Next, &TDownloadPages::Finish},
        {P::Step7, C::Exit, &TDownloadPages::QuitQuestion},
    };
    for (const auto& a : actions)
        controller.AddPageAction(a.Page, a.Command, [this, run = a.Run] { (this->*run)(); });
    controller.AddPageAction(P::Step5, C::Back,
                             [this] { CancelAndGoToStartPage("Are you sure to cancel and go back?"); });
    controller.AddPageAction(P::Step5, C::Exit,
                             [this] { CancelAndGoToStartPage("Are you sure to cancel?"); });
}

void TDownloadPages::ApplyStep5Settings() {
    FView.SetFolderText(FSettings.OutputURLDir);
    FView.SetPreferQuality(FSettings.PreferYouTubeQuality);
    FView.SetQualityLabel(PreferenceSummary(FSettings.PreferYouTubeQuality, FSettings.PreferYouTube));
    // A hand-edited value outside the choices is automatic.
    FView.SetDownloadEngineChoice(FSettings.DownloadEngine <= deExtractor ? int(FSettings.DownloadEngine) : int(deAutomatic));
    EngineChoiceChanged();
}

void TDownloadPages::StoreStep5Settings() {
    FSettings.OutputURLDir = AddTrailingBackslash(FView.FolderText());
    FSettings.PreferYouTubeQuality = FView.PreferQualityChecked();
    FSettings.DownloadEngine = static_cast<uint8_t>(FView.DownloadEngineChoice());
}

TDownloadRoad TDownloadPages::ChosenRoad(int engine, std::string& extractorPath) const {
    extractorPath = FindExtractorPath(FSettings.ExtractorPath);
    return ChooseDownloadRoad(static_cast<uint8_t>(engine), !extractorPath.empty());
}

void TDownloadPages::EngineChoiceChanged() {
    std::string path;
    LinkList.AnySite = ChosenRoad(FView.DownloadEngineChoice(), path) == TDownloadRoad::Extractor;
}

void TDownloadPages::ModeNext() {
    if (FView.DownloadChosen()) {
        FController.ShowPage(TWizardPage::Step5);
        ApplyStep5Settings();
    } else {
        FController.ShowPage(TWizardPage::Step1);
    }
}

void TDownloadPages::StartDownload() {
    StoreStep5Settings();
    if (LinkList.Links.empty()) {
        FWindow.ShowNotice(NoLinksText);
        return;
    }
    std::string extractor;
    const TDownloadRoad road = ChosenRoad(FSettings.DownloadEngine, extractor);
    if (road == TDownloadRoad::ExtractorMissing) {
        FWindow.ShowNotice(ExtractorMissingText);
        return;
    }
    if (!ForceDirectories(FSettings.OutputURLDir)) {
        FWindow.ShowNotice("Fail to create directory! Please check if output folder have the right format!");
        return;
    }
    if (road == TDownloadRoad::Extractor)
        FRunner.UseExtractor(extractor);
    else
        FRunner.UseBuiltinRoad();
    FController.ShowPage(TWizardPage::Step6);
    FRunLinks = LinkList.Links;
    FReasons.assign(FRunLinks.size(), "");
    FCancelAsked = false;
    FRunner.DownloadedFiles.clear();
    FRunner.BuildDownloadList(LinkList.Links);
    FView.DownloadRowsChanged();
    FRunner.StartDownloadRun();
}

void TDownloadPages::CancelAndGoToStartPage(const std::string& question) {
    if (!FWindow.AskYesNo(question)) return;
    Empty();
    FController.GoToStartPage();
}

void TDownloadPages::CancelDownloading() {
    if (!FWindow.AskYesNo(CancelDownloadQuestion)) return;
    // An answer given after the run has ended cancels nothing.
    if (!FRunner.Running()) return;
    FCancelAsked = true;
    FRunner.Cancel();
}

void TDownloadPages::Finish() {
    Empty();
    FRunner.Rows.clear();
    FView.DownloadRowsChanged();
    FController.GoToStartPage();
}

void TDownloadPages::QuitQuestion() {
    if (FWindow.AskYesNo("Are you sure to quit now?")) FWindow.CloseWindow();
}

void TDownloadPages::AddReason(const std::string& text) {
    const int i = FRunner.DownloadRun.CurrentIndex;
    if (i < 0 || i >= static_cast<int>(FReasons.size()) || text.empty()) return;
    std::string& reasons = FReasons[static_cast<size_t>(i)];
    // Each quality tried may fail the same way: one mention is enough.
    if (reasons.find(text) != std::string::npos) return;
    reasons += (reasons.empty() ? "" : " ") + text;
}

std::string TDownloadPages::FailureLines() const {
    std::string lines;
    const auto& rows = FRunner.Rows;
    for (size_t i = 0; i < rows.size() && i < FRunLinks.size(); ++i) {
        if (rows[i].Status == LinkFinishedStatus) continue;
        std::string reason = FReasons[i];
        if (reason.empty())
            reason = FCancelAsked ? "The download was cancelled." : "The download failed.";
        // Numbered from 1, as the list shows the links and as the conversion summary counts files.
        lines += (lines.empty() ? "" : "\n") + ("Link (" + std::to_string(i + 1) + "): " + FRunLinks[i] + ": ") +
                 reason;
    }
    return lines;
}

void TDownloadPages::ShowDownloadSummary() {
    FWindow.CloseQuestion();
    const std::string failures = FailureLines();
    Empty();
    FRunner.Rows.clear();
    FView.DownloadRowsChanged();
    FRunner.StreamTable.Clear();
    FRunner.Panel = TDownloadPanel{"...", "...", "...", "...", "...", "...", 0, "0%"};
    FView.DownloadPanelChanged();
    FController.ShowPage(TWizardPage::Step7);
    const TDownloadRun& run = FRunner.DownloadRun;
    FView.SetDownloadSummary(run.Total, run.Succeeded, run.Failed(), failures);
}

void TDownloadPages::Paste(const std::string& clipboardText) {
    LinkList.Paste(clipboardText, FView);
    FView.LinksChanged(-1);
}

void TDownloadPages::Remove(const std::vector<int>& selectedRows) {
    const int select = LinkList.Remove(selectedRows);
    FView.LinksChanged(select);
}

void TDownloadPages::Empty() {
    LinkList.Empty();
    FView.LinksChanged(-1);
}

void TDownloadPages::FolderSelected(const std::string& folder) {
    FView.SetFolderText(AddTrailingBackslash(folder));
    FSettings.OutputURLDir = FView.FolderText();
}

void TDownloadPages::PreferQualityClicked() {
    const bool checked = FView.PreferQualityChecked();
    FView.SetPreferQuality(checked);
    FView.SetQualityLabel(PreferenceSummary(checked, FSettings.PreferYouTube));
}

void TDownloadPages::QualityEdited() {
    FView.SetQualityLabel(PreferenceSummary(FView.PreferQualityChecked(), FSettings.PreferYouTube));
}

void TDownloadPages::OpenFolder() {
    FView.OpenFolder(FSettings.OutputURLDir);
}

void TDownloadPages::ConvertDownloaded() {
    if (FRunner.DownloadedFiles.empty()) {
        FWindow.ShowNotice(NoFileDownloadedText);
        return;
    }
    FController.ShowPage(TWizardPage::Step1);
    FView.AddSourceFiles(FRunner.DownloadedFiles);
}

bool TDownloadPages::CloseStep() {
    // Once the window closes nothing is left to show a summary on.
    FRunner.Cancel();
    return true;
}

} // namespace mw
