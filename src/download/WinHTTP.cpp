// The transfer component on the main thread: a start snapshots the properties into the run's
// record, an abort stops the worker, and the outcome of a finished run becomes the events.
#include "download/WinHTTPTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <unistd.h>

namespace mw {

namespace {

std::once_flag GCurlInit;

} // namespace

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
