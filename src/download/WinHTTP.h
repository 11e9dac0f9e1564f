// TWinHTTP: one HTTP transfer (GET, form POST, or a file: URL) at a time on a worker thread,
// the body collected in memory or written to an output file, outcome reported by events.
//
// Threading contract:
// - Properties, StartTransfer/StartRangeTransfer, AbortTransfer and the destructor belong to the
//   main thread. Each start snapshots the properties into a transfer record owned by that run, so
//   changing a property during a transfer affects only the next one.
// - OnBeforeSendRequest, OnRedirected and OnConnectionStatus run on the worker; every other event
//   runs on the main thread while the worker waits (TCustomWinThread::CallInMainThread), so the
//   figures and the stream handed to a handler are stable during the call.
// - The stop request is the worker thread object's flag, read at the checkpoints and by libcurl's
//   progress callback, so a blocked connect or read returns within about a second.
// - FBusy is touched on the main thread only.
#pragma once

#include "download/HttpDate.h"
#include "download/WinThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mw {

enum TWinHTTPRequestMethod { rmAutoDetect, rmGET, rmPOST };
enum TWinHTTPAccessType { atPreconfig, atDirect, atUseProxy };
enum TInternetOption {
    ioIgnoreCertificateInvalid,
    ioIgnoreCertificateDateInvalid,
    ioIgnoreUnknownCertificateAuthority,
    ioIgnoreRedirectToHTTP,
    ioIgnoreRedirectToHTTPS,
    ioKeepConnection,
    ioNoAuthentication,
    ioNoAutoRedirect,
    ioNoCookies
};
enum TCacheOption {
    coAlwaysReload,
    coReloadIfNoExpireInformation,
    coReloadUpdatedObjects,
    coPragmaNoCache,
    coNoCacheWrite,
    coCreateTempFilesIfCantCache,
    coUseCacheIfNetFail
};
enum TWinHTTPFileAttribute { atrArchive, atrHidden, atrReadOnly, atrSystem, atrTemporary, atrOffline };

// A small set of enumeration values (bit i = value i).
template <typename E> class TSet {
  public:
    TSet() = default;
    TSet(std::initializer_list<E> items) {
        for (E e : items)
            Include(e);
    }
    bool Has(E e) const { return (FBits >> static_cast<unsigned>(e)) & 1u; }
    void Include(E e) { FBits |= 1u << static_cast<unsigned>(e); }
    void Exclude(E e) { FBits &= ~(1u << static_cast<unsigned>(e)); }
    bool operator==(const TSet&) const = default;

  private:
    uint32_t FBits = 0;
};
using TInternetOptions = TSet<TInternetOption>;
using TCacheOptions = TSet<TCacheOption>;
using TWinHTTPFileAttributes = TSet<TWinHTTPFileAttribute>;

struct TWinHTTPProxy {
    TWinHTTPAccessType AccessType = atPreconfig;
    uint32_t ProxyPort = 8080;
    std::string ProxyServer;
    std::string ProxyBypass = "127.0.0.1;";
    std::string ProxyUsername, ProxyPassword;
    void Assign(const TWinHTTPProxy* other) { *this = other ? *other : TWinHTTPProxy{}; }
};
struct TWinHTTPRange {
    uint32_t StartRange = 0, EndRange = 0;
    void Assign(const TWinHTTPRange* other) { *this = other ? *other : TWinHTTPRange{}; }
};
struct TWinHTTPTimeouts {
    uint32_t ConnectTimeout = 0, ReceiveTimeout = 0, SendTimeout = 0; // milliseconds, 0 = platform's
    void Assign(const TWinHTTPTimeouts* other) { *this = other ? *other : TWinHTTPTimeouts{}; }
};
struct TWinHTTPOutputFileAttributes {
    TWinHTTPFileAttributes Complete{atrArchive};
    TWinHTTPFileAttributes Incomplete{atrArchive, atrTemporary};
    void Assign(const TWinHTTPOutputFileAttributes* other) {
        *this = other ? *other : TWinHTTPOutputFileAttributes{};
    }
};

