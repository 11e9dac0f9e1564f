#include "download/ExtractorResolver.h"

#include "app/UtilFuncs.h"
#include "download/DownloadFiles.h"
#include "download/ExtractorProgram.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace mw {

namespace {

// Bounds of what is shown of the program's texts.
constexpr size_t MaxErrorTextBytes = 400;
constexpr size_t MaxShownURLBytes = 2048;
// A byte count beyond this (a petabyte) is a lie.
constexpr double MaxBytes = 1e15;
constexpr size_t MaxOutputStemBytes = 150;
constexpr const char* ResolveStatus = "Getting YouTube URLs, please wait...";

// A number of the progress line; negative when "NA", not finite, negative or out of bounds.
double ProgressNumber(const std::string& field) {
    if (field.empty() || field == "NA") return -1;
    char* end = nullptr;
    const double v = std::strtod(field.c_str(), &end);
    if (!end || *end != '\0' || !std::isfinite(v) || v < 0 || v > MaxBytes) return -1;
    return v;
}

std::string Seconds(int ms) {
    return std::to_string((ms + 999) / 1000) + " s";
}

} // namespace

std::string ExtractorProgressTemplate() {
    return std::string("download:") + ExtractorProgressPrefix +
           "%(progress.downloaded_bytes)s %(progress.total_bytes)s %(progress.total_bytes_estimate)s "
           "%(progress.eta)s %(progress.speed)s %(progress.status)s";
}

bool ParseExtractorProgress(const std::string& line, int64_t elapsedSeconds, TExtractorProgressState& state,
                            TStreamProgress& progress) {
    if (line.rfind(ExtractorProgressPrefix, 0) != 0) return false;
    const std::vector<std::string> f = SplitByDelimiter(line.substr(std::strlen(ExtractorProgressPrefix)), " ");
    if (f.size() != 6) return false;
    const double downloaded = std::max(ProgressNumber(f[0]), 0.0);
    double total = ProgressNumber(f[1]);
    if (total < 0) total = ProgressNumber(f[2]);
    const double eta = ProgressNumber(f[3]);
    const double speed = ProgressNumber(f[4]);
    const bool finished = f[5] == "finished";

    const double part = std::max(total, downloaded);
    const double done = static_cast<double>(state.FinishedBytes) + downloaded;
    const double size = static_cast<double>(state.FinishedBytes) + part;
    progress = TStreamProgress{};
    progress.Size = static_cast<uint64_t>(std::min(size, MaxBytes));
    progress.Percent = finished ? 100 : size > 0 ? static_cast<int>(std::min(100.0, done * 100.0 / size)) : 0;
    progress.TimeLeft = finished ? 0 : eta >= 0 ? static_cast<int64_t>(std::min(eta, 1e7)) : -1;
    progress.Elapsed = elapsedSeconds;
    if (speed >= 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f KB/s", speed / 1024.0);
        progress.Speed = buf;
    }
    if (finished) state.FinishedBytes = progress.Size;
    return true;
}

