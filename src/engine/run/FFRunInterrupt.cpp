#include "engine/run/FFRunInterrupt.h"

#include "engine/job/FFBlockingCall.h"
#include "engine/FFLog.h"
#include "engine/run/FFRunState.h"

namespace mw {

namespace {

bool ReadCheck(void* data, void* owner) {
    auto& job = *static_cast<TTranscodeJob*>(data);
    auto& watch = *static_cast<TReadWatch*>(owner);
    if (!watch.Reading) return false;
    const char* text = nullptr;
    if (job.StopRequested.load(std::memory_order_relaxed)) {
        text = "connecting/reading/writing canceled";
    } else if (job.TimeLimitMs > 0) {
        const int64_t now = MonotonicUs();
        if (watch.SeenRead != watch.Reads) {
            watch.SeenRead = watch.Reads;
            watch.StartUs = now;
        } else if (now - watch.StartUs > job.TimeLimitMs * 1000) {
            text = "connecting/reading/writing timeout";
            watch.TimedOut = true;
        }
    }
    if (!text) return false;
    if (!job.InterruptLogged.exchange(true)) EngineLog(&job, llInfo, text);
    return true;
}

} // namespace

TRunInterrupt::TRunInterrupt(TTranscodeJob& job, TReadWatch& watch)
    : FJob(job), FWatch(watch), FThread(CurrentThreadId()) {
    FJob.InterruptLogged = false;
    // The watch is the registry's owner key, so the check finds both.
    TInterruptCB::Add(FThread, &FWatch, ReadCheck, &FJob);
}

void TRunInterrupt::Release() {
    if (FActive) TInterruptCB::Remove(FThread, &FWatch, ReadCheck);
    FActive = false;
}

int ReadInputPacket(TRunState& run, int file, AVPacket* packet) {
    TReadWatch& watch = run.Reads;
    ++watch.Reads;
    watch.Reading = true;
    const int error = FFApi.av_read_frame(run.Job.Inputs[file].Context.get(), packet);
    watch.Reading = false;
    // Demuxers may turn the abort into an end of file; the text says what happened.
    if (error < 0 && watch.TimedOut)
        RaiseRunError("%s: %s", run.Job.Inputs[file].FileName.c_str(), FFErrorText(AVERROR_EXIT).c_str());
    return error;
}

} // namespace mw
