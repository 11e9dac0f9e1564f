// The transfer's worker: a file: URL read from the disk, or the libcurl requests of an http(s)
// transfer (an easy handle set up per request) and the loop that reconnects, probes and retries on
// their outcomes.
#include "download/WinHTTPTransfer.h"

#include "app/UtilFuncs.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mw {

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

// Reconnects for an unreachable resume position or a failed overlap check, before giving up.
constexpr int MaxReconnects = 3;

// The easy handle of one request with its header list. Its clean-up is reported (status 70) and
// may close the socket, which reports through the request too: the request outlives the handle.
class TEasyHandle {
  public:
    explicit TEasyHandle(TRequest& r) : FRequest(&r), FCurl(curl_easy_init()) {}
    TEasyHandle(TEasyHandle&& other) noexcept
        : FRequest(other.FRequest), FCurl(std::exchange(other.FCurl, nullptr)),
          FHeaders(std::exchange(other.FHeaders, nullptr)) {}
    TEasyHandle(const TEasyHandle&) = delete;
    TEasyHandle& operator=(const TEasyHandle&) = delete;
    TEasyHandle& operator=(TEasyHandle&&) = delete;
    ~TEasyHandle() {
        if (!FCurl) return;
        curl_slist_free_all(FHeaders);
        FRequest->Status(70);
        curl_easy_cleanup(FCurl);
    }
    CURL* Get() const { return FCurl; }
    explicit operator bool() const { return FCurl != nullptr; }
    void AddHeader(const std::string& line) { FHeaders = curl_slist_append(FHeaders, line.c_str()); }
    curl_slist* Headers() const { return FHeaders; }

  private:
    TRequest* FRequest;
    CURL* FCurl;
    curl_slist* FHeaders = nullptr;
};

// Address, credentials, proxy, method, certificates, redirects, cookies and limits.
void SetRequestOptions(CURL* curl, TRequest& r, const TURLParts& parts, const std::string& scheme) {
    const TTransfer& t = r.T;
    const std::string host = parts.Host.find(':') != std::string::npos ? "[" + parts.Host + "]" : parts.Host;
    r.EffectiveURL = scheme + "://" + host + ":" + std::to_string(parts.Port) + EncodeURLPath(parts.Path) +
                     EncodeExtraInfo(parts.ExtraInfo);
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
    if (t.Proxy.AccessType != atDirect && !t.Proxy.ProxyUsername.empty() && !t.Proxy.ProxyPassword.empty()) {
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
    if (t.InternetOptions.Has(ioIgnoreCertificateInvalid)) curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
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
}

// Accept, the added headers, the cache and connection wishes, and the range (a probe asks from 0).
void SetRequestHeaders(TEasyHandle& h, const TRequest& r) {
    const TTransfer& t = r.T;
    h.AddHeader("Accept: " + t.AcceptTypes);
    for (const auto& line : t.AddHeaders)
        if (!line.empty()) h.AddHeader(line);
    if (t.CacheOptions.Has(coPragmaNoCache)) h.AddHeader("Pragma: no-cache");
    if (!t.InternetOptions.Has(ioKeepConnection)) h.AddHeader("Connection: close");
    std::string range;
    if (r.Probing)
        range = "Range: bytes=0-";
    else if (t.S || t.E)
        range = "Range: bytes=" + std::to_string(t.S) + "-" + (t.E ? std::to_string(t.E) : "");
    else if (t.Range.StartRange || t.Range.EndRange)
        range = "Range: bytes=" + std::to_string(t.Range.StartRange) + "-" +
                (t.Range.EndRange ? std::to_string(t.Range.EndRange) : "");
    if (!range.empty()) h.AddHeader(range);
    curl_easy_setopt(h.Get(), CURLOPT_HTTPHEADER, h.Headers());
}

void SetCallbacks(CURL* curl, TRequest& r) {
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, HeaderCallback);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &r);
    if (!r.T.ConnectionStatus) return;
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

// The handle of one request, ready to perform; an empty one when libcurl could not make it.
TEasyHandle SetUpEasyHandle(TRequest& r, const TURLParts& parts, const std::string& scheme) {
    TEasyHandle h(r);
    if (!h) return h;
    SetRequestOptions(h.Get(), r, parts, scheme);
    SetRequestHeaders(h, r);
    SetCallbacks(h.Get(), r);
    return h;
}

// Performs the request; the outcome is left in r. The body's last, shorter block is flushed
// (also when the connection broke: what arrived counts).
void Perform(TRequest& r, const TEasyHandle& h) {
    TTransfer& t = r.T;
    if (t.BeforeSend) t.BeforeSend(r.Owner, h.Get());
    r.LastData = std::chrono::steady_clock::now();
    const CURLcode code = curl_easy_perform(h.Get());
    r.Status(100);
    if (r.Outcome == TOutcome::Continue && !r.HeadersDone && code == CURLE_OK) {
        r.HeadersDone = true;
        r.Outcome = TTransferDriver::HeadersComplete(r.Owner, r);
    }
    if (r.Outcome == TOutcome::Continue && code != CURLE_OK && !r.HeadersDone) t.Status = -1;
    // Without a Content-Length a broken or stalled body would otherwise pass for a whole one.
    if (r.Outcome == TOutcome::Continue && code != CURLE_OK && r.HeadersDone) t.Truncated = true;
    if (r.Outcome == TOutcome::Continue) r.Outcome = TTransferDriver::Flush(r.Owner, t);
    t.Pending.clear();
    t.Unreported = 0;
}

