// SIGINT (Ctrl+C), SIGTERM (a logout, kill) and SIGHUP (a closed terminal) stop the command's work
// cleanly instead of ending the program at once, for as long as a TStopSignals lives: outputs get
// their trailers, and the command then exits with status 1.
//
// Threading: made and destroyed on the main thread. The handler only sets lock-free atomics: the
// stop flag and, when a job is given, the job's stop request (which also cuts a blocking open or
// read short).
#pragma once

namespace mw {
struct TTranscodeJob;
}

namespace mw::cli {

class TStopSignals {
  public:
    explicit TStopSignals(TTranscodeJob* job = nullptr);
    // Puts the previous handlers back.
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // True once one of the signals came.
    static bool Requested();
};

} // namespace mw::cli