// The body of a transfer collected in memory.
class TMemoryStream {
  public:
    std::string Data;
    size_t Position = 0;
    size_t Size() const { return Data.size(); }
    void Write(const char* p, size_t n);
    bool SaveToFile(const std::string& path) const;
};

// URL parts after splitting; percent-escapes decoded in every part.
struct TURLParts {
    std::string Scheme, Host, UserName, Password, Path, ExtraInfo;
    int Port = 0;
    bool Valid = false;
};
// Longest path, and longest query, an address may have (bytes, before decoding).
inline constexpr size_t MaxURLPartSize = 64 * 1024;
// Puts "http://" in front of a URL without "://", then splits it; invalid beyond the caps.
TURLParts SplitURL(const std::string& url);
// The query part as sent: control bytes, bytes from 0x80, space # % * + < > as %XX.
std::string EncodeExtraInfo(const std::string& extra);
// The path as sent: control bytes, bytes from 0x80, space # % ? as %XX ("/" when empty).
std::string EncodeURLPath(const std::string& path);

// Credentials in the stored "LInfo" block, scrambled with a one-byte key.
std::string EncodeLoginInfo(const std::string& userName, const std::string& password);
// False when the block is malformed (then both stay empty).
bool DecodeLoginInfo(const std::string& block, std::string& userName, std::string& password);

// The text of a connection status code.
const char* ConnectionStatusText(int code);

class TWinLoginComponent {
  public:
    std::string Username, Password;
};

struct TTransfer; // one run's state, shared between the main thread and its worker

class TCustomWinHTTP : public TWinLoginComponent {
  public:
    explicit TCustomWinHTTP(IMainThreadDispatcher* dispatcher = nullptr);
    virtual ~TCustomWinHTTP();
    TCustomWinHTTP(const TCustomWinHTTP&) = delete;
    TCustomWinHTTP& operator=(const TCustomWinHTTP&) = delete;

    // Properties
    std::string URL;
    std::string AcceptTypes = "text/html, */*";
    std::vector<std::string> AddHeaders;
    std::string Agent = "Mediawizard HTTP component";
    TWinHTTPProxy Proxy;
    TCacheOptions CacheOptions{coReloadIfNoExpireInformation, coReloadUpdatedObjects,
                               coCreateTempFilesIfCantCache};
    TInternetOptions InternetOptions{ioKeepConnection};
    std::string OutputFileName;
    TWinHTTPOutputFileAttributes OutputFileAttributes;
    std::string POSTData;
    TWinHTTPRange Range;
    std::string Referer;
    bool ShowGoOnlineMessage = false;
    TWinHTTPRequestMethod RequestMethod = rmAutoDetect;
    TWinHTTPTimeouts Timeouts;
    uint32_t TransferBufferSize = 4096; // 255 .. 2147483647
    bool WorkOffline = false;
    // Create the output file as a new file (O_EXCL, no symbolic link followed); no resume then.
    bool OutputFileExclusive = false;
    // Largest body kept in memory (0 = no limit); a longer one ends the transfer as a lost connection.
    uint64_t MaxMemorySize = 0;

    TThreadPriority ThreadPriority() const { return FThread.Priority(); }
    void SetThreadPriority(TThreadPriority p) { FThread.SetPriority(p); }
    bool WaitThread() const { return FThread.WaitThread; }
    void SetWaitThread(bool w) { FThread.WaitThread = w; }
    int WaitTimeout() const { return FThread.WaitTimeout; }
    void SetWaitTimeout(int ms) { FThread.WaitTimeout = ms; }

