#include "download/BuiltinResolver.h"

#include "app/UtilFuncs.h"
#include "download/DownloadFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

void ConfigureTransfer(TWinHTTP& h) {
    h.AcceptTypes = "*/*";
    h.Agent = "[Vantrel]";
    // Certificates are verified: no ignore-invalid-certificate option here. A site that moves to
    // https is followed; a move from https to http is not.
    h.InternetOptions = TInternetOptions{ioKeepConnection, ioIgnoreRedirectToHTTPS};
    h.ShowGoOnlineMessage = true;
}

// http and https only: a site may not make the program read a local file or speak another protocol.
bool IsWebAddress(const std::string& address) {
    const size_t sep = address.find("://");
    if (sep == std::string::npos) return true; // taken as http
    const std::string scheme = LowerCase(address.substr(0, sep));
    return scheme == "http" || scheme == "https";
}

TStreamProgress TransferProgress(uint64_t dataSize, uint64_t bytesRead, uint32_t elapsed, int32_t left,
                                 int percent) {
    TStreamProgress p;
    p.Size = dataSize;
    p.TimeLeft = left;
    p.Elapsed = elapsed;
    p.Percent = percent;
    p.Speed = FormatSpeed(bytesRead, elapsed);
    return p;
}

} // namespace

TBuiltinResolver::TBuiltinResolver(IMainThreadDispatcher* dispatcher, IResolverEvents& events,
                                   const TResolverTimings& timings)
    : WinHTTPGetInfoFileURL(dispatcher), WinHTTPDownloadInfoFile(dispatcher), WinHTTPDownload(dispatcher),
      Host(std::make_shared<THostScriptlet>()), FDispatcher(dispatcher), FEvents(events), FTimings(timings) {
    ConfigureTransfers();
    SetUpScript();
    ConnectTransferEvents();
}

void TBuiltinResolver::ConfigureTransfers() {
    ConfigureTransfer(WinHTTPGetInfoFileURL);
    ConfigureTransfer(WinHTTPDownloadInfoFile);
    ConfigureTransfer(WinHTTPDownload);
    WinHTTPDownload.TransferBufferSize = StreamBlockSize;
    WinHTTPDownload.OutputFileExclusive = true;
    // Pages and information are small; a server that sends without end must not exhaust memory.
    WinHTTPGetInfoFileURL.MaxMemorySize = MaxPageSize;
    WinHTTPDownloadInfoFile.MaxMemorySize = MaxInfoSize;
    WinHTTPDownload.MaxMemorySize = MaxStreamMemorySize;
}

void TBuiltinResolver::SetUpScript() {
    // A crafted stream map ends with the script error, within bounds of memory and time.
    Script.MaxHeapBytes = MaxScriptHeap;
    Script.QueryContinueIntervalMs = 100;
    Script.OnEnter = [this](TCustomScript*) { FScriptStart = std::chrono::steady_clock::now(); };
    Script.OnQueryContinue = [this](TCustomScript*, bool& allow) {
        allow = std::chrono::steady_clock::now() - FScriptStart <
                std::chrono::milliseconds(FTimings.ScriptTimeLimitMs);
    };

    const auto parse = [this](THostScriptlet*, const std::string& text) { ParseStreamList(text, StreamTable); };
    Host->OnEcho = parse;
    Host->OnAlert = parse;
    Script.AddScriptlet(Host);
    Script.OnError = [this](TCustomScript*, const TScriptError& e) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Error: Line number %d, ", e.Line + 1);
        FEvents.ScriptError(buf + e.Description);
    };
}

void TBuiltinResolver::ConnectTransferEvents() {
    // The page.
    WinHTTPGetInfoFileURL.OnProgress = [this](TCustomWinHTTP*, const std::string&, uint64_t dataSize,
                                              uint64_t bytesRead, uint32_t elapsed, int32_t, uint8_t, float,
                                              TMemoryStream*) {
        FEvents.ResolveProgress("Getting YouTube URLs, please wait...",
                                TransferProgress(dataSize, bytesRead, elapsed, 0, 0));
    };
    WinHTTPGetInfoFileURL.OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t,
                                          TMemoryStream* stream) { PageFetched(stream); };
    WinHTTPGetInfoFileURL.OnAnyError = [this](TCustomWinHTTP*) { FEvents.LinkFailed(""); };

    // The information.
    WinHTTPDownloadInfoFile.OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t,
                                            TMemoryStream* stream) { InformationFetched(stream); };
    WinHTTPDownloadInfoFile.OnAnyError = [this](TCustomWinHTTP*) { FEvents.LinkFailed(""); };

    // The stream.
    WinHTTPDownload.OnProgress = [this](TCustomWinHTTP*, const std::string&, uint64_t dataSize,
                                        uint64_t bytesRead, uint32_t elapsed, int32_t left, uint8_t percent,
                                        float, TMemoryStream*) {
        FEvents.StreamProgress(TransferProgress(dataSize, bytesRead, elapsed, left, percent));
    };
    WinHTTPDownload.OnDone = [this](TCustomWinHTTP*, const std::string&, uint64_t, TMemoryStream* stream) {
        StreamFetched(stream);
    };
    WinHTTPDownload.OnAnyError = [this](TCustomWinHTTP*) { FailStream(); };
    WinHTTPDownload.OnOutputFileError = [this](TCustomWinHTTP*) { FOutputFailed = true; };

    ReportFailures(WinHTTPGetInfoFileURL, [] { return std::string("The video page"); });
    ReportFailures(WinHTTPDownloadInfoFile, [] { return std::string("The video information"); });
    ReportFailures(WinHTTPDownload, [this] { return "The stream of " + FAttemptLabel; });

    const auto aborted = [this](TCustomWinHTTP*) { FEvents.Aborted(); };
    WinHTTPGetInfoFileURL.OnAborted = aborted;
    WinHTTPDownloadInfoFile.OnAborted = aborted;
    WinHTTPDownload.OnAborted = aborted;
}

