#include "download/WinHTTP.h"

#include "app/UtilFuncs.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

// A memory stream is sized in advance to the announced length, but never beyond this much:
// a server announcing gigabytes must not make us reserve them before a byte arrives.
constexpr uint64_t MaxMemoryReserve = 64ull << 20;
// Reconnects for an unreachable resume position or a failed overlap check, before giving up.
constexpr int MaxReconnects = 3;

std::string HeaderValue(const std::vector<std::string>& headers, const std::string& name) {
    for (const auto& h : headers) {
        const size_t colon = h.find(':');
        if (colon == std::string::npos) continue;
        if (SameText(Trim(h.substr(0, colon)), name)) return Trim(h.substr(colon + 1));
    }
    return "";
}
bool HasHeader(const std::vector<std::string>& headers, const std::string& name) {
    for (const auto& h : headers) {
        const size_t colon = h.find(':');
        if (colon != std::string::npos && SameText(Trim(h.substr(0, colon)), name)) return true;
    }
    return false;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const mode_t mode = readOnly ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR);
    return mode == st.st_mode || chmod(path.c_str(), mode & 07777) == 0;
}

// Only the read-only attribute has a meaning for files here; the others are kept as data.
void ApplyFileAttributes(const std::string& path, const TWinHTTPFileAttributes& attrs) {
    SetReadOnly(path, attrs.Has(atrReadOnly));
}

std::once_flag GCurlInit;

} // namespace

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

namespace {

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
    bool ReadFailed = false;
    std::chrono::steady_clock::time_point LastData;
    std::string EffectiveURL;
    void Status(int code) const {
        if (T.ConnectionStatus) T.ConnectionStatus(Owner, code, ConnectionStatusText(code));
    }
};

} // namespace

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

