#include "download/DownloadRunner.h"

#include "app/UtilFuncs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace mw {

namespace {

// The program's transfers read bigger blocks than the component's default, so that handing each
// block's progress to the main thread does not limit the speed.
constexpr uint32_t StreamBlockSize = 1024 * 1024;
constexpr uint64_t MaxPageSize = 64ull << 20;

void ConfigureTransfer(TWinHTTP& h) {
    h.AcceptTypes = "*/*";
    h.Agent = "[Vantrel]";
    // Certificates are verified: no ignore-invalid-certificate option here.
    h.InternetOptions = TInternetOptions{ioKeepConnection};
    h.ShowGoOnlineMessage = true;
}

// Moves a finished file to its final name without replacing anything that appeared meanwhile.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

std::atomic<unsigned> GTempCounter{0};

} // namespace

std::string FormatSeconds(int64_t seconds) {
    const bool negative = seconds < 0;
    const uint64_t s = negative ? static_cast<uint64_t>(-seconds) : static_cast<uint64_t>(seconds);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%02llu:%02llu:%02llu", negative ? "-" : "",
                  static_cast<unsigned long long>(s / 3600), static_cast<unsigned long long>((s % 3600) / 60),
                  static_cast<unsigned long long>(s % 60));
    return buf;
}

std::string FormatSpeed(uint64_t bytesRead, uint32_t elapsed) {
    const double kb = static_cast<double>(bytesRead) / 1024.0 / (elapsed ? elapsed : 1);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f KB/s", kb);
    return buf;
}

TDownloadRunner::TDownloadRunner(IMainThreadDispatcher* dispatcher, TUserSettings& settings,
                                 IDownloadView& view)
    : WinHTTPGetInfoFileURL(dispatcher), WinHTTPDownloadInfoFile(dispatcher), WinHTTPDownload(dispatcher),
      Host(std::make_shared<THostScriptlet>()), FDispatcher(dispatcher), FSettings(settings), FView(view) {
    ConfigureTransfer(WinHTTPGetInfoFileURL);
    ConfigureTransfer(WinHTTPDownloadInfoFile);
    ConfigureTransfer(WinHTTPDownload);
    WinHTTPDownload.TransferBufferSize = StreamBlockSize;
    // Pages and information are small; a server that sends without end must not exhaust memory.
    WinHTTPGetInfoFileURL.MaxMemorySize = MaxPageSize;
    WinHTTPDownloadInfoFile.MaxMemorySize = MaxPageSize;
    WinHTTPDownload.MaxMemorySize = MaxPageSize;

    const auto parse = [this](THostScriptlet*, const std::string& text) {
        ParseStreamList(text, StreamTable);
    };
    Host->OnEcho = parse;
    Host->OnAlert = parse;
    Script.AddScriptlet(Host);
    Script.OnError = [this](TCustomScript*, const TScriptError& e) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Error: Line number %d, ", e.Line + 1);
        FView.ScriptError(buf + e.Description);
    };

    const auto speedOf = [](uint64_t bytesRead, uint32_t elapsed) { return FormatSpeed(bytesRead, elapsed); };

    // The page.
    WinHTTPGetInfoFileURL.OnProgress = [this, speedOf](TCustomWinHTTP*, const std::string&, uint64_t dataSize,
                                                       uint64_t bytesRead, uint32_t elapsed, int32_t, uint8_t,
                                                       float, TMemoryStream*) {
        ShowLinkProgress("Getting YouTube URLs, please wait...", dataSize, 0, 0, "", 0,
                         speedOf(bytesRead, elapsed));
    };
    WinHTTPGetInfoFileURL.OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t,
                                          TMemoryStream* stream) {
        TDownloadRow* row = CurrentRow();
        if (!row) return;
        const std::string page = stream ? stream->Data : "";
        row->Name = DecodeEntities(ExtractTitle(page));
        row->URL = MakeInfoURL(page);
        Panel.CurrentFile = row->Name;
        FView.RowChanged(DownloadRun.CurrentIndex);
        FView.PanelChanged();
        WinHTTPDownloadInfoFile.URL = row->URL;
        WinHTTPDownloadInfoFile.StartTransfer();
    };
    WinHTTPGetInfoFileURL.OnAnyError = [this](TCustomWinHTTP*) { LinkFailed(); };

    // The information.
    WinHTTPDownloadInfoFile.OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t,
                                            TMemoryStream* stream) {
        const std::string info = stream ? stream->Data : "";
        Script.Lines = StreamMapScriptLines(info);
        try {
            Script.Execute();
        } catch (const std::exception& e) {
            // The engine itself failed: this link cannot go on, the run can.
            FView.ScriptError(std::string("Error: ") + e.what());
            LinkFailed();
            return;
        }
        // The pause after the script is a delayed step, never a sleep: the window stays alive.
        const std::weak_ptr<bool> alive = FAlive;
        FDispatcher->PostDelayed(std::chrono::milliseconds(std::max(ScriptWaitMs, 0)), [this, alive] {
            if (alive.lock()) StartFirstAttempt();
        });
    };
    WinHTTPDownloadInfoFile.OnAnyError = [this](TCustomWinHTTP*) { LinkFailed(); };

    // The stream.
    WinHTTPDownload.OnProgress = [this, speedOf](TCustomWinHTTP*, const std::string&, uint64_t dataSize,
                                                 uint64_t bytesRead, uint32_t elapsed, int32_t left,
                                                 uint8_t percent, float, TMemoryStream*) {
        Panel.Quality = QualityLongLabel(QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube));
        ShowLinkProgress("Downloading...", dataSize, left, elapsed, "", percent, speedOf(bytesRead, elapsed));
    };
    WinHTTPDownload.OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t, TMemoryStream* stream) {
        TDownloadRow* row = CurrentRow();
        if (!row) return;
        const std::string folder = FSettings.OutputURLDir;
        const std::string path = MakeDownloadFileName(
            row->Name, QualityExtension(DownloadRun.Attempt, FSettings.PreferYouTube), folder);
        // Without a Content-Length a file that could not be created leaves the body in memory.
        const bool saved = stream ? stream->SaveToFile(path) : MoveWithoutReplacing(FTempFile, path);
        if (!saved) {
            StreamAttemptFailed();
            return;
        }
        FTempFile.clear();
        DownloadedFiles.push_back(path);
        ShowLinkProgress("Finish.");
        ++DownloadRun.Succeeded;
        Advance();
    };
    WinHTTPDownload.OnAnyError = [this](TCustomWinHTTP*) { StreamAttemptFailed(); };

    const auto aborted = [this](TCustomWinHTTP*) {
        RemoveTempFile();
        RunEnded();
    };
    WinHTTPGetInfoFileURL.OnAborted = aborted;
    WinHTTPDownloadInfoFile.OnAborted = aborted;
    WinHTTPDownload.OnAborted = aborted;
}