enum class TNextStep {
    Reconnect, // another request
    Finished,  // the transfer's outcome is set
    Judge      // the body ended: its figures decide the outcome
};

// What follows a request that was not stopped; `probe` says whether the next one is a probe.
TNextStep AfterRequest(TTransfer& t, const TRequest& r, bool& probe) {
    switch (r.Outcome) {
    case TOutcome::Retry:
        return TNextStep::Reconnect;
    case TOutcome::Probe:
        probe = true;
        return TNextStep::Reconnect;
    case TOutcome::Restart:
        t.StoreFailed = false;
        t.CloseOutput();
        t.Memory.reset();
        t.WritingToOutputFile = false;
        t.BytesRead = 0;
        if (++t.Reconnects > MaxReconnects) {
            t.Status = -1;
            return TNextStep::Finished;
        }
        return TNextStep::Reconnect;
    case TOutcome::EndBody:
        if (!probe) return TNextStep::Judge;
        probe = false;
        if (r.ProbeLength != t.S) {
            t.Status = -1;
            t.S = 0;
            return ++t.Reconnects > MaxReconnects ? TNextStep::Finished : TNextStep::Reconnect;
        }
        // The output file is already complete: success without a stream.
        t.Success = true;
        return TNextStep::Finished;
    default:
        return TNextStep::Judge;
    }
}

} // namespace

bool TCustomWinHTTP::StopRequested(const std::shared_ptr<TTransfer>& tp) {
    if (!FThread.IsStopRequested()) return false;
    StopProcessing(tp, true);
    return true;
}

void TCustomWinHTTP::TransferBody(const std::shared_ptr<TTransfer>& tp) {
    TTransfer& t = *tp;
    t.BodyRan = true;
    t.Status = -1;
    t.ContentType.clear();
    t.StartTime = std::chrono::steady_clock::now();
    t.ContinueDownload = true;
    const TURLParts parts = SplitURL(t.URL);
    if (StopRequested(tp)) return;
    if (parts.Scheme == "file")
        ReadLocalFile(tp, parts);
    else
        RequestUntilDone(tp, parts);
}

void TCustomWinHTTP::ReadLocalFile(const std::shared_ptr<TTransfer>& tp, const TURLParts& parts) {
    TTransfer& t = *tp;
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
    if (StopRequested(tp)) return;
    if (!TTransferDriver::OpenBodyStream(t)) {
        t.Status = -1;
        return;
    }
    if (t.LocalFd >= 0 && t.S) lseek(t.LocalFd, t.S, SEEK_SET);
    std::vector<char> buffer(t.BufferSize);
    while (t.LocalFd >= 0 && t.HasStream()) {
        if (StopRequested(tp)) return;
        const ssize_t got = ::read(t.LocalFd, buffer.data(), buffer.size());
        if (got <= 0) break;
        if (TTransferDriver::Block(this, t, buffer.data(), static_cast<size_t>(got)) != TOutcome::Continue)
            break;
    }
    if (StopRequested(tp)) return;
    t.Success = (t.Status == 200 || t.Status == 206) && !t.StoreFailed;
    if (t.Success && t.DataSize != 0 && t.HasStream()) t.Success = t.DataSize == t.BytesRead;
}

void TCustomWinHTTP::RequestUntilDone(const std::shared_ptr<TTransfer>& tp, const TURLParts& parts) {
    TTransfer& t = *tp;
    bool probe = false;
    while (true) {
        if (StopRequested(tp)) return;
        const std::string scheme = LowerCase(parts.Scheme);
        if (!parts.Valid || parts.Host.empty() || t.WorkOffline || (scheme != "http" && scheme != "https")) {
            t.Status = -1;
            return;
        }
        // Declared before the handle: closing the socket still reports through it.
        TRequest r(this, t, FThread);
        r.Probing = probe;
        const TEasyHandle handle = SetUpEasyHandle(r, parts, scheme);
        if (!handle) return;
        Perform(r, handle);
        // The stop is processed before the handle's clean-up is reported.
        if (r.Outcome == TOutcome::Stop || StopRequested(tp)) {
            if (!t.Stopped) StopProcessing(tp, true);
            return;
        }
        const TNextStep next = AfterRequest(t, r, probe);
        if (next == TNextStep::Finished) return;
        if (next == TNextStep::Judge) break;
    }
    t.Success = (t.Status == 200 || t.Status == 206) && !t.StoreFailed && !t.UnaskedPartial && !t.Truncated;
    if (t.Success && t.DataSize != 0 && t.HasStream()) t.Success = t.DataSize == t.BytesRead;
}

} // namespace mw