namespace {

size_t HeaderCallback(char* p, size_t size, size_t n, void* userData) {
    auto& r = *static_cast<TRequest*>(userData);
    std::string line(p, size * n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
        r.Headers.clear();
        r.Headers.push_back(line);
        r.Status(31);
        r.Status(40);
        const size_t sp = line.find(' ');
        int32_t code = 0;
        if (sp != std::string::npos && TryStrToInt(line.substr(sp + 1, 3), code)) r.ResponseCode = code;
    } else if (line.empty()) {
        r.Status(r.ResponseCode >= 100 && r.ResponseCode < 200 ? 120 : 41);
        const std::string location = HeaderValue(r.Headers, "Location");
        if (r.ResponseCode >= 300 && r.ResponseCode < 400 && !location.empty() &&
            !r.T.InternetOptions.Has(ioNoAutoRedirect)) {
            std::string target = location;
            if (CURLU* u = curl_url()) {
                char* full = nullptr;
                if (curl_url_set(u, CURLUPART_URL, r.EffectiveURL.c_str(), 0) == CURLUE_OK &&
                    curl_url_set(u, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
                    curl_url_get(u, CURLUPART_URL, &full, 0) == CURLUE_OK) {
                    target = full;
                    r.EffectiveURL = full;
                }
                curl_free(full);
                curl_url_cleanup(u);
            }
            r.Status(110);
            if (r.T.Redirected) r.T.Redirected(r.Owner, target);
        }
    } else {
        r.Headers.push_back(line);
    }
    return size * n;
}

size_t WriteCallback(char* p, size_t size, size_t n, void* userData) {
    auto& r = *static_cast<TRequest*>(userData);
    const size_t total = size * n;
    r.LastData = std::chrono::steady_clock::now();
    if (!r.HeadersDone) {
        r.HeadersDone = true;
        r.Outcome = TTransferDriver::HeadersComplete(r.Owner, r);
        if (r.Outcome != TOutcome::Continue) return 0;
    }
    r.Outcome = TTransferDriver::Consume(r.Owner, r.T, p, total);
    if (r.Outcome != TOutcome::Continue) return 0;
    return total;
}

int ProgressCallback(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& r = *static_cast<TRequest*>(userData);
    if (r.Thread.IsStopRequested()) {
        r.Outcome = TOutcome::Stop;
        return 1;
    }
    const uint32_t receiveMs = r.T.Timeouts.ReceiveTimeout;
    if (receiveMs && std::chrono::steady_clock::now() - r.LastData > std::chrono::milliseconds(receiveMs))
        return 1;
    return 0;
}

// Status notifications from libcurl's connection callbacks (installed only when someone listens).
int ResolverStartCallback(void*, void*, void* userData) {
    static_cast<TRequest*>(userData)->Status(10);
    return 0;
}
curl_socket_t OpenSocketCallback(void* userData, curlsocktype, curl_sockaddr* address) {
    auto& r = *static_cast<TRequest*>(userData);
    r.Status(11);
    r.Status(20);
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}
int CloseSocketCallback(void* userData, curl_socket_t socket) {
    auto& r = *static_cast<TRequest*>(userData);
    r.Status(50);
    const int result = ::close(socket);
    r.Status(51);
    return result;
}
int PrereqCallback(void* userData, char*, char*, int, int) {
    auto& r = *static_cast<TRequest*>(userData);
    r.Status(21);
    r.Status(30);
    return CURL_PREREQFUNC_OK;
}

} // namespace

// A 206 answer is usable only when its Content-Range starts where the request asked; without a
// range in the request only a piece that is the whole resource is.
static bool PartialAnswerFits(const TTransfer& t, const std::string& contentRange) {
    unsigned long long first = 0, last = 0, total = 0;
    char star = 0;
    const bool known = std::sscanf(contentRange.c_str(), "bytes %llu-%llu/%llu", &first, &last, &total) == 3;
    if (!known && std::sscanf(contentRange.c_str(), "bytes %llu-%llu/%c", &first, &last, &star) != 3)
        return false;
    if (last < first) return false;
    uint64_t askedFrom = 0, askedTo = 0;
    bool asked = true;
    if (t.S || t.E) {
        askedFrom = t.S;
        askedTo = t.E;
    } else if (t.Range.StartRange || t.Range.EndRange) {
        askedFrom = t.Range.StartRange;
        askedTo = t.Range.EndRange;
    } else {
        asked = false;
    }
    if (!asked) return first == 0 && known && last + 1 == total;
    return first == askedFrom && (askedTo == 0 || last <= askedTo);
}

bool TTransferDriver::OpenBodyStream(TTransfer& t) {
    if ((t.Status == 200 || t.Status == 206) && !t.OutputFileName.empty()) {
        int flags = O_RDWR | O_CREAT | O_CLOEXEC | (t.S == 0 ? O_TRUNC : 0);
        // An exclusive output is a new file, never one planted (or linked) under its name.
        if (t.ExclusiveOutput) flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        t.OutputFd = ::open(t.OutputFileName.c_str(), flags, 0666);
        if (t.OutputFd >= 0) {
            if (t.S != 0) {
                struct stat st {};
                if (fstat(t.OutputFd, &st) != 0 || static_cast<uint64_t>(st.st_size) < t.S ||
                    lseek(t.OutputFd, t.S, SEEK_SET) < 0) {
                    t.CloseOutput();
                    return false; // reconnect
                }
            }
            if (!(t.FileAttributes.Incomplete == TWinHTTPFileAttributes{atrArchive}))
                ApplyFileAttributes(t.OutputFileName, t.FileAttributes.Incomplete);
            t.WritingToOutputFile = true;
            t.OverlapPending = t.S != 0;
            return true;
        }
        if (t.HasContentLength) return true; // no stream: reported as an output file error
    }
    t.Memory = std::make_unique<TMemoryStream>();
    if (t.HasContentLength) t.Memory->Data.reserve(std::min(t.DataSize, MaxMemoryReserve));
    return true;
}

TOutcome TTransferDriver::HeadersComplete(TCustomWinHTTP* self, TRequest& r) {
    TTransfer& t = r.T;
    t.Status = r.ResponseCode > 0 ? static_cast<int>(r.ResponseCode) : -1;
    if (r.Probing) {
        if (t.Status == 200 || t.Status == 206) {
            const std::string cl = HeaderValue(r.Headers, "Content-Length");
            r.ProbeLength = std::strtoull(cl.c_str(), nullptr, 10);
        }
        return TOutcome::EndBody;
    }
    if (t.Status == 401 && t.WantsPassword) {
        std::string realm;
        const std::string auth = HeaderValue(r.Headers, "WWW-Authenticate");
        const size_t eq = auth.find("=\"");
        realm = eq == std::string::npos ? auth : auth.substr(eq + 2, auth.size() - (eq + 2) - 1);
        bool tryAgain = false;
        r.Thread.CallInMainThread([&] {
            if (self->OnPasswordRequest) self->OnPasswordRequest(self, realm, tryAgain);
            t.Username = self->Username;
            t.Password = self->Password;
        });
        if (tryAgain) return TOutcome::Retry;
    } else if (t.Status == 407 && t.WantsProxyAuth) {
        bool tryAgain = false;
        r.Thread.CallInMainThread([&] {
            if (self->OnProxyAuthenticationRequest)
                self->OnProxyAuthenticationRequest(self, self->Proxy.ProxyUsername, self->Proxy.ProxyPassword,
                                                   tryAgain);
            t.Proxy.ProxyUsername = self->Proxy.ProxyUsername;
            t.Proxy.ProxyPassword = self->Proxy.ProxyPassword;
        });
        if (tryAgain) return TOutcome::Retry;
    } else if (t.Status == 416 && t.S != 0) {
        return TOutcome::Probe;
    }
    if (r.Thread.IsStopRequested()) return TOutcome::Stop;
    t.ContentType = HeaderValue(r.Headers, "Content-Type");
    t.HasContentLength = HasHeader(r.Headers, "Content-Length");
    t.DataSize =
        t.HasContentLength ? std::strtoull(HeaderValue(r.Headers, "Content-Length").c_str(), nullptr, 10) : 0;
    if (!HasHeader(r.Headers, "Content-Range")) t.S = 0;
    if (t.Status == 206 && !PartialAnswerFits(t, HeaderValue(r.Headers, "Content-Range"))) {
        // A piece other than the one asked for would be kept as if it were the whole.
        t.UnaskedPartial = true;
        return TOutcome::EndBody;
    }
    if (t.WantsHeaderInfo) {
        for (size_t i = 0; i < r.Headers.size(); ++i)
            t.RawHeaders += r.Headers[i] + "\r\n";
        t.ContentLanguage = HeaderValue(r.Headers, "Content-Language");
        t.ContentEncoding = HeaderValue(r.Headers, "Content-Encoding");
        t.Location = HeaderValue(r.Headers, "Location");
        t.ETag = HeaderValue(r.Headers, "ETag");
        const auto date = [&](const char* name) {
            return HasHeader(r.Headers, name) ? ParseHTTPDate(HeaderValue(r.Headers, name)) : 0.0;
        };
        t.Date = date("Date");
        t.LastModified = date("Last-Modified");
        t.Expires = date("Expires");
        r.Thread.CallInMainThread([&] {
            bool cont = t.ContinueDownload;
            if (self->OnHeaderInfo)
                self->OnHeaderInfo(self, t.Status, t.RawHeaders, t.ContentType, t.ContentLanguage,
                                   t.ContentEncoding, t.DataSize + t.S, t.Location, t.Date, t.LastModified,
                                   t.Expires, t.ETag, cont);
            t.ContinueDownload = cont;
        });
        if (!t.ContinueDownload) return TOutcome::EndBody;
    }
    if (r.Thread.IsStopRequested()) return TOutcome::Stop;
    if (!OpenBodyStream(t)) {
        t.Status = -1;
        return TOutcome::Restart;
    }
    if (!t.HasStream()) return TOutcome::EndBody;
    return TOutcome::Continue;
}

bool TTransferDriver::Store(TTransfer& t, const char* p, size_t n) {
    if (t.OutputFd >= 0) {
        for (size_t done = 0; done < n;) {
            const ssize_t w = ::write(t.OutputFd, p + done, n - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                t.StoreFailed = true;
                t.OutputWriteFailed = true;
                return false;
            }
            done += static_cast<size_t>(w);
        }
    } else if (t.Memory) {
        if (t.MaxMemorySize && t.Memory->Size() + n > t.MaxMemorySize) {
            t.StoreFailed = true;
            return false;
        }
        t.Memory->Write(p, n);
    }
    return true;
}

TOutcome TTransferDriver::Block(TCustomWinHTTP* self, TTransfer& t, const char* p, size_t n) {
    if (self->FThread.IsStopRequested()) return TOutcome::Stop;
    t.BytesRead += n;
    if (t.OverlapPending) {
        t.OverlapPending = false;
        std::string existing(n, '\0');
        const ssize_t got = ::read(t.OutputFd, existing.data(), n);
        if (got != static_cast<ssize_t>(n) || std::memcmp(existing.data(), p, n) != 0) {
            t.Status = -1;
            return TOutcome::Restart;
        }
    } else if (!Store(t, p, n)) {
        return TOutcome::EndBody; // a write failure ends the body short
    }
    if (t.WantsProgress) self->FThread.CallInMainThread([self, &t] { self->RaiseProgress(t); });
    return TOutcome::Continue;
}

// Pieces go to the stream as they come (no copy); a progress event follows each completed block.
// Only the first block of a resume is gathered whole, for the overlap check.
TOutcome TTransferDriver::Consume(TCustomWinHTTP* self, TTransfer& t, const char* p, size_t n) {
    if (self->FThread.IsStopRequested()) return TOutcome::Stop;
    const size_t blockSize = t.BufferSize;
    while (n > 0) {
        if (t.OverlapPending) {
            const size_t take = std::min(n, blockSize - t.Pending.size());
            t.Pending.append(p, take);
            p += take;
            n -= take;
            if (t.Pending.size() < blockSize) return TOutcome::Continue;
            const TOutcome o = Block(self, t, t.Pending.data(), t.Pending.size());
            t.Pending.clear();
            if (o != TOutcome::Continue) return o;
            continue;
        }
        const size_t piece = std::min<size_t>(n, blockSize - t.Unreported);
        if (!Store(t, p, piece)) return TOutcome::EndBody;
        t.BytesRead += piece;
        t.Unreported += piece;
        p += piece;
        n -= piece;
        if (t.Unreported == blockSize) {
            t.Unreported = 0;
            if (t.WantsProgress) self->FThread.CallInMainThread([self, &t] { self->RaiseProgress(t); });
            if (self->FThread.IsStopRequested()) return TOutcome::Stop;
        }
    }
    return TOutcome::Continue;
}

TOutcome TTransferDriver::Flush(TCustomWinHTTP* self, TTransfer& t) {
    TOutcome o = TOutcome::Continue;
    if (!t.Pending.empty()) o = Block(self, t, t.Pending.data(), t.Pending.size());
    t.Pending.clear();
    if (o == TOutcome::Continue && t.Unreported > 0 && t.WantsProgress)
        self->FThread.CallInMainThread([self, &t] { self->RaiseProgress(t); });
    t.Unreported = 0;
    return o;
}

TCustomWinHTTP::TCustomWinHTTP(IMainThreadDispatcher* dispatcher) : FThread(dispatcher) {
    std::call_once(GCurlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    FThread.OnJobException = [this](std::exception_ptr) {
        if (FTransfer) FTransfer->ExceptionRaised = true;
        if (!FDestroying && OnAnyError) OnAnyError(this);
    };
    FThread.OnWaitTimeoutExpired = [this](bool& terminate) {
        if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(this, terminate);
    };
}

TCustomWinHTTP::~TCustomWinHTTP() {
    FDestroying = true;
    FThread.StopJob(true);
}

int TCustomWinHTTP::StatusCode() const {
    return FTransfer ? FTransfer->Status : -1;
}

bool TCustomWinHTTP::StartRangeTransfer(uint32_t fromPos, uint32_t toPos, bool forceWait) {
    if (FBusy) return false;
    FBusy = true;
    auto t = std::make_shared<TTransfer>();
    t->URL = URL;
    t->AcceptTypes = AcceptTypes;
    t->Agent = Agent;
    t->OutputFileName = OutputFileName;
    t->POSTData = POSTData;
    t->Referer = Referer;
    t->Username = Username;
    t->Password = Password;
    t->AddHeaders = AddHeaders;
    t->Proxy = Proxy;
    t->CacheOptions = CacheOptions;
    t->InternetOptions = InternetOptions;
    t->FileAttributes = OutputFileAttributes;
    t->Range = Range;
    t->Timeouts = Timeouts;
    t->BufferSize = std::max<uint32_t>(TransferBufferSize, 255);
    t->MaxMemorySize = MaxMemorySize;
    t->ExclusiveOutput = OutputFileExclusive;
    t->WorkOffline = WorkOffline;
    t->Method = RequestMethod;
    t->BeforeSend = OnBeforeSendRequest;
    t->Redirected = OnRedirected;
    t->ConnectionStatus = OnConnectionStatus;
    t->WantsProgress = static_cast<bool>(OnProgress);
    t->WantsHeaderInfo = static_cast<bool>(OnHeaderInfo);
    t->WantsPassword = static_cast<bool>(OnPasswordRequest);
    t->WantsProxyAuth = static_cast<bool>(OnProxyAuthenticationRequest);
    t->S = fromPos;
    t->E = toPos;
    FTransfer = t;
    FThread.OnJob = [this, t] { TransferBody(t); };
    FThread.OnJobFinished = [this, t] { CompletionDispatch(t); };
    const bool result = FThread.RunJob(forceWait);
    if (!result) {
        // The wait time-out stopped the worker: it cleans up on its own and raises nothing more.
        t->Completed = true;
        FBusy = false;
    }
    return result;
}

void TCustomWinHTTP::AbortTransfer(bool deleteOutputFile, bool immediately) {
    if (!FBusy || !FTransfer) return;
    auto t = FTransfer;
    t->DeleteOutputFile = deleteOutputFile;
    if (!immediately) {
        FThread.StopJob(false);
        return;
    }
    // The worker is abandoned: it closes its own handles and file, raising no further event.
    FThread.StopJob(true);
    t->Completed = true;
    FBusy = false;
    if (!FDestroying && OnAborted) OnAborted(this);
}

void TCustomWinHTTP::RaiseProgress(TTransfer& t) {
    if (!OnProgress) return;
    const uint64_t total = t.DataSize + t.S;
    const uint64_t done = t.S + t.BytesRead;
    const uint8_t percent =
        total
            ? static_cast<uint8_t>(std::min(255.0, std::nearbyint(static_cast<double>(done) * 100.0 / total)))
            : 0;
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t.StartTime)
            .count();
    const uint32_t elapsed = static_cast<uint32_t>(elapsedMs / 1000);
    const double ratio =
        t.BytesRead ? static_cast<double>(t.DataSize) / static_cast<double>(t.BytesRead) : 0.0;
    const int32_t left =
        static_cast<int32_t>(std::nearbyint(ratio * elapsed)) - static_cast<int32_t>(elapsed);
    const float rate = elapsed ? static_cast<float>(t.BytesRead / 1024.0 / elapsed)
                               : static_cast<float>(t.BytesRead / 1024.0);
    OnProgress(this, t.ContentType, total, done, elapsed, left, percent, rate, t.Memory.get());
}

void TCustomWinHTTP::TransferBody(const std::shared_ptr<TTransfer>& tp) {
    TTransfer& t = *tp;
    t.BodyRan = true;
    t.Status = -1;
    t.ContentType.clear();
    t.StartTime = std::chrono::steady_clock::now();
    t.ContinueDownload = true;
    const TURLParts parts = SplitURL(t.URL);
    const auto stopped = [&] {
        if (!FThread.IsStopRequested()) return false;
        StopProcessing(tp, true);
        return true;
    };
    if (stopped()) return;

    if (parts.Scheme == "file") {
        t.LocalFd = ::open(parts.Path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (t.LocalFd >= 0 && fstat(t.LocalFd, &st) == 0 && S_ISREG(st.st_mode)) {
            t.Status = 200;
            t.DataSize = static_cast<uint64_t>(st.st_size);
            t.HasContentLength = true;
        } else {
            t.CloseLocal();
            t.Status = 404;
            t.DataSize = 0;
        }
        if (stopped()) return;
        if (!TTransferDriver::OpenBodyStream(t)) {
            t.Status = -1;
            return;
        }
        if (t.LocalFd >= 0 && t.S) lseek(t.LocalFd, t.S, SEEK_SET);
        std::vector<char> buffer(t.BufferSize);
        while (t.LocalFd >= 0 && t.HasStream()) {
            if (stopped()) return;
            const ssize_t got = ::read(t.LocalFd, buffer.data(), buffer.size());
            if (got <= 0) break;
            if (TTransferDriver::Block(this, t, buffer.data(), static_cast<size_t>(got)) !=
                TOutcome::Continue)
                break;
        }
        if (stopped()) return;
        t.Success = (t.Status == 200 || t.Status == 206) && !t.StoreFailed;
        if (t.Success && t.DataSize != 0 && t.HasStream()) t.Success = t.DataSize == t.BytesRead;
        return;
    }

    bool probe = false;
    while (true) { // "Connect"
        if (stopped()) return;
        const std::string scheme = LowerCase(parts.Scheme);
        if (!parts.Valid || parts.Host.empty() || t.WorkOffline || (scheme != "http" && scheme != "https")) {
            t.Status = -1;
            return;
        }
        // Declared before the handle's clean-up: closing the socket still reports through it.
        TRequest r(this, t, FThread);
        r.Probing = probe;
        CURL* curl = curl_easy_init();
        if (!curl) return;
        struct TCleanup {
            CURL* C;
            TTransfer& T;
            TCustomWinHTTP* Owner;
            curl_slist* H = nullptr;
            ~TCleanup() {
                curl_slist_free_all(H);
                if (T.ConnectionStatus) T.ConnectionStatus(Owner, 70, ConnectionStatusText(70));
                curl_easy_cleanup(C);
            }
        } cleanup{curl, t, this};
        const std::string host =
            parts.Host.find(':') != std::string::npos ? "[" + parts.Host + "]" : parts.Host;
        r.EffectiveURL = scheme + "://" + host + ":" + std::to_string(parts.Port) +
                         EncodeURLPath(parts.Path) + EncodeExtraInfo(parts.ExtraInfo);
        curl_easy_setopt(curl, CURLOPT_URL, r.EffectiveURL.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_USERAGENT, t.Agent.c_str());
        const std::string user = parts.UserName.empty() ? t.Username : parts.UserName;
        const std::string pass = parts.Password.empty() ? t.Password : parts.Password;
        if (!user.empty() || !pass.empty()) {
            curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
            curl_easy_setopt(curl, CURLOPT_PASSWORD, pass.c_str());
            curl_easy_setopt(curl, CURLOPT_HTTPAUTH,
                             t.InternetOptions.Has(ioNoAuthentication) ? CURLAUTH_NONE : CURLAUTH_ANY);
        }
        // Proxy: the system's settings are the environment's proxy variables, which libcurl reads itself.
        std::string proxy;
        if (t.Proxy.AccessType == atDirect) {
            curl_easy_setopt(curl, CURLOPT_PROXY, "");
        } else if (t.Proxy.AccessType == atUseProxy) {
            proxy = t.Proxy.ProxyServer + ":" + std::to_string(t.Proxy.ProxyPort);
            curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
            std::string bypass = t.Proxy.ProxyBypass;
            std::replace(bypass.begin(), bypass.end(), ';', ',');
            curl_easy_setopt(curl, CURLOPT_NOPROXY, bypass.c_str());
        }
        if (t.Proxy.AccessType != atDirect && !t.Proxy.ProxyUsername.empty() &&
            !t.Proxy.ProxyPassword.empty()) {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, t.Proxy.ProxyUsername.c_str());
            curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, t.Proxy.ProxyPassword.c_str());
        }
        const bool post = t.Method == rmPOST || (t.Method == rmAutoDetect && !t.POSTData.empty());
        if (post) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.POSTData.size()));
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, t.POSTData.c_str());
        }
        if (!t.Referer.empty()) curl_easy_setopt(curl, CURLOPT_REFERER, t.Referer.c_str());
        // Certificates are verified unless an option says otherwise; libcurl cannot tell an expired
        // certificate from an unknown authority, so both options lift the peer check.
        if (t.InternetOptions.Has(ioIgnoreCertificateInvalid))
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
        if (t.InternetOptions.Has(ioIgnoreUnknownCertificateAuthority) ||
            t.InternetOptions.Has(ioIgnoreCertificateDateInvalid))
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        if (!t.InternetOptions.Has(ioNoAutoRedirect)) {
            curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 20L);
            std::string allowed = scheme;
            if (t.InternetOptions.Has(ioIgnoreRedirectToHTTPS) && scheme != "https") allowed += ",https";
            if (t.InternetOptions.Has(ioIgnoreRedirectToHTTP) && scheme != "http") allowed += ",http";
            curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, allowed.c_str());
        }
        if (!t.InternetOptions.Has(ioNoCookies)) curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
        if (t.Timeouts.ConnectTimeout)
            curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.Timeouts.ConnectTimeout));
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE,
                         static_cast<long>(std::clamp<uint32_t>(t.BufferSize, 1024, 512 * 1024)));

        curl_slist*& headers = cleanup.H;
        headers = curl_slist_append(headers, ("Accept: " + t.AcceptTypes).c_str());
        for (const auto& h : t.AddHeaders)
            if (!h.empty()) headers = curl_slist_append(headers, h.c_str());
        if (t.CacheOptions.Has(coPragmaNoCache)) headers = curl_slist_append(headers, "Pragma: no-cache");
        if (!t.InternetOptions.Has(ioKeepConnection))
            headers = curl_slist_append(headers, "Connection: close");
        std::string range;
        if (probe)
            range = "Range: bytes=0-";
        else if (t.S || t.E)
            range = "Range: bytes=" + std::to_string(t.S) + "-" + (t.E ? std::to_string(t.E) : "");
        else if (t.Range.StartRange || t.Range.EndRange)
            range = "Range: bytes=" + std::to_string(t.Range.StartRange) + "-" +
                    (t.Range.EndRange ? std::to_string(t.Range.EndRange) : "");
        if (!range.empty()) headers = curl_slist_append(headers, range.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, HeaderCallback);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteCallback);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &r);

        if (t.ConnectionStatus) {
            r.Status(60);
            curl_easy_setopt(curl, CURLOPT_RESOLVER_START_FUNCTION, ResolverStartCallback);
            curl_easy_setopt(curl, CURLOPT_RESOLVER_START_DATA, &r);
            curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocketCallback);
            curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &r);
            curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocketCallback);
            curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &r);
            curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, PrereqCallback);
            curl_easy_setopt(curl, CURLOPT_PREREQDATA, &r);
        }
        if (t.BeforeSend) t.BeforeSend(this, curl);
        r.LastData = std::chrono::steady_clock::now();
        const CURLcode code = curl_easy_perform(curl);
        r.Status(100);
        if (r.Outcome == TOutcome::Continue && !r.HeadersDone && code == CURLE_OK) {
            r.HeadersDone = true;
            r.Outcome = TTransferDriver::HeadersComplete(this, r);
        }
        if (r.Outcome == TOutcome::Continue && code != CURLE_OK && !r.HeadersDone) t.Status = -1;
        // Without a Content-Length a broken or stalled body would otherwise pass for a whole one.
        if (r.Outcome == TOutcome::Continue && code != CURLE_OK && r.HeadersDone) t.Truncated = true;
        // The last, shorter block (also when the connection broke: what arrived counts).
        if (r.Outcome == TOutcome::Continue) r.Outcome = TTransferDriver::Flush(this, t);
        t.Pending.clear();
        t.Unreported = 0;
        if (r.Outcome == TOutcome::Stop || stopped()) {
            if (!t.Stopped) StopProcessing(tp, true);
            return;
        }
        switch (r.Outcome) {
        case TOutcome::Retry:
            continue;
        case TOutcome::Probe:
            probe = true;
            continue;
        case TOutcome::Restart:
            t.StoreFailed = false;
            t.CloseOutput();
            t.Memory.reset();
            t.WritingToOutputFile = false;
            t.BytesRead = 0;
            if (++t.Reconnects > MaxReconnects) {
                t.Status = -1;
                return;
            }
            continue;
        case TOutcome::EndBody:
            if (probe) {
                probe = false;
                if (r.ProbeLength != t.S) {
                    t.Status = -1;
                    t.S = 0;
                    if (++t.Reconnects > MaxReconnects) return;
                    continue;
                }
                // The output file is already complete: success without a stream.
                t.Success = true;
                return;
            }
            break;
        default:
            break;
        }
        break;
    }
    t.Success = (t.Status == 200 || t.Status == 206) && !t.StoreFailed && !t.UnaskedPartial && !t.Truncated;
    if (t.Success && t.DataSize != 0 && t.HasStream()) t.Success = t.DataSize == t.BytesRead;
}

