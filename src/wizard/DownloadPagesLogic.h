// The download path of the wizard without its widgets: the commands of the mode, link,
// downloading and download summary pages, the link page's settings, the hand-over to the download
// runner and its summary, and the close step that aborts the transfers. The widgets reach it
// through IDownloadPagesView; tests drive it with a fake view.
// GUI thread only: the runner's events arrive there through the dispatcher.
#pragma once

#include "download/DownloadRunner.h"
#include "download/ExtractorProgram.h"
#include "download/LinkList.h"
#include "wizard/PageController.h"

#include <string>
#include <vector>

namespace mw {

inline constexpr const char* NoLinksText =
    "Please Copy & Paste the YouTube video links you want to download.";
inline constexpr const char* CancelDownloadQuestion = "Do you really want to cancel the downloading?";
inline constexpr const char* ExtractorMissingText =
    "The download engine yt-dlp was not found. Install it (Debian package yt-dlp), or choose "
    "\"Built-in\" under \"Download with:\".";

// What the download pages need of their widgets (besides the runner's rows and panel).
class IDownloadPagesView : public ILinkListPrompt {
  public:
    virtual bool DownloadChosen() const = 0; // the mode page's choice
    virtual std::string FolderText() const = 0;
    virtual void SetFolderText(const std::string& text) = 0;
    virtual bool PreferQualityChecked() const = 0;
    virtual void SetPreferQuality(bool checked) = 0; // also enables "Config..."
    virtual void SetQualityLabel(const std::string& text) = 0;
    // The "Download with:" choice, in the numbering of the DownloadEngine setting.
    virtual int DownloadEngineChoice() const = 0;
    virtual void SetDownloadEngineChoice(int engine) = 0;
    virtual void LinksChanged(int selectRow) = 0; // the link list shows TDownloadPages::Links
    virtual void DownloadRowsChanged() = 0;       // the download list shows the runner's rows
    virtual void DownloadRowChanged(int row) = 0;
    virtual void DownloadPanelChanged() = 0;
    virtual void ShowScriptError(const std::string& message) = 0;
    // failures: one line per link that was not saved, with its reasons ("" when all were saved).
    virtual void SetDownloadSummary(int total, int succeeded, int failed, const std::string& failures) = 0;
    virtual void AddSourceFiles(const std::vector<std::string>& files) = 0;
    virtual void OpenFolder(const std::string& folder) = 0;
    // A reason the runner gives for a failed attempt or link (for the log window).
    virtual void LogLine(const std::string& /*text*/) {}
};

class TDownloadPages : private IDownloadView {
  public:
    TDownloadPages(IWizardWindow& window, TPageController& controller, TUserSettings& settings,
                   IMainThreadDispatcher* dispatcher, IDownloadPagesView& view);

    TLinkList LinkList;
    TDownloadRunner& Runner() { return FRunner; }

    void ApplyStep5Settings();
    void StoreStep5Settings();
    void ShowDownloadSummary();

    // Link page actions.
    void Paste(const std::string& clipboardText);
    void Remove(const std::vector<int>& selectedRows);
    void Empty();
    void FolderSelected(const std::string& folder);
    void PreferQualityClicked();
    void QualityEdited(); // after the quality dialog's OK
    // "Download with:" changed: the link rules follow the road it names.
    void EngineChoiceChanged();

    // Summary page actions.
    void OpenFolder();
    void ConvertDownloaded();

    // The close step: the three transfers are aborted.
    bool CloseStep();

  private:
    // The road the choice names, with the extractor's path when it is the extractor's.
    TDownloadRoad ChosenRoad(int engine, std::string& extractorPath) const;
    void ModeNext();
    void StartDownload();
    void CancelAndGoToStartPage(const std::string& question);
    void CancelDownloading();
    void Finish();
    void QuitQuestion();

    // The summary's lines of the links that were not saved: "Link (n): link: reasons".
    std::string FailureLines() const;
    void AddReason(const std::string& text);

    // IDownloadView
    void RowChanged(int row) override { FView.DownloadRowChanged(row); }
    void PanelChanged() override { FView.DownloadPanelChanged(); }
    void ScriptError(const std::string& message) override {
        AddReason(message);
        FView.ShowScriptError(message);
    }
    void DownloadRunEnded() override { ShowDownloadSummary(); }
    void LogLine(const std::string& text) override {
        AddReason(text);
        FView.LogLine(text);
    }

    IWizardWindow& FWindow;
    TPageController& FController;
    TUserSettings& FSettings;
    IDownloadPagesView& FView;
    TDownloadRunner FRunner;
    // The run's links as the user gave them (the rows take the titles) and why each failed.
    std::vector<std::string> FRunLinks;
    std::vector<std::string> FReasons;
    bool FCancelAsked = false;
};

} // namespace mw
