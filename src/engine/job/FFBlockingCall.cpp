#include "engine/job/FFBlockingCall.h"

#include "engine/job/FFJob.h"
#include "engine/FFLog.h"

#include <chrono>
#include <limits>

namespace mw {

namespace {

constexpr int64_t NoOperation = std::numeric_limits<int64_t>::max();

bool TimeLimitCheck(void* data, void* /*owner*/) {
    auto& job = *static_cast<TTranscodeJob*>(data);
    const int64_t start = job.OperationStartUs.load();
    if (start == NoOperation) return false;
    const char* text = nullptr;
    if (start == 0)
        text = "connecting/reading/writing canceled";
    else if (job.TimeLimitMs > 0 && MonotonicUs() - start > job.TimeLimitMs * 1000)
        text = "connecting/reading/writing timeout";
    if (!text) return false;
    if (!job.InterruptLogged.exchange(true)) EngineLog(&job, llInfo, text);
    return true;
}

} // namespace

int64_t MonotonicUs() {
    using namespace std::chrono;
    // Never 0, which means "cancel".
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

TBlockingCall::TBlockingCall(TTranscodeJob& job) : FJob(job) {
    TInterruptCB::Add(CurrentThreadId(), &FJob, TimeLimitCheck, &FJob);
    FJob.InterruptLogged = false;
    // A stop that came before the call still cancels it.
    FJob.OperationStartUs = FJob.StopRequested ? 0 : MonotonicUs();
}

TBlockingCall::~TBlockingCall() {
    FJob.OperationStartUs = NoOperation;
    TInterruptCB::Remove(CurrentThreadId(), &FJob, TimeLimitCheck);
}

void RequestStopBlocking(TTranscodeJob& job) {
    job.StopRequested = true;
    if (job.OperationStartUs.load() != NoOperation) job.OperationStartUs = 0;
}

} // namespace mw
