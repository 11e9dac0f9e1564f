#include "download/DownloadRunner.h"

#include "app/UtilFuncs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <stdio.h>
#include <sys/random.h>
#include <unistd.h>

namespace mw {

namespace {

// The program's transfers read bigger blocks than the component's default, so that handing each
// block's progress to the main thread does not limit the speed.
constexpr uint32_t StreamBlockSize = 1024 * 1024;
// Far above what a real watch page or information answer needs; anything longer is hostile.
constexpr uint64_t MaxPageSize = 4ull << 20;
constexpr uint64_t MaxInfoSize = 1ull << 20;
// A stream body is kept in memory only when its temporary file could not be made.
constexpr uint64_t MaxStreamMemorySize = 64ull << 20;
constexpr size_t MaxScriptHeap = 64u << 20;
// Tries of the next free name when one is taken between choosing and moving.
constexpr int MaxNameRaces = 8;

void ConfigureTransfer(TWinHTTP& h) {
    h.AcceptTypes = "*/*";
    h.Agent = "[Vantrel]";
    // Certificates are verified: no ignore-invalid-certificate option here. A site that moves to
    // https is followed; a move from https to http is not.
    h.InternetOptions = TInternetOptions{ioKeepConnection, ioIgnoreRedirectToHTTPS};
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

// Sixteen hex digits nobody can guess ahead.
std::string RandomHex() {
    uint64_t value = 0;
    if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        std::random_device rd;
        value = (static_cast<uint64_t>(rd()) << 32) ^ rd();
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(value));
    return buf;
}

// Writes a body kept in memory to a new file of its own (never an existing one).
bool WriteNewFile(const std::string& path, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < data.size();) {
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        ok = w > 0;
        if (ok) done += static_cast<size_t>(w);
    }
    const int saved = errno;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ::unlink(path.c_str());
        errno = saved ? saved : EIO;
    }
    return ok;
}

// http and https only: a site may not make the program read a local file or speak another protocol.
bool IsWebAddress(const std::string& address) {
    const size_t sep = address.find("://");
    if (sep == std::string::npos) return true; // taken as http
    const std::string scheme = LowerCase(address.substr(0, sep));
    return scheme == "http" || scheme == "https";
}

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
    WinHTTPDownload.OutputFileExclusive = true;
    // Pages and information are small; a server that sends without end must not exhaust memory.
    WinHTTPGetInfoFileURL.MaxMemorySize = MaxPageSize;
    WinHTTPDownloadInfoFile.MaxMemorySize = MaxInfoSize;
    WinHTTPDownload.MaxMemorySize = MaxStreamMemorySize;

    // A crafted stream map ends with the script error, within bounds of memory and time.
    Script.MaxHeapBytes = MaxScriptHeap;
    Script.QueryContinueIntervalMs = 100;
    Script.OnEnter = [this](TCustomScript*) { FScriptStart = std::chrono::steady_clock::now(); };
    Script.OnQueryContinue = [this](TCustomScript*, bool& allow) {
        allow =
            std::chrono::steady_clock::now() - FScriptStart < std::chrono::milliseconds(ScriptTimeLimitMs);
    };

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
        StartTransfer(WinHTTPDownloadInfoFile);
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
        std::string reason;
        const std::string path = KeepDownload(stream, reason);
        if (path.empty()) {
            // The next quality would be downloaded in full only to fail the same way.
            FView.LogLine("The download of \"" + SafeTitleStem(row->Name) +
                          "\" could not be saved: " + reason);
            RemoveTempFile();
            LinkFailed();
            return;
        }
        FTempFile.clear();
        DownloadedFiles.push_back(path);
        ShowLinkProgress(LinkFinishedStatus);
        ++DownloadRun.Succeeded;
        Advance();
    };
    WinHTTPDownload.OnAnyError = [this](TCustomWinHTTP*) { StreamAttemptFailed(); };
    WinHTTPDownload.OnOutputFileError = [this](TCustomWinHTTP*) { FOutputFailed = true; };

    ReportFailures(WinHTTPGetInfoFileURL, [] { return std::string("The video page"); });
    ReportFailures(WinHTTPDownloadInfoFile, [] { return std::string("The video information"); });
    ReportFailures(WinHTTPDownload, [this] {
        return "The stream of " + QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube);
    });

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
    StartTransfer(WinHTTPGetInfoFileURL);
}

