// The extractor road: the extractor program (yt-dlp) is asked for the video's title and formats
// (-J), its formats are mapped onto the quality table (ExtractorFormats.h), and the chosen
// quality is downloaded by it into a private hidden folder in the download folder, from which the
// runner moves the finished file to its name. Cancel ends the program's process group and removes
// that folder, so only the program's own partial files (.part, .ytdl, fragments) go.
// Everything the program says is hostile: bounded, escaped, and a file it names is taken only
// from the private folder.
//
// Threading: main thread only; the program runs in TExtractorProcess, whose worker posts lines
// and the end of each run to the main thread.
#pragma once

#include "app/Dispatcher.h"
#include "download/DownloadResolver.h"
#include "download/ExtractorFormats.h"
#include "download/ExtractorProcess.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace mw {

// Progress lines of our own template start with this.
inline constexpr const char* ExtractorProgressPrefix = "[mediawizard-progress] ";
// The --progress-template value.
std::string ExtractorProgressTemplate();

// What the progress lines of one download add up to (a merged download has a part per stream).
struct TExtractorProgressState {
    uint64_t FinishedBytes = 0; // parts finished before the current one
};
// Parses a progress line of our template; false when the line is not one. Numbers the program
// gives are taken only when finite and within bounds; the percentage never passes 100.
bool ParseExtractorProgress(const std::string& line, int64_t elapsedSeconds, TExtractorProgressState& state,
                            TStreamProgress& progress);

// The output template of a file name: the stem shortened to leave room for the program's suffixes,
// "%" doubled, and "$" (which the program would expand from its environment) made "_".
std::string ExtractorOutputName(const std::string& fileName);
// The error the program gave: its last "ERROR:" line (else its last line), escaped and bounded.
std::string ExtractorErrorText(const std::string& errorOutput);

class TExtractorResolver : public TDownloadResolver {
  public:
    TExtractorResolver(IMainThreadDispatcher* dispatcher, IResolverEvents& events, const TResolverTimings& timings,
                       const std::string& programPath);
    ~TExtractorResolver() override;

    // Limits of the program's runs (a download is bounded by TResolverTimings::StallTimeoutMs).
    int VersionTimeLimitMs = 10000;
    int ResolveTimeLimitMs = 60000;
    // The ffmpeg tool the program merges with ("" lets it look for one).
    std::string FfmpegLocation;
    // The clock the version's age is measured against.
    std::function<std::time_t()> Now = [] { return std::time(nullptr); };
    const std::string& ProgramPath() const { return FPath; }
    const std::string& Version() const { return FVersion; }
    const TExtractorVideo& Video() const { return FVideo; }
    // The process group of the latest run of the program (0 before the first).
    int LastProcessGroup() const { return FProcess.LastPid(); }
    // The program's arguments for a download of a selection into an output template.
    std::vector<std::string> DownloadArguments(const std::string& selection, const std::string& container,
                                               const std::string& outputTemplate, const std::string& link) const;

    void Clear() override;
    void Resolve(const std::string& link) override;
    bool Offers(int attempt, const TQualityOrder& slots) const override;
    void StartStream(int attempt, const TQualityOrder& slots, const std::string& folder,
                     const std::string& fileName) override;
    void Cancel() override;
    void RemovePartialFiles() override;
    void StreamKept() override { RemovePartialFiles(); }

  private:
    enum TStep { stIdle, stVersion, stResolve, stStream };
    void StartResolve();
    void ResolveAnswered(const TProcessOutcome& outcome);
    void VersionAnswered(const TProcessOutcome& outcome);
    void LogVersion();
    void FinishResolve(const TProcessOutcome& outcome, const std::string& error);
    void StreamLine(const std::string& line);
    void StreamEnded(const TProcessOutcome& outcome);
    // Why a run failed, in words.
    std::string FailureText(const TProcessOutcome& outcome, const char* limitText) const;
    // The reason a link gives for an error the program reported: the "too old" text when the
    // version is old or the error says the site changed, else the error. Our own limits and a
    // program that did not start are said as they are.
    std::string LinkReason(const TProcessOutcome& outcome, const std::string& error) const;
    void Post(std::function<void()> step);

    IMainThreadDispatcher* FDispatcher;
    IResolverEvents& FEvents;
    const TResolverTimings& FTimings;
    std::string FPath;
    std::string FVersion;
    bool FVersionLogged = false;
    // A resolve whose answer did not give the version waits here while the program is asked.
    TProcessOutcome FPendingOutcome;
    std::string FPendingError;
    TExtractorProcess FProcess;
    TStep FStep = stIdle;
    bool FCancelRequested = false;
    std::string FLink;
    TExtractorVideo FVideo;
    // The attempt's download.
    std::string FPrivateFolder;
    std::string FSavedFile;
    std::string FAttemptLabel;
    TExtractorProgressState FProgress;
    std::chrono::steady_clock::time_point FStreamStart;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace mw
