// The seam between the download runner and the roads that fetch a video: a resolver turns a link
// into a title and streams in the quality table's terms, then downloads the stream of one quality
// into a partial file of its own, which the runner moves to the video's name. Two resolvers exist:
// the built-in road (page, information, stream-map script, stream transfer; BuiltinResolver.h) and
// the extractor program (ExtractorResolver.h).
//
// Threading: main thread only. A resolver raises its events on the main thread, never from inside
// the call that started the step, except where an event says so.
#pragma once

#include "download/Quality.h"

#include <cstdint>
#include <string>

namespace mw {

// What the downloading page shows of a transfer; a zero or empty field leaves the shown value.
struct TStreamProgress {
    uint64_t Size = 0;    // bytes of the whole stream (or of what arrived when unknown)
    int64_t TimeLeft = 0; // seconds; negative when unknown
    int64_t Elapsed = 0;  // seconds
    int Percent = 0;      // 0..100
    std::string Speed;    // "12.34 KB/s"
};

// "%0.2d:%0.2d:%0.2d" of hours (not wrapped), minutes, seconds; a negative count gets a leading "-".
std::string FormatSeconds(int64_t seconds);
// BytesRead / 1024 / ElapsedTime with two decimals and " KB/s" (bytes / 1024 during the first second).
std::string FormatSpeed(uint64_t bytesRead, uint32_t elapsed);

// Tunables of the roads, shared by the runner and its resolvers.
struct TResolverTimings {
    // The pause after the stream-map script before the first stream (the script itself runs
    // synchronously); a delayed step on the dispatcher, the main thread stays free meanwhile.
    int ScriptWaitMs = 1500;
    // Longest time the stream-map script may run before it is ended with an error.
    int ScriptTimeLimitMs = 5000;
    // A transfer that receives nothing for this long ends as a lost connection (the next quality
    // follows); applied at each start. The extractor's downloads end alike when it says nothing.
    uint32_t StallTimeoutMs = 60000;
};

class IResolverEvents {
  public:
    virtual ~IResolverEvents() = default;
    // Progress while the link is being resolved.
    virtual void ResolveProgress(const std::string& status, const TStreamProgress& progress) = 0;
    // The video's title (for its file name), the text the lists show for it, and the row's URL
    // column. False: the run no longer has this link; the resolver stops.
    virtual bool TitleFound(const std::string& title, const std::string& shownTitle,
                            const std::string& urlText) = 0;
    // The streams are known: the attempts may begin.
    virtual void Resolved() = 0;
    // The link cannot be downloaded; the reason is for the log ("" when there is nothing to add).
    virtual void LinkFailed(const std::string& reason) = 0;
    virtual void StreamProgress(const TStreamProgress& progress) = 0;
    // The attempt's stream is complete in the partial file; "" when it could not be written
    // (the reason says why; another quality would fail alike).
    virtual void StreamDone(const std::string& partialFile, const std::string& reason) = 0;
    // The attempt failed; another quality may do better unless the folder refused the file.
    virtual void StreamFailed(const std::string& reason, bool folderRefused) = 0;
    // A step ended by Cancel; the run ends.
    virtual void Aborted() = 0;
    // The script host's error message ("Error: Line number %d, %s").
    virtual void ScriptError(const std::string& message) = 0;
    virtual void LogLine(const std::string& text) = 0;
};

class TDownloadResolver {
  public:
    virtual ~TDownloadResolver() = default;
    // Forgets the previous link's streams.
    virtual void Clear() = 0;
    virtual void Resolve(const std::string& link) = 0;
    // Whether the resolved video offers the quality of an attempt (0 = HQ5, 1..8 = the slots).
    virtual bool Offers(int attempt, const TQualityOrder& slots) const = 0;
    // Downloads the attempt's quality into a partial file in the folder. fileName is the name the
    // runner will give the file (a free one at this moment, with the quality's extension).
    virtual void StartStream(int attempt, const TQualityOrder& slots, const std::string& folder,
                             const std::string& fileName) = 0;
    // The running step ends and reports Aborted; nothing happens when none runs.
    virtual void Cancel() = 0;
    // Removes what an unfinished attempt left in the download folder, and only that.
    virtual void RemovePartialFiles() = 0;
    // The partial file was moved to its name: nothing of the attempt is left to remove.
    virtual void StreamKept() = 0;
};

} // namespace mw