void TDownloadRunner::ReportFailures(TWinHTTP& h, std::function<std::string()> what) {
    h.OnHTTPError = [this, what](TCustomWinHTTP*, int code, TMemoryStream*) {
        FView.LogLine(what() + " could not be fetched: the server answered " + std::to_string(code) + ".");
    };
    h.OnHostUnreachable = [this, what](TCustomWinHTTP*) {
        FView.LogLine(what() + " could not be fetched: the server could not be reached.");
    };
    h.OnConnLost = [this, what](TCustomWinHTTP*, const std::string&, uint64_t, uint64_t, TMemoryStream*) {
        FView.LogLine(what() + " could not be fetched: the connection was lost.");
    };
}

void TDownloadRunner::StartTransfer(TWinHTTP& h) {
    h.Timeouts.ReceiveTimeout = StallTimeoutMs;
    h.StartTransfer();
}

std::string TDownloadRunner::NewTempFileName() {
    return AddTrailingBackslash(FSettings.OutputURLDir) + ".mediawizard-" + RandomHex() + ".part";
}

std::string TDownloadRunner::KeepDownload(const TMemoryStream* stream, std::string& reason) {
    TDownloadRow* row = CurrentRow();
    const std::string extension = QualityExtension(DownloadRun.Attempt, FSettings.PreferYouTube);
    if (stream) {
        // The temporary file could not be made while the stream arrived (what is at its name is
        // not ours to remove); one more try under a new name, exclusively.
        FTempFile = NewTempFileName();
        if (!WriteNewFile(FTempFile, stream->Data)) {
            reason = std::strerror(errno);
            FTempFile.clear();
            return "";
        }
    }
    for (int i = 0; i < MaxNameRaces; ++i) {
        const std::string path =
            MakeDownloadFileName(row ? row->Name : "", extension, FSettings.OutputURLDir);
        if (path.empty()) {
            reason = "no free file name";
            return "";
        }
        if (MoveWithoutReplacing(FTempFile, path)) return path;
        if (errno != EEXIST) break; // else the name was taken meanwhile: the next one
    }
    reason = std::strerror(errno);
    return "";
}

void TDownloadRunner::StartAttempt() {
    FOutputFailed = false;
    const std::string address =
        QualityStreamAddress(DownloadRun.Attempt, FSettings.PreferYouTube, StreamTable);
    if (address.empty()) {
        FView.LogLine("The video information lists no stream of " +
                      QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube) + ".");
        StreamAttemptFailed();
        return;
    }
    if (!IsWebAddress(address)) {
        FView.LogLine("The stream address of " +
                      QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube) +
                      " is neither http nor https; it is not followed.");
        StreamAttemptFailed();
        return;
    }
    FTempFile = NewTempFileName();
    WinHTTPDownload.OutputFileName = FTempFile;
    WinHTTPDownload.URL = address;
    StartTransfer(WinHTTPDownload);
}

// A stream that failed or could not be saved: the next quality when falling back, else the link fails.
// The next quality is posted so the transfer that raised the event is idle again when it starts.
// The decision is posted also because the transfer raises OnOutputFileError after OnAnyError.
void TDownloadRunner::StreamAttemptFailed() {
    RemoveTempFile();
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([this, alive] {
        if (!alive.lock() || !FRunning) return;
        if (FOutputFailed) {
            // The download folder refused the file: the next quality would fail the same way.
            FView.LogLine("The download could not be written to the folder \"" + FSettings.OutputURLDir +
                          "\".");
            LinkFailed();
        } else if (!FSettings.PreferYouTubeQuality) {
            LinkFailed();
        } else {
            NextQuality();
        }
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
