// Inside the transfer component: one run's record and the worker's request state, shared by
// WinHTTP.cpp (the main thread's side: start, abort, outcome), WinHTTPRequest.cpp (libcurl: the
// local file, the easy handle, the outcome loop) and WinHTTPBody.cpp (headers and body).
#pragma once

#include "download/WinHTTP.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace mw {

// The value of the first header of that name (case-insensitive), trimmed; "" when absent.
std::string HeaderValue(const std::vector<std::string>& headers, const std::string& name);
bool HasHeader(const std::vector<std::string>& headers, const std::string& name);
// Only the read-only attribute has a meaning for files here; the others are kept as data.
void ApplyFileAttributes(const std::string& path, const TWinHTTPFileAttributes& attrs);

struct TTransfer {
    // Properties as they were at the start.
    std::string URL, AcceptTypes, Agent, OutputFileName, POSTData, Referer, Username, Password;
    std::vector<std::string> AddHeaders;
    TWinHTTPProxy Proxy;
    TCacheOptions CacheOptions;
    TInternetOptions InternetOptions;
    TWinHTTPOutputFileAttributes FileAttributes;
    TWinHTTPRange Range;
    TWinHTTPTimeouts Timeouts;
    uint32_t BufferSize = 4096;
    bool WorkOffline = false;
    TWinHTTPRequestMethod Method = rmAutoDetect;
    std::function<void(TCustomWinHTTP*, void*)> BeforeSend;
    std::function<void(TCustomWinHTTP*, const std::string&)> Redirected;
    std::function<void(TCustomWinHTTP*, int, const std::string&)> ConnectionStatus;
    bool WantsProgress = false, WantsHeaderInfo = false, WantsPassword = false, WantsProxyAuth = false;

    // State of the run.
    int Status = -1;
    std::string ContentType;
    uint64_t DataSize = 0;
    bool HasContentLength = false;
    uint64_t BytesRead = 0;
    uint32_t S = 0, E = 0;
    std::chrono::steady_clock::time_point StartTime;
    std::string RawHeaders, ContentLanguage, ContentEncoding, Location, ETag;
    TDateTime Date = 0, LastModified = 0, Expires = 0;
    bool Success = false, ContinueDownload = true, WritingToOutputFile = false;
    std::atomic<bool> DeleteOutputFile{false};
    bool ExceptionRaised = false;
    bool Stopped = false;
    bool Completed = false; // the completion dispatch or the stop processing has run
    bool BodyRan = false;   // the worker began the body (a stop before the start skips it)
    std::unique_ptr<TMemoryStream> Memory;
    int OutputFd = -1;
    int LocalFd = -1; // file: URL
    bool OverlapPending = false;
    int Reconnects = 0;
    std::string Pending;   // the first block of a resume, gathered for the overlap check
    size_t Unreported = 0; // bytes of the block in work (a progress event follows each full one)
    uint64_t MaxMemorySize = 0;
    bool StoreFailed = false;       // the body could not be kept whole (disk full, memory limit)
    bool UnaskedPartial = false;    // a 206 answer whose range is not the one asked for
    bool OutputWriteFailed = false; // the output file refused a write (disk full, I/O error)
    bool Truncated = false;         // the connection failed (or stalled) after the headers
    bool ExclusiveOutput = false;

    bool HasStream() const { return Memory || OutputFd >= 0; }
    void CloseOutput() {
        if (OutputFd >= 0) ::close(OutputFd);
        OutputFd = -1;
    }
    void CloseLocal() {
        if (LocalFd >= 0) ::close(LocalFd);
        LocalFd = -1;
    }
};

enum class TOutcome { Continue, EndBody, Restart, Retry, Probe, Stop };

// Drives one libcurl request of a transfer on the worker.
struct TRequest {
    TRequest(TCustomWinHTTP* owner, TTransfer& t, TCustomWinThread& thread)
        : Owner(owner), T(t), Thread(thread) {}
    TCustomWinHTTP* Owner;
    TTransfer& T;
    TCustomWinThread& Thread;
    std::vector<std::string> Headers; // of the response in work
    long ResponseCode = 0;
    bool HeadersDone = false;
    bool Probing = false;
    uint64_t ProbeLength = 0;
    TOutcome Outcome = TOutcome::Continue;
    std::chrono::steady_clock::time_point LastData;
    std::string EffectiveURL;
    void Status(int code) const {
        if (T.ConnectionStatus) T.ConnectionStatus(Owner, code, ConnectionStatusText(code));
    }
};

// Friend of TCustomWinHTTP: the parts of the transfer body that need the component.
struct TTransferDriver {
    static TOutcome HeadersComplete(TCustomWinHTTP* self, TRequest& r);
    // One read of a whole buffer (or the last, shorter one).
    static TOutcome Block(TCustomWinHTTP* self, TTransfer& t, const char* p, size_t n);
    // Pieces as libcurl hands them over, counted into blocks of TransferBufferSize.
    static TOutcome Consume(TCustomWinHTTP* self, TTransfer& t, const char* p, size_t n);
    // The end of the body: the last, shorter block.
    static TOutcome Flush(TCustomWinHTTP* self, TTransfer& t);
    static bool Store(TTransfer& t, const char* p, size_t n);
    static bool OpenBodyStream(TTransfer& t);
};

} // namespace mw