void TCustomWinHTTP::StopProcessing(const std::shared_ptr<TTransfer>& tp, bool raiseAborted) {
    TTransfer& t = *tp;
    t.Stopped = true;
    t.CloseLocal();
    t.Memory.reset();
    t.CloseOutput();
    if (t.WritingToOutputFile && t.DeleteOutputFile) ::unlink(t.OutputFileName.c_str());
    t.WritingToOutputFile = false;
    if (!raiseAborted || FDestroying) return;
    FThread.CallInMainThread([this, tp] {
        if (tp->Completed) return;
        tp->Completed = true;
        FBusy = false;
        if (!FDestroying && OnAborted) OnAborted(this);
    });
}

void TCustomWinHTTP::CompletionDispatch(const std::shared_ptr<TTransfer>& tp) {
    TTransfer& t = *tp;
    if (t.Completed || t.Stopped) return;
    t.Completed = true;
    if (!t.BodyRan) {
        // The stop came before the worker began: the transfer still ends, as aborted.
        FBusy = false;
        if (!FDestroying && OnAborted) OnAborted(this);
        return;
    }
    t.CloseLocal();
    if (t.Memory) t.Memory->Position = 0;
    const auto cleanUp = [&] {
        t.Memory.reset();
        const bool wasWriting = t.WritingToOutputFile;
        t.CloseOutput();
        if (wasWriting && !(t.FileAttributes.Incomplete == TWinHTTPFileAttributes{atrArchive}))
            ApplyFileAttributes(t.OutputFileName, t.FileAttributes.Incomplete);
        t.WritingToOutputFile = false;
        FBusy = false;
    };
    // An exception in the body was reported as OnAnyError already; no second outcome follows.
    if (t.ExceptionRaised) {
        cleanUp();
        return;
    }
    if (!t.ContinueDownload) {
        cleanUp();
        if (OnDoneInterrupted) OnDoneInterrupted(this);
        return;
    }
    // A file that cannot be written is the output file's fault, not the connection's.
    if ((t.Success && !t.HasStream()) || t.OutputWriteFailed) {
        if (OnAnyError) OnAnyError(this);
        if (OnOutputFileError) OnOutputFileError(this);
        cleanUp();
        return;
    }
    if (t.Success) {
        if (t.WritingToOutputFile) {
            t.CloseOutput();
            t.WritingToOutputFile = false;
            if (!(t.FileAttributes.Complete == t.FileAttributes.Incomplete))
                ApplyFileAttributes(t.OutputFileName, t.FileAttributes.Complete);
        }
        if (OnDone) OnDone(this, t.ContentType, t.BytesRead + t.S, t.Memory.get());
    } else {
        if (t.UnaskedPartial) {
            if (OnHTTPError) OnHTTPError(this, t.Status, t.Memory.get());
        } else if (t.Status == 200 || t.Status == 206) {
            if (OnConnLost) OnConnLost(this, t.ContentType, t.DataSize, t.BytesRead, t.Memory.get());
        } else if (t.Status == -1) {
            if (OnHostUnreachable) OnHostUnreachable(this);
        } else {
            if (OnHTTPError) OnHTTPError(this, t.Status, t.Memory.get());
        }
        if (OnAnyError) OnAnyError(this);
    }
    cleanUp();
}

} // namespace mw
