#include "download/DownloadRunner.h"

#include "app/UtilFuncs.h"
#include "download/DownloadFiles.h"
#include "download/ExtractorResolver.h"
#include "download/VideoInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace mw {

namespace {
// Tries of the next free name when one is taken between choosing and moving.
constexpr int MaxNameRaces = 8;
} // namespace

std::string FormatSeconds(int64_t seconds) {
    constexpr int64_t Limit = std::numeric_limits<int64_t>::max() / 1000;
    return TimeSpanText(std::clamp(seconds, -Limit, Limit) * 1000, false, 2, false);
}

std::string FormatSpeed(uint64_t bytesRead, uint32_t elapsed) {
    const double kb = static_cast<double>(bytesRead) / 1024.0 / (elapsed ? elapsed : 1);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f KB/s", kb);
    return buf;
}

TDownloadRunner::TDownloadRunner(IMainThreadDispatcher* dispatcher, TUserSettings& settings,
                                 IDownloadView& view)
    : FBuiltin(dispatcher, *this, *this), WinHTTPGetInfoFileURL(FBuiltin.WinHTTPGetInfoFileURL),
      WinHTTPDownloadInfoFile(FBuiltin.WinHTTPDownloadInfoFile), WinHTTPDownload(FBuiltin.WinHTTPDownload),
      Script(FBuiltin.Script), Host(FBuiltin.Host), StreamTable(FBuiltin.StreamTable), FDispatcher(dispatcher),
      FSettings(settings), FView(view) {}

TDownloadRunner::~TDownloadRunner() {
    FRunning = false; // what the resolvers end now ends nothing that anyone still watches
    *FAlive = false;
    FAlive.reset();
    FExtractor.reset();
}

void TDownloadRunner::UseBuiltinRoad() {
    if (!FRunning) FRoad = &FBuiltin;
}

void TDownloadRunner::UseExtractor(const std::string& programPath) {
    if (FRunning) return;
    if (!FExtractor || programPath != FExtractorPath) {
        IResolverEvents& events = *this;
        const TResolverTimings& timings = *this;
        FExtractor = std::make_unique<TExtractorResolver>(FDispatcher, events, timings, programPath);
        FExtractorPath = programPath;
    }
    FRoad = FExtractor.get();
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
    FResolver = FRoad;
    FRunning = true;
    FCancelled = false;
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([this, alive] {
        if (alive.lock()) NextLink();
    });
}

void TDownloadRunner::Cancel() {
    FCancelled = true;
    FResolver->Cancel();
}

void TDownloadRunner::NextLink() {
    FResolver->Clear();
    TDownloadRow* row = CurrentRow();
    if (!row || !FRunning) return;
    FCancelled = false; // a cancel between two links has no effect
    FTitle.clear();
    FLastReason.clear();
    Panel.CurrentFile = row->Name;
    FView.PanelChanged();
    FResolver->Resolve(row->Name);
}

void TDownloadRunner::ResolveProgress(const std::string& status, const TStreamProgress& p) {
    ShowLinkProgress(status, p.Size, p.TimeLeft, p.Elapsed, "", p.Percent, p.Speed);
}

bool TDownloadRunner::TitleFound(const std::string& title, const std::string& shownTitle,
                                 const std::string& urlText) {
    TDownloadRow* row = CurrentRow();
    if (!row) return false;
    FTitle = title;
    row->Name = shownTitle;
    row->URL = urlText;
    Panel.CurrentFile = row->Name;
    FView.RowChanged(DownloadRun.CurrentIndex);
    FView.PanelChanged();
    return true;
}

int TDownloadRunner::OfferedAttempt(int attempt) const {
    if (attempt == 0) return FResolver->Offers(0, FSettings.PreferYouTube) ? 0 : QualityCount + 1;
    while (attempt <= QualityCount && !FResolver->Offers(attempt, FSettings.PreferYouTube))
        ++attempt;
    return attempt;
}

void TDownloadRunner::Resolved() {
    if (StepCancelled()) return;
    ShowLinkProgress("Analyzing finished, ready to download...");
    Panel.ProgressBar = 0;
    Panel.Percentage = "0%";
    DownloadRun.Attempt = OfferedAttempt(FSettings.PreferYouTubeQuality ? 1 : 0);
    if (DownloadRun.Attempt > QualityCount) {
        LinkFailed(FSettings.PreferYouTubeQuality
                       ? "The video offers none of the qualities of the preference order."
                       : "The video does not offer the default quality (HQ5).");
        return;
    }
    Panel.Quality = QualityLongLabel(QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube));
    FView.PanelChanged();
    StartAttempt();
}