void TBuiltinResolver::PageFetched(const TMemoryStream* stream) {
    const std::string page = stream ? stream->Data : "";
    const std::string title = DecodeEntities(ExtractTitle(page));
    const std::string infoURL = MakeInfoURL(page);
    if (!FEvents.TitleFound(title, title, infoURL)) return;
    WinHTTPDownloadInfoFile.URL = infoURL;
    StartTransfer(WinHTTPDownloadInfoFile);
}

void TBuiltinResolver::InformationFetched(const TMemoryStream* stream) {
    const std::string info = stream ? stream->Data : "";
    Script.Lines = StreamMapScriptLines(info);
    try {
        Script.Execute();
    } catch (const std::exception& e) {
        // The engine itself failed: this link cannot go on, the run can.
        FEvents.ScriptError(std::string("Error: ") + e.what());
        FEvents.LinkFailed("");
        return;
    }
    // The pause after the script is a delayed step, never a sleep: the window stays alive.
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->PostDelayed(std::chrono::milliseconds(std::max(FTimings.ScriptWaitMs, 0)), [this, alive] {
        if (alive.lock()) FEvents.Resolved();
    });
}

void TBuiltinResolver::StreamFetched(const TMemoryStream* stream) {
    if (stream) {
        // The temporary file could not be made while the stream arrived (what is at its name is
        // not ours to remove); one more try under a new name, exclusively.
        FTempFile = NewPartialFileName(FFolder);
        if (!WriteNewFile(FTempFile, stream->Data)) {
            const std::string reason = std::strerror(errno);
            FTempFile.clear();
            FEvents.StreamDone("", reason);
            return;
        }
    }
    FEvents.StreamDone(FTempFile, "");
}

TBuiltinResolver::~TBuiltinResolver() {
    *FAlive = false;
    FAlive.reset();
    // The aborts below end nothing that anyone still watches.
    for (TWinHTTP* h : {&WinHTTPGetInfoFileURL, &WinHTTPDownloadInfoFile, &WinHTTPDownload})
        h->OnAborted = nullptr;
    WinHTTPGetInfoFileURL.AbortTransfer(false, true);
    WinHTTPDownloadInfoFile.AbortTransfer(false, true);
    WinHTTPDownload.AbortTransfer(true, true);
    RemovePartialFiles();
}

void TBuiltinResolver::Resolve(const std::string& link) {
    WinHTTPGetInfoFileURL.URL = link;
    StartTransfer(WinHTTPGetInfoFileURL);
}

// Why a transfer failed goes to the log, where the summary finds the link's reasons.
void TBuiltinResolver::ReportFailures(TWinHTTP& h, std::function<std::string()> what) {
    h.OnHTTPError = [this, what](TCustomWinHTTP*, int code, TMemoryStream*) {
        FEvents.LogLine(what() + " could not be fetched: the server answered " + std::to_string(code) + ".");
    };
    h.OnHostUnreachable = [this, what](TCustomWinHTTP*) {
        FEvents.LogLine(what() + " could not be fetched: the server could not be reached.");
    };
    h.OnConnLost = [this, what](TCustomWinHTTP*, const std::string&, uint64_t, uint64_t, TMemoryStream*) {
        FEvents.LogLine(what() + " could not be fetched: the connection was lost.");
    };
}

void TBuiltinResolver::StartTransfer(TWinHTTP& h) {
    h.Timeouts.ReceiveTimeout = FTimings.StallTimeoutMs;
    h.StartTransfer();
}

void TBuiltinResolver::StartStream(int attempt, const TQualityOrder& slots, const std::string& folder,
                                   const std::string&) {
    FOutputFailed = false;
    FFolder = folder;
    FAttemptLabel = QualityShortLabel(attempt, slots);
    const std::string address = QualityStreamAddress(attempt, slots, StreamTable);
    if (address.empty()) {
        FEvents.LogLine("The video information lists no stream of " + FAttemptLabel + ".");
        FailStream();
        return;
    }
    if (!IsWebAddress(address)) {
        FEvents.LogLine("The stream address of " + QualityShortLabel(attempt, slots) +
                        " is neither http nor https; it is not followed.");
        FailStream();
        return;
    }
    FTempFile = NewPartialFileName(folder);
    WinHTTPDownload.OutputFileName = FTempFile;
    WinHTTPDownload.URL = address;
    StartTransfer(WinHTTPDownload);
}

// Posted: the transfer raises OnOutputFileError after OnAnyError, and the next quality must find
// the transfer that raised the event idle again.
void TBuiltinResolver::FailStream() {
    RemovePartialFiles();
    const std::weak_ptr<bool> alive = FAlive;
    FDispatcher->Post([this, alive] {
        if (alive.lock()) FEvents.StreamFailed("", FOutputFailed);
    });
}

void TBuiltinResolver::Cancel() {
    WinHTTPGetInfoFileURL.AbortTransfer(false, false);
    WinHTTPDownloadInfoFile.AbortTransfer(false, false);
    WinHTTPDownload.AbortTransfer(false, false);
}

void TBuiltinResolver::RemovePartialFiles() {
    if (!FTempFile.empty()) ::unlink(FTempFile.c_str());
    FTempFile.clear();
}

} // namespace mw
