// The download runner: for each link, the page, the video information, the stream-map script,
// then the stream of the preferred quality (falling back through the preference order), saved
// under the video's title. It drives a view (the downloading page, or the command-line tool)
// through IDownloadView and keeps the rows and the status panel as plain data.
//
// Threading: everything runs on the main thread. The three transfer components deliver their
// events there; the next-link and next-quality steps are posted through the dispatcher so that the
// component that raised the current event is idle again when they run. No lock.
//
// A stream is written to a new temporary file (unpredictable name, created exclusively) in the
// download folder while it arrives and moved to its final name only when complete, never over an
// existing file; a failed or cancelled attempt removes it. Addresses from the site are followed
// only over http and https.
#pragma once

#include "app/Dispatcher.h"
#include "app/UserSettings.h"
#include "download/Quality.h"
#include "download/ScriptTools.h"
#include "download/VideoInfo.h"
#include "download/WinHTTP.h"

#include <chrono>
#include <functional>
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

// "%0.2d:%0.2d:%0.2d" of hours (not wrapped), minutes, seconds; a negative count gets a leading "-".
std::string FormatSeconds(int64_t seconds);
// BytesRead / 1024 / ElapsedTime with two decimals and " KB/s" (bytes / 1024 during the first second).
std::string FormatSpeed(uint64_t bytesRead, uint32_t elapsed);

class TDownloadRunner {
  public:
    TDownloadRunner(IMainThreadDispatcher* dispatcher, TUserSettings& settings, IDownloadView& view);
    ~TDownloadRunner();

    TWinHTTP WinHTTPGetInfoFileURL;
    TWinHTTP WinHTTPDownloadInfoFile;
    TWinHTTP WinHTTPDownload;
    TJavaScript Script;
    std::shared_ptr<THostScriptlet> Host;

    std::vector<TDownloadRow> Rows;
    TDownloadPanel Panel;
    TDownloadRun DownloadRun;
    std::vector<std::string> DownloadedFiles;
    TStreamTable StreamTable;
    // The pause after the stream-map script before the first stream (the script itself runs
    // synchronously); a delayed step on the dispatcher, the main thread stays free meanwhile.
    int ScriptWaitMs = 1500;
    // Longest time the stream-map script may run before it is ended with an error.
    int ScriptTimeLimitMs = 5000;
    // A transfer that receives nothing for this long ends as a lost connection (the next quality
    // follows); applied at each start.
    uint32_t StallTimeoutMs = 60000;

    void BuildDownloadList(const std::vector<std::string>& links);
    void StartDownloadRun();
    // Soft-aborts the three transfers; a running one reports, which ends the run. During the
    // pause after the script the run ends when the pause is over; between links it has no effect.
    void Cancel();
    bool Running() const { return FRunning; }

    void ShowLinkProgress(const std::string& status, uint64_t size = 0, int64_t timeLeft = 0,
                          int64_t elapsed = 0, const std::string& urlText = "", int percent = 0,
                          const std::string& speedText = "");

  private:
    void NextLink();
    void NextQuality();
    void StartFirstAttempt();
    bool StepCancelled();
    void StartAttempt();
    void LinkFailed();
    void StreamAttemptFailed();
    void Advance();
    void RunEnded();
    void RemoveTempFile();
    std::string NewTempFileName();
    void StartTransfer(TWinHTTP& h);
    // The transfer's failures are told to the view; what names the transfer at that moment.
    void ReportFailures(TWinHTTP& h, std::function<std::string()> what);
    // Moves the finished download (the temporary file, or a body kept in memory) to a free name;
    // never replaces anything. The path, or "" with the reason set.
    std::string KeepDownload(const TMemoryStream* stream, std::string& reason);
    TDownloadRow* CurrentRow();

    IMainThreadDispatcher* FDispatcher;
    TUserSettings& FSettings;
    IDownloadView& FView;
    bool FRunning = false;
    bool FCancelled = false;
    bool FOutputFailed = false; // the attempt's temporary file could not be made or written
    std::chrono::steady_clock::time_point FScriptStart;
    std::string FTempFile;
    // Posted steps check this token so that they do nothing once the runner is gone.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace mw