std::string ExtractorOutputName(const std::string& fileName) {
    // The program adds format and fragment suffixes to the stem (".fhls-950.mp4.part-Frag12"),
    // which must still fit the folder's name limit.
    const size_t dot = fileName.rfind('.');
    std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : fileName.substr(dot);
    if (stem.size() > MaxOutputStemBytes) {
        size_t cut = MaxOutputStemBytes;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    std::string out;
    for (char c : stem + extension) {
        if (c == '%')
            out += "%%";
        else
            out += c == '$' ? '_' : c;
    }
    return out;
}

std::string ExtractorErrorText(const std::string& errorOutput) {
    std::string chosen;
    for (const std::string& raw : SplitByDelimiter(errorOutput, "\n")) {
        const std::string line = Trim(raw);
        if (line.empty()) continue;
        if (line.rfind("ERROR:", 0) == 0 || chosen.rfind("ERROR:", 0) != 0) chosen = line;
    }
    return EscapeProgramText(chosen, MaxErrorTextBytes);
}

TExtractorResolver::TExtractorResolver(IMainThreadDispatcher* dispatcher, IResolverEvents& events,
                                       const TResolverTimings& timings, const std::string& programPath)
    : FfmpegLocation(FindProgramOnPath("ffmpeg")), FDispatcher(dispatcher), FEvents(events), FTimings(timings),
      FPath(programPath), FProcess(dispatcher) {
    FProcess.ProgressPrefix = ExtractorProgressPrefix;
    FProcess.OnLine = [this](const std::string& line) {
        if (FStep == stStream) StreamLine(line);
    };
    FProcess.OnExit = [this](const TProcessOutcome& outcome) {
        const TStep step = FStep;
        FStep = stIdle;
        if (step == stVersion) VersionAnswered(outcome);
        if (step == stResolve) ResolveAnswered(outcome);
        if (step == stStream) StreamEnded(outcome);
    };
}

TExtractorResolver::~TExtractorResolver() {
    *FAlive = false;
    FProcess.Stop();
    RemovePartialFiles();
}

void TExtractorResolver::Post(std::function<void()> step) {
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([alive, step = std::move(step)] {
        if (alive.lock()) step();
    });
}

void TExtractorResolver::Clear() {
    FVideo = TExtractorVideo{};
}

void TExtractorResolver::Resolve(const std::string& link) {
    FLink = Trim(link);
    FCancelRequested = false;
    StartResolve();
}

void TExtractorResolver::StartResolve() {
    FStep = stResolve;
    FEvents.ResolveProgress(ResolveStatus, {});
    FProcess.CollectStdout = true;
    TProcessLimits limits;
    limits.TimeLimitMs = ResolveTimeLimitMs;
    limits.MaxStdoutBytes = MaxExtractorAnswerBytes;
    // "--" first: nothing of the link can be taken as an option.
    FProcess.Start({FPath, "--ignore-config", "--no-playlist", "-J", "--skip-download", "--", FLink}, limits);
}

// The version is logged at the first use: an old one explains most failures. The answer about a
// video gives it; only when it does not is the program asked.
void TExtractorResolver::LogVersion() {
    FVersionLogged = true;
    const std::string program = EscapeProgramText(FPath, MaxShownURLBytes);
    if (FVersion.empty())
        FEvents.LogLine(std::string("Download engine: ") + ExtractorName + " (" + program +
                        "), which did not tell its version");
    else
        FEvents.LogLine(std::string("Download engine: ") + ExtractorName + " " + FVersion + " (" + program + ")");
    if (ExtractorIsOld(FVersion, Now())) FEvents.LogLine(ExtractorTooOldText(FVersion));
}

void TExtractorResolver::VersionAnswered(const TProcessOutcome& outcome) {
    if (FCancelRequested) {
        FEvents.Aborted();
        return;
    }
    if (outcome.Succeeded()) FVersion = CleanExtractorVersion(outcome.Stdout);
    LogVersion();
    const TProcessOutcome pending = std::move(FPendingOutcome);
    const std::string error = std::move(FPendingError);
    FPendingOutcome = {};
    FPendingError.clear();
    FinishResolve(pending, error);
}

std::string TExtractorResolver::FailureText(const TProcessOutcome& o, const char* limitText) const {
    if (!o.StartError.empty())
        return "The download engine " + EscapeProgramText(FPath, MaxShownURLBytes) +
               " could not be started: " + o.StartError;
    if (o.OutputTooLarge) return "The download engine's answer is too large.";
    if (o.TimedOut || o.Stalled) return limitText;
    const std::string error = ExtractorErrorText(o.Stderr);
    if (!error.empty()) return error;
    if (o.Signal) return "The download engine was ended by signal " + std::to_string(o.Signal) + ".";
    return "The download engine ended with exit status " + std::to_string(o.ExitCode) + ".";
}

std::string TExtractorResolver::LinkReason(const TProcessOutcome& o, const std::string& error) const {
    const bool programSaid = o.StartError.empty() && !o.TimedOut && !o.Stalled && !o.OutputTooLarge;
    if (!programSaid || (!ExtractorIsOld(FVersion, Now()) && !ExtractorErrorSaysSiteChanged(error))) return error;
    return ExtractorTooOldText(FVersion);
}

void TExtractorResolver::ResolveAnswered(const TProcessOutcome& outcome) {
    if (FCancelRequested) {
        FEvents.Aborted();
        return;
    }
    std::string error;
    if (!outcome.Succeeded())
        error = FailureText(outcome, ("The download engine did not answer within " + Seconds(ResolveTimeLimitMs) + ".").c_str());
    else
        ParseExtractorAnswer(outcome.Stdout, FVideo, error);
    if (!FVersionLogged) {
        if (FVideo.Version.empty()) {
            FPendingOutcome = outcome;
            FPendingError = error;
            FStep = stVersion;
            TProcessLimits limits;
            limits.TimeLimitMs = VersionTimeLimitMs;
            limits.MaxStdoutBytes = 4096;
            FProcess.Start({FPath, "--version"}, limits);
            return;
        }
        FVersion = FVideo.Version;
        LogVersion();
    }
    FinishResolve(outcome, error);
}

void TExtractorResolver::FinishResolve(const TProcessOutcome& outcome, const std::string& error) {
    if (!error.empty()) {
        const std::string reason = LinkReason(outcome, error);
        if (reason != error) FEvents.LogLine("The download engine could not read the link: " + error);
        FEvents.LinkFailed(reason);
        return;
    }
    const std::string shown = EscapeProgramText(FVideo.Title, MaxExtractorTitleBytes);
    const std::string page = EscapeProgramText(FVideo.PageURL.empty() ? FLink : FVideo.PageURL, MaxShownURLBytes);
    if (!FEvents.TitleFound(FVideo.Title, shown, page)) return;
    FEvents.Resolved();
}

bool TExtractorResolver::Offers(int attempt, const TQualityOrder& slots) const {
    return !QualityStreamAddress(attempt, slots, FVideo.Selections).empty();
}

std::vector<std::string> TExtractorResolver::DownloadArguments(const std::string& selection,
                                                               const std::string& container,
                                                               const std::string& outputTemplate,
                                                               const std::string& link) const {
    std::vector<std::string> args = {FPath,
                                     "--ignore-config",
                                     "--no-playlist",
                                     "-f",
                                     selection,
                                     "--merge-output-format",
                                     container,
                                     "--remux-video",
                                     container};
    if (!FfmpegLocation.empty()) args.insert(args.end(), {"--ffmpeg-location", FfmpegLocation});
    // A missing piece fails the attempt (the next quality follows) instead of leaving a hole.
    args.insert(args.end(), {"--abort-on-unavailable-fragments", "--no-mtime", "--newline", "--progress",
                             "--progress-template", ExtractorProgressTemplate(), "--print", "after_move:filepath",
                             "-o", outputTemplate, "--", link});
    return args;
}

void TExtractorResolver::StartStream(int attempt, const TQualityOrder& slots, const std::string& folder,
                                     const std::string& fileName) {
    FCancelRequested = false;
    FSavedFile.clear();
    FProgress = {};
    FAttemptLabel = QualityShortLabel(attempt, slots);
    const std::string selection = QualityStreamAddress(attempt, slots, FVideo.Selections);
    if (selection.empty()) {
        const std::string text = "The video does not offer " + QualityShortLabel(attempt, slots) + ".";
        Post([this, text] { FEvents.StreamFailed(text, false); });
        return;
    }
    if (fileName.empty()) {
        Post([this] { FEvents.StreamDone("", "no free file name"); });
        return;
    }
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(folder, ec).string();
    FPrivateFolder = MakePrivateFolder(absolute.empty() ? folder : absolute);
    if (FPrivateFolder.empty()) {
        const std::string text = std::strerror(errno);
        Post([this, text] { FEvents.StreamFailed(text, true); });
        return;
    }
    // 3GP qualities are merged as MP4 (the same file form); the runner gives them their extension.
    const std::string container = QualityExtension(attempt, slots) == ".flv" ? "flv" : "mp4";
    FStep = stStream;
    FStreamStart = std::chrono::steady_clock::now();
    FProcess.CollectStdout = false;
    TProcessLimits limits;
    limits.StallLimitMs = static_cast<int>(FTimings.StallTimeoutMs);
    FProcess.Start(DownloadArguments(selection, container, FPrivateFolder + "/" + ExtractorOutputName(fileName), FLink),
                   limits);
}

void TExtractorResolver::StreamLine(const std::string& line) {
    TStreamProgress p;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - FStreamStart);
    if (ParseExtractorProgress(line, elapsed.count(), FProgress, p)) {
        FEvents.StreamProgress(p);
        return;
    }
    // The saved file's path: only its name is taken, and only when it is in the private folder.
    const size_t slash = line.rfind('/');
    if (slash == std::string::npos || slash + 1 >= line.size()) return;
    const std::string name = line.substr(slash + 1);
    struct stat parent, ours, file;
    if (::stat(line.substr(0, slash).c_str(), &parent) != 0 || ::lstat(FPrivateFolder.c_str(), &ours) != 0 ||
        parent.st_dev != ours.st_dev || parent.st_ino != ours.st_ino)
        return;
    const std::string candidate = FPrivateFolder + "/" + name;
    if (::lstat(candidate.c_str(), &file) == 0 && S_ISREG(file.st_mode)) FSavedFile = candidate;
}

void TExtractorResolver::StreamEnded(const TProcessOutcome& outcome) {
    if (FCancelRequested) {
        RemovePartialFiles();
        FEvents.Aborted();
        return;
    }
    std::string error;
    if (!outcome.Succeeded())
        error = FailureText(outcome, ("The download engine received nothing for " +
                                      Seconds(static_cast<int>(FTimings.StallTimeoutMs)) + ".")
                                         .c_str());
    else if (FSavedFile.empty())
        error = "The download engine did not name a file it saved.";
    if (!error.empty()) {
        RemovePartialFiles();
        FEvents.LogLine(FAttemptLabel + " could not be downloaded: " + error);
        FEvents.StreamFailed(LinkReason(outcome, error), false);
        return;
    }
    FEvents.StreamDone(FSavedFile, "");
}

void TExtractorResolver::Cancel() {
    if (FStep == stIdle) return;
    FCancelRequested = true;
    FProcess.Kill();
}

void TExtractorResolver::RemovePartialFiles() {
    RemovePrivateFolder(FPrivateFolder);
    FPrivateFolder.clear();
    FSavedFile.clear();
}

} // namespace mw
