// The built-in download road: the video's page (title and information address), the video
// information, the stream-map script that fills the stream table, and the stream of an attempt
// fetched by HTTP into a new hidden partial file in the download folder.
//
// Threading: main thread only. The three transfer components deliver their events there and the
// script runs there; the pause after the script is a delayed step on the dispatcher.
#pragma once

#include "app/Dispatcher.h"
#include "download/DownloadResolver.h"
#include "download/ScriptTools.h"
#include "download/VideoInfo.h"
#include "download/WinHTTP.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace mw {

class TBuiltinResolver : public TDownloadResolver {
  public:
    TBuiltinResolver(IMainThreadDispatcher* dispatcher, IResolverEvents& events, const TResolverTimings& timings);
    ~TBuiltinResolver() override;

    TWinHTTP WinHTTPGetInfoFileURL;
    TWinHTTP WinHTTPDownloadInfoFile;
    TWinHTTP WinHTTPDownload;
    TJavaScript Script;
    std::shared_ptr<THostScriptlet> Host;
    TStreamTable StreamTable;

    void Clear() override { StreamTable.Clear(); }
    void Resolve(const std::string& link) override;
    // Every quality is tried: one the video lacks fails with an empty stream address.
    bool Offers(int, const TQualityOrder&) const override { return true; }
    void StartStream(int attempt, const TQualityOrder& slots, const std::string& folder,
                     const std::string& fileName) override;
    void Cancel() override;
    void RemovePartialFiles() override;
    void StreamKept() override { FTempFile.clear(); }

  private:
    // The constructor's steps: the three transfers' settings, the script's bounds and host, and
    // the transfers' events.
    void ConfigureTransfers();
    void SetUpScript();
    void ConnectTransferEvents();
    // The steps of a link: the page gives the title and the information's address, the
    // information runs the stream-map script, a stream's end keeps its partial file.
    void PageFetched(const TMemoryStream* stream);
    void InformationFetched(const TMemoryStream* stream);
    void StreamFetched(const TMemoryStream* stream);
    void StartTransfer(TWinHTTP& h);
    // The transfer's failures are told to the log; what names the transfer at that moment.
    void ReportFailures(TWinHTTP& h, std::function<std::string()> what);
    void FailStream();

    IMainThreadDispatcher* FDispatcher;
    IResolverEvents& FEvents;
    const TResolverTimings& FTimings;
    std::string FAttemptLabel; // the quality of the stream being fetched, as the log names it
    bool FOutputFailed = false; // the attempt's partial file could not be made or written
    std::string FFolder;
    std::string FTempFile;
    std::chrono::steady_clock::time_point FScriptStart;
    // Posted steps check this token so that they do nothing once the resolver is gone.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace mw
