// TPromotions: the offer picture beside the wizard and the update program's start.
// After the window is shown the offer description is fetched, then the picture's size is asked
// and the picture fetched unless the cached one has that size; a click opens the offer's web page
// or downloads its program and starts it once the user has confirmed.
//
// Threading contract: every member runs on the GUI thread. The four transfers run on their own
// worker threads and report through the dispatcher, so every handler below runs on the GUI
// thread too. The view's calls are made on the GUI thread.
#pragma once

#include "download/WinHTTP.h"
#include "promotions/PromotionRules.h"

#include <cstdint>
#include <memory>
#include <string>

namespace mw {

// What the promotions need of the window.
class IPromotionView {
  public:
    virtual ~IPromotionView() = default;
    virtual void SetOfferHint(const std::string& hint) = 0;
    // Show this picture as the offer, with the hand cursor.
    virtual void ShowOfferPicture(const std::string& path) = 0;
    // The program download's progress bar: percent 0..100, or hidden.
    virtual void ShowProgramProgress(bool visible, int percent) = 0;
    virtual void ShowNotice(const std::string& text) = 0;
    // Information box with the buttons "&Start" and "&Cancel"; true on Start.
    virtual bool ConfirmStart(const std::string& text) = 0;
    // "Downloading is in progress. ..." with OK and Cancel; true on OK.
    virtual bool AskStopProgramDownload() = 0;
    virtual void OpenWebPage(const std::string& url) = 0;
    // Starts a program with no arguments and without a shell; false when it could not start.
    virtual bool StartProgram(const std::string& path) = 0;
};

struct TPromotionsSetup {
    std::string BaseAddress;    // the edition's promotions server; empty = no offers
    std::string SettingsFolder; // with trailing separator: "installer.ini", "img.png", "exe.exe"
    std::string ExeFolder;      // with trailing separator: the update program
    std::string HomePageLink;
    // Limits: time without data, connect time, sizes.
    uint32_t ConnectTimeoutMs = 3000;
    uint32_t ReceiveTimeoutMs = 4000;
    uint64_t MaxPictureBytes = 4u << 20;
    uint64_t MaxProgramBytes = 512u << 20;
};

inline constexpr const char* ProgramDownloadNotice = "Download in progress. Please wait a few seconds.";
inline constexpr const char* StopProgramDownloadQuestion =
    "Downloading is in progress. Do you wish to stop the process?";
inline constexpr const char* StartProgramQuestion = "Start this downloaded program?";

class TPromotions {
  public:
    TPromotions(TPromotionsSetup setup, IPromotionView& view, IMainThreadDispatcher* dispatcher);
    ~TPromotions();
    TPromotions(const TPromotions&) = delete;
    TPromotions& operator=(const TPromotions&) = delete;

    // The step after the window is shown: the update program, then the offer.
    void AfterShow();
    // A click on the offer picture.
    void Click();
    // The close step: stops the picture transfers; asks about a running program download.
    // False = the user keeps the window open.
    bool CloseStep();

    bool OfferActive() const { return FOfferActive; }
    bool ProgramDownloadRunning() const;
    // True while the description, the size query or the picture download is running.
    bool OfferFetchRunning() const;
    const TPromotionInfo& Info() const { return FInfo; }
    const std::string& OfferFolderWord() const { return FFolder; }

  private:
    void StartUpdateProgram();
    void DescriptionDone(const TMemoryStream* body);
    void AskPictureSize();
    void PictureSizeKnown(uint64_t remoteSize);
    void PictureDownloaded();
    void StartProgramDownload();
    void ProgramDownloaded();
    void ProgramFailed();
    void PrepareTransfer(TWinHTTP& http, const std::string& url) const;
    std::string Local(const char* name) const { return FSetup.SettingsFolder + name; }

    TPromotionsSetup FSetup;
    IPromotionView& FView;
    // Posted calls hold a weak reference and do nothing once the promotions are gone.
    std::shared_ptr<bool> FAlive;
    std::string FFolder;
    TPromotionInfo FInfo;
    bool FOfferActive = false;
    bool FConfirmed = false; // the offer's own confirmation was given before the download
    uint64_t FPictureSize = 0;
    bool FSizeAnswered = false;
    std::unique_ptr<TWinHTTP> FDescription, FPictureInfo, FPicture, FProgram;
};

} // namespace mw
