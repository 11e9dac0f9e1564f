// The main window: a frameless window shaped by its skin's frame picture, the wizard's pages in
// the page area, the title line, the bottom commands and the window's own commands (help menu,
// log, About, minimise, close, moving by the logos). Its creation applies the edition, loads the
// user's settings and the engine and opens the start page; its close saves the settings.
// GUI thread only.
#pragma once

#include "app/PowerActions.h"
#include "wizard/PageController.h"
#include "wizard/RunNotice.h"
#include "wizard/platform/GuiUtils.h"

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QMimeData;
class QMenu;
class QStackedWidget;

namespace mw {

class TFFLogger;
class TFilePage;
class TFormLog;
class TOutputPageView;
class TPictureButton;
class TModePage;
class TConvertingPage;
class TSummaryPage;
class TLinkPage;
class TDownloadingPage;
class TDownloadPagesView;
class TPromotionPanel;
class TConvertingView;
class TFinishSound;
class TDesktopNotifier;

class TFormMain : public QWidget, public IWizardWindow {
    Q_OBJECT
  public:
    // configFile: the product configuration to read (beside the executable in the program).
    TFormMain(TFormLog* log, const std::string& configFile, QWidget* parent = nullptr);
    ~TFormMain() override;

    // IWizardWindow
    void ShowPage(TWizardPage page) override;
    TWizardPage CurrentPage() const override;
    void SetTitleText(const std::string& text) override;
    void SetCommands(const TCommandState& back, const TCommandState& next,
                     const TCommandState& exit) override;
    bool AskYesNo(const std::string& question) override;
    void ShowNotice(const std::string& text) override;
    void CloseQuestion() override;
    void QueueStep(std::function<void()> step) override;
    void ProcessPendingEvents() override;
    void CloseWindow() override;
    void SetFinishOptions(bool playSound, bool shutDown) override;
    void SetConversionSummary(int total, int succeeded, int failed, const std::string& errors) override;
    void OutputPageApplied() override;

    // nullptr until the creation got that far.
    TPageController* Controller() const { return FController.get(); }
    // True when every step of the creation ran.
    bool CreationCompleted() const { return FCreationCompleted; }
    // Where the help menu opens (screen coordinates).
    QPoint HelpMenuPosition() const;
    void ShowAbout();
    // Files dropped from a file manager (text/uri-list): local files go to the file list.
    void DropMimeData(const QMimeData* data);
    // Files named on the command line: the file page shows (the convert road) and they are added.
    void OpenSourceFiles(const QStringList& paths);
    // A close the user did not ask for in this window (log-out, SIGTERM) or has confirmed
    // already: no question about a running conversion or download. True when the window closed.
    bool CloseWithoutAsking();
    // The question a close during a run asks, or "" when nothing runs.
    std::string RunningJobQuestion() const;

    // Filled by the conversion run: start it (queued after the page change) and stop the encoder.
    // Set once the engine has loaded; a test may replace them.
    std::function<void()> OnStartConversion;
    std::function<void(bool detachEvents)> OnStopEncoder;

    QLabel* LabelTitle = nullptr;
    QLabel* ImageTopLogo = nullptr;
    QLabel* ImageLeftLogo = nullptr;
    TPictureButton *ButtonMin = nullptr, *ButtonClose = nullptr;
    TPictureButton *ButtonHelp = nullptr, *ButtonLog = nullptr, *ButtonBack = nullptr, *ButtonNext = nullptr,
                   *ButtonExit = nullptr;
    QMenu* PopupMenuHelp = nullptr;
    QStackedWidget* PageControlMain = nullptr;
    TModePage* ModePage = nullptr;
    TFilePage* FilePage = nullptr;
    TOutputPageView* OutputPage = nullptr;
    TConvertingPage* ConvertingPage = nullptr;
    TSummaryPage* ConversionSummaryPage = nullptr;
    TLinkPage* LinkPage = nullptr;
    TDownloadingPage* DownloadingPage = nullptr;
    TSummaryPage* DownloadSummaryPage = nullptr;
    // nullptr until the engine has loaded.
    TConvertingView* Converting() const { return FConverting.get(); }
    // The system side of the shutdown after a run (the login manager unless a test replaces it).
    void SetPowerService(std::unique_ptr<IPowerService> service) { FPowerService = std::move(service); }
    // Step of the shutdown countdown in milliseconds (tests shorten it).
    int ShutdownTickMs = 1000;
    // A run has ended: a desktop notification with its counts when the user is not looking.
    void NotifyRunEnd(TRunKind kind, int total, int succeeded, int failed);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate(const std::string& configFile);
    bool LoadPictures();
    void ApplySkinLayout();
    void CreatePages();
    void CreateConversionRun();
    void ShutdownCountdown();
    void CreateHelpMenu();
    void ReportError(const std::string& message);
    // Tab goes through the page, then the bottom commands, minimise and close last.
    void SetTabOrder();
    // Focus marks in the skin's colours and the names a screen reader reads.
    void DecoratePictureButtons();
    void FocusFirstControl(QWidget* page);

    TFormLog* FLog;
    std::unique_ptr<TFFLogger> FLogger;
    std::unique_ptr<TOutputPageModel> FOutputModel;
    std::unique_ptr<TPageController> FController;
    QImage FFrame, FFrameDoubled; // the frame at its size and, when there is one, at twice its size
    std::array<QImage, 4> FLogos; // top, left, download, convert
    QImage FAudioIcon;
    QImage FVideoIcon;
    qreal FTitlePointSize = 11;
    bool FSettingsReady = false;
    bool FCreationCompleted = false;
    bool FCloseWithoutAsking = false;
    bool FFocusPending = false; // a page change waits for its commands before placing the focus
    TMessageHandle FQuestion;
    // Members, so that they go before the pages they update.
    std::unique_ptr<TDownloadPagesView> FDownloadPages;
    std::unique_ptr<TPromotionPanel> FPromotions;
    std::unique_ptr<IPowerService> FPowerService;
    std::unique_ptr<TFinishSound> FSound;
    std::unique_ptr<TDesktopNotifier> FNotifier;
    std::unique_ptr<TConvertingView> FConverting;
};

} // namespace mw
