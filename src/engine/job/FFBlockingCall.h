// The job's time limit around a blocking library call: while a TBlockingCall lives, the calling
// thread's interrupt check aborts the call when it has lasted longer than the job's limit
// ("connecting/reading/writing timeout") or when a stop set the operation start to 0
// ("connecting/reading/writing canceled"), both logged at llInfo.
//
// Threading: made and destroyed on the thread doing the blocking call; the job's stop may be
// requested from any thread (RequestStopBlocking).
#pragma once

#include <cstdint>

namespace mw {

struct TTranscodeJob;

class TBlockingCall {
  public:
    explicit TBlockingCall(TTranscodeJob& job);
    ~TBlockingCall();
    TBlockingCall(const TBlockingCall&) = delete;
    TBlockingCall& operator=(const TBlockingCall&) = delete;

  private:
    TTranscodeJob& FJob;
};

// Sets the stop flag and cancels a blocking call in progress.
void RequestStopBlocking(TTranscodeJob& job);
// Monotonic microseconds, the clock the time limit uses.
int64_t MonotonicUs();

} // namespace mw
