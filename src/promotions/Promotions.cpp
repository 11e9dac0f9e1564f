#include "promotions/Promotions.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

const std::string PartSuffix = ".part";

uint64_t LocalFileSize(const std::string& path, bool& exists) {
    struct stat st {};
    exists = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return exists ? static_cast<uint64_t>(st.st_size) : 0;
}

bool IsStartableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Over the size limit: the header's length, or the bytes read so far.
template <typename H>
void LimitSize(H& http, uint64_t maxBytes, IMainThreadDispatcher* dispatcher,
               const std::shared_ptr<bool>& alive) {
    http.OnHeaderInfo = [maxBytes](TCustomWinHTTP*, int, const std::string&, const std::string&,
                                   const std::string&, const std::string&, uint64_t length,
                                   const std::string&, TDateTime, TDateTime, TDateTime, const std::string&,
                                   bool& cont) {
        if (length > maxBytes) cont = false;
    };
    // The abort cannot run inside the transfer's own event; it is posted and checks that the
    // promotions still exist.
    auto previous = http.OnProgress;
    http.OnProgress = [&http, maxBytes, dispatcher, weak = std::weak_ptr<bool>(alive),
                       previous](TCustomWinHTTP* self, const std::string& type, uint64_t size, uint64_t read,
                                 uint32_t elapsed, int32_t left, uint8_t percent, float rate,
                                 TMemoryStream* stream) {
        if (previous) previous(self, type, size, read, elapsed, left, percent, rate, stream);
        if (read <= maxBytes || !dispatcher) return;
        dispatcher->Post([&http, weak] {
            if (weak.lock()) http.AbortTransfer(true, true);
        });
    };
}

} // namespace

TPromotions::TPromotions(TPromotionsSetup setup, IPromotionView& view, IMainThreadDispatcher* dispatcher)
    : FSetup(std::move(setup)), FView(view), FAlive(std::make_shared<bool>(true)) {
    FDescription = std::make_unique<TWinHTTP>(dispatcher);
    FPictureInfo = std::make_unique<TWinHTTP>(dispatcher);
    FPicture = std::make_unique<TWinHTTP>(dispatcher);
    FProgram = std::make_unique<TWinHTTP>(dispatcher);

    FDescription->MaxMemorySize = MaxPromotionInfoBytes;
    FDescription->OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t, TMemoryStream* body) {
        DescriptionDone(body);
    };
    FDescription->OnAnyError = [this](TCustomWinHTTP*) { DescriptionDone(nullptr); };

    // Only the headers are wanted: the body is refused once they have arrived.
    FPictureInfo->MaxMemorySize = 64 * 1024;
    FPictureInfo->OnHeaderInfo = [this](TCustomWinHTTP*, int status, const std::string&, const std::string&,
                                        const std::string&, const std::string&, uint64_t length,
                                        const std::string&, TDateTime, TDateTime, TDateTime,
                                        const std::string&, bool& cont) {
        FSizeAnswered = status == 200 && length > 0;
        FPictureSize = length;
        cont = false;
    };
    const auto sizeDone = [this](TCustomWinHTTP*) { PictureSizeKnown(FSizeAnswered ? FPictureSize : 0); };
    FPictureInfo->OnDoneInterrupted = sizeDone;
    FPictureInfo->OnAnyError = sizeDone;
    FPictureInfo->OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t, TMemoryStream*) {
        PictureSizeKnown(FSizeAnswered ? FPictureSize : 0);
    };

    LimitSize(*FPicture, FSetup.MaxPictureBytes, dispatcher, FAlive);
    FPicture->OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t, TMemoryStream*) {
        PictureDownloaded();
    };
    const auto pictureFailed = [this](TCustomWinHTTP*) {
        std::remove((Local(OfferPictureFileName) + PartSuffix).c_str());
    };
    FPicture->OnAnyError = pictureFailed;
    FPicture->OnDoneInterrupted = pictureFailed;

    FProgram->OnProgress = [this](TCustomWinHTTP*, const std::string&, uint64_t, uint64_t, uint32_t, int32_t,
                                  uint8_t percent, float, TMemoryStream*) {
        FView.ShowProgramProgress(true, std::min<int>(percent, 100));
    };
    LimitSize(*FProgram, FSetup.MaxProgramBytes, dispatcher, FAlive);
    FProgram->OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t, TMemoryStream*) {
        ProgramDownloaded();
    };
    FProgram->OnAnyError = [this](TCustomWinHTTP*) { ProgramFailed(); };
    FProgram->OnDoneInterrupted = [this](TCustomWinHTTP*) { ProgramFailed(); };
}

TPromotions::~TPromotions() {
    FAlive.reset();
    // Stop the transfers before anything their handlers use goes away.
    FProgram.reset();
    FPicture.reset();
    FPictureInfo.reset();
    FDescription.reset();
}

bool TPromotions::ProgramDownloadRunning() const {
    return FProgram->IsBusy();
}

bool TPromotions::OfferFetchRunning() const {
    return FDescription->IsBusy() || FPictureInfo->IsBusy() || FPicture->IsBusy();
}