    // Events
    std::function<void(TCustomWinHTTP*, void* hRequest)> OnBeforeSendRequest;
    std::function<void(TCustomWinHTTP*, const std::string& newURL)> OnRedirected;
    std::function<void(TCustomWinHTTP*, int errorCode, const std::string& rawHeadersCRLF,
                       const std::string& contentType, const std::string& contentLanguage,
                       const std::string& contentEncoding, uint64_t contentLength,
                       const std::string& location, TDateTime date, TDateTime lastModified, TDateTime expires,
                       const std::string& eTag, bool& continueDownload)>
        OnHeaderInfo;
    std::function<void(TCustomWinHTTP*, const std::string& contentType, uint64_t dataSize, uint64_t bytesRead,
                       uint32_t elapsedTime, int32_t estimatedTimeLeft, uint8_t percentsDone,
                       float transferRate, TMemoryStream* stream)>
        OnProgress;
    std::function<void(TCustomWinHTTP*, const std::string& contentType, uint64_t fileSize,
                       TMemoryStream* stream)>
        OnDone;
    std::function<void(TCustomWinHTTP*)> OnDoneInterrupted;
    std::function<void(TCustomWinHTTP*, const std::string& contentType, uint64_t fileSize, uint64_t bytesRead,
                       TMemoryStream* stream)>
        OnConnLost;
    std::function<void(TCustomWinHTTP*, int errorCode, TMemoryStream* stream)> OnHTTPError;
    std::function<void(TCustomWinHTTP*)> OnHostUnreachable;
    std::function<void(TCustomWinHTTP*)> OnOutputFileError;
    std::function<void(TCustomWinHTTP*)> OnAnyError;
    std::function<void(TCustomWinHTTP*)> OnAborted;
    std::function<void(TCustomWinHTTP*, const std::string& realm, bool& tryAgain)> OnPasswordRequest;
    std::function<void(TCustomWinHTTP*, std::string& proxyUsername, std::string& proxyPassword,
                       bool& tryAgain)>
        OnProxyAuthenticationRequest;
    std::function<void(TCustomWinHTTP*, bool& terminateThread)> OnWaitTimeoutExpired;
    std::function<void(TCustomWinHTTP*, int statusCode, const std::string& statusText)> OnConnectionStatus;

    bool StartTransfer(bool forceWait = false) { return StartRangeTransfer(0, 0, forceWait); }
    bool StartRangeTransfer(uint32_t fromPos, uint32_t toPos, bool forceWait = false);
    void AbortTransfer(bool deleteOutputFile, bool immediately);
    bool IsTransferring() const { return FThread.IsJobRunning(); }
    bool IsBusy() const { return FBusy; }

    // Figures of the transfer in work (main thread; meaningful inside the events).
    int StatusCode() const;

  private:
    // The worker's job (WinHTTPRequest.cpp): a file: URL is read from the disk, anything else
    // goes through libcurl requests until one ends the transfer.
    void TransferBody(const std::shared_ptr<TTransfer>& t);
    void ReadLocalFile(const std::shared_ptr<TTransfer>& t, const TURLParts& parts);
    void RequestUntilDone(const std::shared_ptr<TTransfer>& t, const TURLParts& parts);
    // On the worker: when the stop was requested, processes it and says so.
    bool StopRequested(const std::shared_ptr<TTransfer>& t);
    void CompletionDispatch(const std::shared_ptr<TTransfer>& t);
    void StopProcessing(const std::shared_ptr<TTransfer>& t, bool raiseAborted);
    void RaiseProgress(TTransfer& t);
    friend struct TTransferDriver;

    std::shared_ptr<TTransfer> FTransfer;
    bool FBusy = false;
    // Written by the destructor, read by an abandoned worker still finishing.
    std::atomic<bool> FDestroying{false};
    // Last, so that it is destroyed first: its destructor joins a worker that may still read the above.
    TCustomWinThread FThread;
};

class TWinHTTP : public TCustomWinHTTP {
  public:
    using TCustomWinHTTP::TCustomWinHTTP;
};

} // namespace mw
