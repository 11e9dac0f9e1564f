// The download runner: for each link, a resolver finds the video's title and streams (the
// built-in road: page, information, stream-map script; or the extractor program), then the stream
// of the preferred quality is downloaded (falling back through the preference order) and saved
// under the video's title. It drives a view (the downloading page, or the command-line tool)
// through IDownloadView and keeps the rows and the status panel as plain data.
//
// Threading: everything runs on the main thread. The resolvers deliver their events there; the
// next-link and next-quality steps are posted through the dispatcher so that the component that
// raised the current event is idle again when they run. No lock.
//
// A stream arrives in a partial file of the resolver's own in the download folder (unpredictable
// name, created exclusively) and is moved to its final name only when complete, never over an
// existing file; a failed or cancelled attempt removes it.
#pragma once

#include "app/Dispatcher.h"
#include "app/UserSettings.h"
#include "download/BuiltinResolver.h"
#include "download/DownloadResolver.h"
#include "download/Quality.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mw {

// The summary page's notice when "Convert the downloaded file(s) now! " finds nothing to convert.
inline constexpr const char* NoFileDownloadedText = "No file downloaded! Please try again.";

// The status of a link whose file has been saved.
inline constexpr const char* LinkFinishedStatus = "Finish.";

struct TDownloadRow {
    std::string Name, Status, Size, Speed, Progress, URL, Extra;
};

struct TDownloadPanel {
    std::string CurrentFile, Status, Speed, Elapsed, TimeLeft, Quality;
    int ProgressBar = 0; // 0..100
    std::string Percentage;
};

struct TDownloadRun {
    int Total = 0;
    int CurrentIndex = 0;
    int Succeeded = 0;
    int Attempt = 0; // 0 = HQ5, 1..8 = preference slots
    int Failed() const { return Total - Succeeded; }
};

class IDownloadView {
  public:
    virtual ~IDownloadView() = default;
    virtual void RowChanged(int /*row*/) {}
    virtual void PanelChanged() {}
    // The script host's error message ("Error: Line number %d, %s").
    virtual void ScriptError(const std::string& /*message*/) {}
    virtual void DownloadRunEnded() {}
    // A line for the log: why a transfer failed, a stream was refused or a download could not be
    // kept; it belongs to the link DownloadRun.CurrentIndex points at.
    virtual void LogLine(const std::string& /*text*/) {}
};

class TExtractorResolver;

// The timings (TResolverTimings) are the runner's own fields, read by the resolvers at each step.
class TDownloadRunner : public TResolverTimings, private IResolverEvents {
  public:
    TDownloadRunner(IMainThreadDispatcher* dispatcher, TUserSettings& settings, IDownloadView& view);
    ~TDownloadRunner();

  private:
    // First: the names below refer to its parts.
    TBuiltinResolver FBuiltin;

  public:
    // The built-in road's parts.
    TWinHTTP& WinHTTPGetInfoFileURL;
    TWinHTTP& WinHTTPDownloadInfoFile;
    TWinHTTP& WinHTTPDownload;
    TJavaScript& Script;
    std::shared_ptr<THostScriptlet>& Host;
    TStreamTable& StreamTable;

    std::vector<TDownloadRow> Rows;
    TDownloadPanel Panel;
    TDownloadRun DownloadRun;
    std::vector<std::string> DownloadedFiles;

    // The road of the following runs: the built-in one (the default), or the extractor program at
    // a path (the same path keeps its resolver, which logs the program's version once).
    void UseBuiltinRoad();
    void UseExtractor(const std::string& programPath);
    // The extractor's resolver once UseExtractor was called (its limits can be tuned), else nullptr.
    TExtractorResolver* Extractor() { return FExtractor.get(); }

    void BuildDownloadList(const std::vector<std::string>& links);
    void StartDownloadRun();
    // Ends the running step (transfer or extractor program), which ends the run. During the pause
    // after the script the run ends when the pause is over; between links it has no effect.
    void Cancel();
    bool Running() const { return FRunning; }

    void ShowLinkProgress(const std::string& status, uint64_t size = 0, int64_t timeLeft = 0,
                          int64_t elapsed = 0, const std::string& urlText = "", int percent = 0,
                          const std::string& speedText = "");

  private:
    // IResolverEvents
    void ResolveProgress(const std::string& status, const TStreamProgress& progress) override;
    bool TitleFound(const std::string& title, const std::string& shownTitle, const std::string& urlText) override;
    void Resolved() override;
    void LinkFailed(const std::string& reason) override;
    void StreamProgress(const TStreamProgress& progress) override;
    void StreamDone(const std::string& partialFile, const std::string& reason) override;
    void StreamFailed(const std::string& reason, bool folderRefused) override;
    void Aborted() override;
    void ScriptError(const std::string& message) override { FView.ScriptError(message); }
    void LogLine(const std::string& text) override { FView.LogLine(text); }

    void NextLink();
    void NextQuality();
    bool StepCancelled();
    void StartAttempt();
    // The first attempt from `attempt` on (up to 9, past the last slot) that the video offers.
    int OfferedAttempt(int attempt) const;
    void Advance();
    void RunEnded();
    // Moves the finished partial file to a free name; never replaces anything. The path, or ""
    // with the reason set.
    std::string KeepDownload(const std::string& partialFile, std::string& reason);
    TDownloadRow* CurrentRow();

    IMainThreadDispatcher* FDispatcher;
    TUserSettings& FSettings;
    IDownloadView& FView;
    std::unique_ptr<TExtractorResolver> FExtractor;
    std::string FExtractorPath;
    TDownloadResolver* FRoad = &FBuiltin;   // the road of the next run
    TDownloadResolver* FResolver = &FBuiltin; // the road of the current run
    bool FRunning = false;
    bool FCancelled = false;
    std::string FTitle;      // the current video's title, for its file name
    std::string FLastReason; // why the last attempt failed (extractor), for the link's reason
    // Posted steps check this token so that they do nothing once the runner is gone.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace mw
