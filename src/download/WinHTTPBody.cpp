// The transfer's headers and body on the worker: what the answer's headers decide, the stream the
// body goes to, and the blocks that progress events follow.
#include "download/WinHTTPTransfer.h"

#include "app/UtilFuncs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

// A memory stream is sized in advance to the announced length, but never beyond this much:
// a server announcing gigabytes must not make us reserve them before a byte arrives.
constexpr uint64_t MaxMemoryReserve = 64ull << 20;

bool SetReadOnly(const std::string& path, bool readOnly) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const mode_t mode = readOnly ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR);
    return mode == st.st_mode || chmod(path.c_str(), mode & 07777) == 0;
}

} // namespace

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

void ApplyFileAttributes(const std::string& path, const TWinHTTPFileAttributes& attrs) {
    SetReadOnly(path, attrs.Has(atrReadOnly));
}

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

} // namespace mw