// The pause after the script runs no transfer, but belongs to the link: a cancel given during it
// ends the run when the pause is over.
bool TDownloadRunner::StepCancelled() {
    if (!FRunning) return true;
    if (!FCancelled) return false;
    FResolver->RemovePartialFiles();
    RunEnded();
    return true;
}

void TDownloadRunner::StartAttempt() {
    const std::string extension = QualityExtension(DownloadRun.Attempt, FSettings.PreferYouTube);
    const std::string planned = MakeDownloadFileName(FTitle, extension, FSettings.OutputURLDir);
    FResolver->StartStream(DownloadRun.Attempt, FSettings.PreferYouTube, FSettings.OutputURLDir,
                           planned.substr(std::min(planned.size(), AddTrailingBackslash(FSettings.OutputURLDir).size())));
}

void TDownloadRunner::StreamProgress(const TStreamProgress& p) {
    Panel.Quality = QualityLongLabel(QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube));
    ShowLinkProgress("Downloading...", p.Size, p.TimeLeft, p.Elapsed, "", p.Percent, p.Speed);
}

std::string TDownloadRunner::KeepDownload(const std::string& partialFile, std::string& reason) {
    const std::string extension = QualityExtension(DownloadRun.Attempt, FSettings.PreferYouTube);
    for (int i = 0; i < MaxNameRaces; ++i) {
        const std::string path = MakeDownloadFileName(FTitle, extension, FSettings.OutputURLDir);
        if (path.empty()) {
            reason = "no free file name";
            return "";
        }
        if (MoveWithoutReplacing(partialFile, path)) return path;
        if (errno != EEXIST) break; // else the name was taken meanwhile: the next one
    }
    reason = std::strerror(errno);
    return "";
}

void TDownloadRunner::StreamDone(const std::string& partialFile, const std::string& failure) {
    if (!CurrentRow()) {
        FResolver->RemovePartialFiles();
        return;
    }
    std::string reason = failure;
    const std::string path = partialFile.empty() ? "" : KeepDownload(partialFile, reason);
    if (path.empty()) {
        // The next quality would be downloaded in full only to fail the same way.
        FView.LogLine("The download of \"" + SafeTitleStem(FTitle) + "\" could not be saved: " + reason);
        FResolver->RemovePartialFiles();
        LinkFailed("");
        return;
    }
    FResolver->StreamKept();
    DownloadedFiles.push_back(path);
    ShowLinkProgress(LinkFinishedStatus);
    ++DownloadRun.Succeeded;
    Advance();
}

// A stream that failed: the next quality when falling back, else the link fails. The resolver
// raises this from a posted step, so the next quality finds it idle.
void TDownloadRunner::StreamFailed(const std::string& reason, bool folderRefused) {
    if (!FRunning) return;
    if (!reason.empty()) FLastReason = reason;
    if (folderRefused) {
        // The download folder refused the file: the next quality would fail the same way.
        FView.LogLine("The download could not be written to the folder \"" + FSettings.OutputURLDir + "\".");
        LinkFailed("");
    } else if (!FSettings.PreferYouTubeQuality) {
        LinkFailed(FLastReason);
    } else {
        NextQuality();
    }
}

void TDownloadRunner::NextQuality() {
    if (!FRunning) return;
    const int previous = DownloadRun.Attempt;
    DownloadRun.Attempt = OfferedAttempt(DownloadRun.Attempt + 1);
    if (DownloadRun.Attempt > QualityCount) {
        LinkFailed(FLastReason);
        return;
    }
    Panel.Quality = QualityShortLabel(previous, FSettings.PreferYouTube) +
                    " failed, try next: " + QualityShortLabel(DownloadRun.Attempt, FSettings.PreferYouTube);
    Panel.ProgressBar = 0;
    Panel.Percentage = "0%";
    FView.PanelChanged();
    StartAttempt();
}

void TDownloadRunner::LinkFailed(const std::string& reason) {
    if (!reason.empty()) {
        const TDownloadRow* row = CurrentRow();
        const std::string name = FTitle.empty() ? (row ? row->Name : "") : SafeTitleStem(FTitle);
        FView.LogLine("The download of \"" + name + "\" failed: " + reason);
    }
    ShowLinkProgress("Failed.");
    Advance();
}

void TDownloadRunner::Aborted() {
    FResolver->RemovePartialFiles();
    RunEnded();
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