TDownloadRunner::~TDownloadRunner() {
    FRunning = false; // the aborts below end nothing that anyone still watches
    *FAlive = false;
    FAlive.reset();
    WinHTTPGetInfoFileURL.AbortTransfer(false, true);
    WinHTTPDownloadInfoFile.AbortTransfer(false, true);
    WinHTTPDownload.AbortTransfer(true, true);
    RemoveTempFile();
}

TDownloadRow* TDownloadRunner::CurrentRow() {
    const int i = DownloadRun.CurrentIndex;
    return i >= 0 && i < static_cast<int>(Rows.size()) ? &Rows[static_cast<size_t>(i)] : nullptr;
}

void TDownloadRunner::BuildDownloadList(const std::vector<std::string>& links) {
    Rows.clear();
    for (const auto& link : links)
        Rows.push_back({link, "Waiting...", "0 KB", "0 KB/s", "0%", "...", ""});
}

void TDownloadRunner::StartDownloadRun() {
    DownloadRun = TDownloadRun{};
    DownloadRun.Total = static_cast<int>(Rows.size());
    FRunning = true;
    FCancelled = false;
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([this, alive] {
        if (alive.lock()) NextLink();
    });
}

void TDownloadRunner::Cancel() {
    FCancelled = true;
    WinHTTPGetInfoFileURL.AbortTransfer(false, false);
    WinHTTPDownloadInfoFile.AbortTransfer(false, false);
    WinHTTPDownload.AbortTransfer(false, false);
}

void TDownloadRunner::NextLink() {
    StreamTable.Clear();
    TDownloadRow* row = CurrentRow();
    if (!row || !FRunning) return;
    FCancelled = false; // a cancel between two links has no effect
    Panel.CurrentFile = row->Name;
    FView.PanelChanged();
    WinHTTPGetInfoFileURL.URL = row->Name;
    WinHTTPGetInfoFileURL.StartTransfer();
}