void TPromotions::PrepareTransfer(TWinHTTP& http, const std::string& url) const {
    http.URL = url;
    http.Timeouts.ConnectTimeout = FSetup.ConnectTimeoutMs;
    http.Timeouts.ReceiveTimeout = FSetup.ReceiveTimeoutMs;
    http.InternetOptions = TInternetOptions{ioNoCookies};
    // Plain http is only for a server on this machine; a redirect must not lead it elsewhere.
    // Redirects of an https address stay on https.
    if (url.rfind("https://", 0) != 0) http.InternetOptions.Include(ioNoAutoRedirect);
}

void TPromotions::AfterShow() {
    StartUpdateProgram();
    if (FSetup.BaseAddress.empty()) return;
    FFolder = OfferFolder(ReadInstallerOffers(FSetup.SettingsFolder + InstallerIniFileName));
    const std::string url =
        PromotionAddress(FSetup.BaseAddress, FFolder, SiteWord(FSetup.HomePageLink), ".dat");
    if (!IsFetchAllowed(url)) return;
    PrepareTransfer(*FDescription, url);
    FDescription->StartTransfer();
}

void TPromotions::StartUpdateProgram() {
    const std::string path = FSetup.ExeFolder + UpdateProgramFileName;
    if (IsStartableFile(path)) FView.StartProgram(path);
}

void TPromotions::DescriptionDone(const TMemoryStream* body) {
    FInfo = body ? ParsePromotionInfo(body->Data) : TPromotionInfo{};
    if (!FInfo.Valid) FInfo = TPromotionInfo{};
    FView.SetOfferHint(FInfo.Hint);
    AskPictureSize();
}

void TPromotions::AskPictureSize() {
    const std::string url =
        PromotionAddress(FSetup.BaseAddress, FFolder, SiteWord(FSetup.HomePageLink), ".png");
    if (!IsFetchAllowed(url)) return;
    FSizeAnswered = false;
    FPictureSize = 0;
    PrepareTransfer(*FPictureInfo, url);
    FPictureInfo->StartTransfer();
}

void TPromotions::PictureSizeKnown(uint64_t remoteSize) {
    const std::string cached = Local(OfferPictureFileName);
    bool exists = false;
    const uint64_t localSize = LocalFileSize(cached, exists);
    if (remoteSize > 0 && exists && localSize == remoteSize && LooksLikePng(cached)) {
        FOfferActive = true;
        FView.ShowOfferPicture(cached);
        return;
    }
    FOfferActive = false;
    if (FPicture->IsBusy()) return;
    PrepareTransfer(*FPicture, FPictureInfo->URL);
    FPicture->OutputFileName = cached + PartSuffix;
    FPicture->StartTransfer();
}

void TPromotions::PictureDownloaded() {
    const std::string cached = Local(OfferPictureFileName);
    const std::string part = cached + PartSuffix;
    // Only a picture replaces the cached one; anything else leaves the offer inactive.
    if (!LooksLikePng(part) || std::rename(part.c_str(), cached.c_str()) != 0) {
        std::remove(part.c_str());
        return;
    }
    FOfferActive = true;
    FView.ShowOfferPicture(cached);
}

void TPromotions::Click() {
    if (!FOfferActive) return;
    if (FInfo.Kind == TPromotionKind::ExeFile && ProgramDownloadRunning()) {
        FView.ShowNotice(ProgramDownloadNotice);
        return;
    }
    FConfirmed = false;
    if (!FInfo.Confirm1.empty()) {
        if (!FView.ConfirmStart(FInfo.Confirm1 + "\n" + FInfo.Confirm2)) return;
        FConfirmed = true;
    }
    switch (FInfo.Kind) {
    case TPromotionKind::ExeFile:
        StartProgramDownload();
        break;
    case TPromotionKind::WebPage:
        if (IsWebPageAllowed(FInfo.Target)) FView.OpenWebPage(FInfo.Target);
        break;
    case TPromotionKind::None:
        break;
    }
}

void TPromotions::StartProgramDownload() {
    // A program comes only over https (or from this machine in tests).
    if (!IsFetchAllowed(FInfo.Target)) return;
    PrepareTransfer(*FProgram, FInfo.Target);
    FProgram->OutputFileName = Local(OfferProgramFileName) + PartSuffix;
    FView.ShowProgramProgress(true, 0);
    if (!FProgram->StartTransfer()) ProgramFailed();
}

void TPromotions::ProgramDownloaded() {
    const std::string program = Local(OfferProgramFileName);
    const std::string part = program + PartSuffix;
    FView.ShowProgramProgress(false, 0);
    if (std::rename(part.c_str(), program.c_str()) != 0) {
        std::remove(part.c_str());
        return;
    }
    if (!FConfirmed && !FView.ConfirmStart(StartProgramQuestion)) return;
    // Executable only now that the user has agreed to start it.
    if (::chmod(program.c_str(), S_IRWXU) != 0) return;
    FView.StartProgram(program);
}

void TPromotions::ProgramFailed() {
    FView.ShowProgramProgress(false, 0);
    std::remove((Local(OfferProgramFileName) + PartSuffix).c_str());
}

bool TPromotions::CloseStep() {
    FDescription->AbortTransfer(false, true);
    FPictureInfo->AbortTransfer(false, true);
    FPicture->AbortTransfer(true, true);
    if (!ProgramDownloadRunning()) return true;
    if (!FView.AskStopProgramDownload()) return false;
    FProgram->AbortTransfer(true, true);
    FView.ShowProgramProgress(false, 0);
    return true;
}

} // namespace mw
