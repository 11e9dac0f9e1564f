// The download pages' widgets wired to TDownloadPages: the mode page's choice, the link list with
// its paste (button, menu, Ctrl+V; enabled while the clipboard holds text), remove and empty, the
// folder field and "Select...", the quality group and its dialog, the downloading page's list and
// status panel, and the download summary page's counts and commands. GUI thread only.
#pragma once

#include "wizard/DownloadPagesLogic.h"

#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QWidget;

namespace mw {

class TModePage;
class TLinkPage;
class TDownloadingPage;
class TSummaryPage;
class TFilePage;

struct TDownloadPageWidgets {
    QWidget* Window = nullptr; // owner of the dialogs
    TModePage* Mode = nullptr;
    TLinkPage* Link = nullptr;
    TDownloadingPage* Downloading = nullptr;
    TSummaryPage* Summary = nullptr;
    TFilePage* Files = nullptr;
};

class TDownloadPagesView : public QObject, public IDownloadPagesView {
    Q_OBJECT
  public:
    TDownloadPagesView(QObject* parent, const TDownloadPageWidgets& widgets, IWizardWindow& window,
                       TPageController& controller, TUserSettings& settings);
    ~TDownloadPagesView() override;

    TDownloadPages& Logic() { return *FLogic; }
    bool ClipboardHasText() const { return FClipboardHasText; }
    QAction *ActionURLPaste, *ActionURLRemove, *ActionURLEmpty;

    // IDownloadPagesView
    bool ShowLinkMessage(const std::string& text) override;
    bool DownloadChosen() const override;
    std::string FolderText() const override;
    void SetFolderText(const std::string& text) override;
    bool PreferQualityChecked() const override;
    void SetPreferQuality(bool checked) override;
    void SetQualityLabel(const std::string& text) override;
    int DownloadEngineChoice() const override;
    void SetDownloadEngineChoice(int engine) override;
    void LinksChanged(int selectRow) override;
    void DownloadRowsChanged() override;
    void DownloadRowChanged(int row) override;
    void DownloadPanelChanged() override;
    void ShowScriptError(const std::string& message) override;
    void SetDownloadSummary(int total, int succeeded, int failed, const std::string& failures) override;
    void AddSourceFiles(const std::vector<std::string>& files) override;
    void OpenFolder(const std::string& folder) override;
    void LogLine(const std::string& text) override;

    // Where the runner's reasons go (the main window's log).
    std::function<void(const std::string&)> OnLogLine;
    // A run has ended and its summary shows (the desktop notice).
    std::function<void(int total, int succeeded, int failed)> OnRunEnded;

  private:
    void UpdateActions();
    void ClipboardChanged();
    void SelectFolder();
    void EditQuality();

    TDownloadPageWidgets FWidgets;
    TUserSettings& FSettings;
    bool FClipboardHasText = false;
    std::unique_ptr<TDownloadPages> FLogic;
};

} // namespace mw