std::string TDownloadRunner::NewTempFileName() {
    return AddTrailingBackslash(FSettings.OutputURLDir) + ".mediawizard-" + std::to_string(::getpid()) + "-" +
           std::to_string(++GTempCounter) + ".part";
}

void TDownloadRunner::StartAttempt() {
    FTempFile = NewTempFileName();
    WinHTTPDownload.OutputFileName = FTempFile;
    WinHTTPDownload.URL = QualityStreamAddress(DownloadRun.Attempt, FSettings.PreferYouTube, StreamTable);
    WinHTTPDownload.StartTransfer();
}

// A stream that failed or could not be saved: the next quality when falling back, else the link fails.
// The next quality is posted so the transfer that raised the event is idle again when it starts.
void TDownloadRunner::StreamAttemptFailed() {
    RemoveTempFile();
    if (!FSettings.PreferYouTubeQuality) {
        LinkFailed();
        return;
    }
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([this, alive] {
        if (alive.lock()) NextQuality();
    });
}

void TDownloadRunner::StartFirstAttempt() {
    if (StepCancelled()) return;
    ShowLinkProgress("Analyzing finished, ready to download...");
    Panel.ProgressBar = 0;
    Panel.Percentage = "0%";
    DownloadRun.Attempt = FSettings.PreferYouTubeQuality ? 1 : 0;
    Panel.Quality = QualityLongLabel(QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube));
    FView.PanelChanged();
    StartAttempt();
}

// The pause after the script runs no transfer, but belongs to the link: a cancel given during it
// ends the run when the pause is over.
bool TDownloadRunner::StepCancelled() {
    if (!FRunning) return true;
    if (!FCancelled) return false;
    RemoveTempFile();
    RunEnded();
    return true;
}

void TDownloadRunner::NextQuality() {
    if (!FRunning) return;
    const int previous = DownloadRun.Attempt;
    ++DownloadRun.Attempt;
    if (DownloadRun.Attempt > QualityCount) {
        LinkFailed();
        return;
    }
    Panel.Quality = QualityShortLabel(previous, FSettings.PreferYouTube) +
                    " failed, try next: " + QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube);
    Panel.ProgressBar = 0;
    Panel.Percentage = "0%";
    FView.PanelChanged();
    StartAttempt();
}

void TDownloadRunner::LinkFailed() {
    ShowLinkProgress("Failed.");
    Advance();
}

void TDownloadRunner::Advance() {
    ++DownloadRun.CurrentIndex;
    if (DownloadRun.CurrentIndex >= DownloadRun.Total) {
        RunEnded();
        return;
    }
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([this, alive] {
        if (alive.lock()) NextLink();
    });
}

void TDownloadRunner::RunEnded() {
    if (!FRunning) return;
    FRunning = false;
    FView.DownloadRunEnded();
}

void TDownloadRunner::RemoveTempFile() {
    if (!FTempFile.empty()) ::unlink(FTempFile.c_str());
    FTempFile.clear();
}

void TDownloadRunner::ShowLinkProgress(const std::string& status, uint64_t size, int64_t timeLeft,
                                       int64_t elapsed, const std::string& urlText, int percent,
                                       const std::string& speedText) {
    TDownloadRow* row = CurrentRow();
    if (!row) return;
    if (!status.empty()) {
        row->Status = status;
        Panel.Status = status;
    }
    if (size != 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2fMB", static_cast<double>(size) / 1048576.0);
        row->Size = buf;
    }
    if (!speedText.empty()) {
        row->Speed = speedText;
        Panel.Speed = speedText;
    }
    if (percent != 0) {
        row->Progress = std::to_string(percent) + "%";
        Panel.ProgressBar = percent;
        Panel.Percentage = row->Progress;
    }
    if (!urlText.empty()) row->URL = urlText;
    if (elapsed != 0) Panel.Elapsed = FormatSeconds(elapsed);
    // A stream without a Content-Length gives a negative time left: it is unknown.
    if (timeLeft != 0) Panel.TimeLeft = timeLeft > 0 ? FormatSeconds(timeLeft) : "--:--:--";
    FView.RowChanged(DownloadRun.CurrentIndex);
    FView.PanelChanged();
}

} // namespace mw
