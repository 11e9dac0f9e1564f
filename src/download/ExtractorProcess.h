// Runs an outside program (the extractor) without a shell: an argument vector, standard input
// from /dev/null, every other descriptor closed, in a process group of its own, bounded in time
// and output. Ending it ends its whole group (the merger it starts included).
//
// Threading contract: TExtractorProcess belongs to the main thread (Start, Kill, the destructor).
// Each run has one worker thread that starts the program, reads its two output streams and waits
// for it; it reaches the main thread only by posting through the dispatcher: OnLine for output
// lines, then OnExit once. The worker and the main thread share only the run record's atomics
// and its wake-up pipe.
#pragma once

#include "app/Dispatcher.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace mw {

struct TProcessLimits {
    int TimeLimitMs = 0;               // the whole run; 0: none
    int StallLimitMs = 0;              // nothing on either output for this long; 0: none
    size_t MaxStdoutBytes = 1u << 20;  // collected output beyond this ends the run
    size_t MaxLineBytes = 64u << 10;   // a longer line is cut here (the rest of it is dropped)
    size_t MaxStderrBytes = 16u << 10; // the tail of the error output that is kept
};

struct TProcessOutcome {
    std::string StartError; // not empty: the program could not be started
    int ExitCode = -1;      // when it exited
    int Signal = 0;         // when a signal ended it
    bool TimedOut = false, Stalled = false, Killed = false, OutputTooLarge = false;
    std::string Stdout; // the collected output
    std::string Stderr; // the last MaxStderrBytes of the error output
    bool Succeeded() const {
        return StartError.empty() && ExitCode == 0 && !TimedOut && !Stalled && !Killed && !OutputTooLarge;
    }
};

// Runs the program on the calling thread and collects its output.
TProcessOutcome RunProgram(const std::vector<std::string>& argv, const TProcessLimits& limits);

class TExtractorProcess {
  public:
    explicit TExtractorProcess(IMainThreadDispatcher* dispatcher);
    ~TExtractorProcess();
    TExtractorProcess(const TExtractorProcess&) = delete;
    TExtractorProcess& operator=(const TExtractorProcess&) = delete;

    // Collected: the whole output goes to the outcome. Otherwise each line goes to OnLine, and of
    // the lines that start with ProgressPrefix only the latest is passed on, at most every
    // CoalesceMs (and before any other line and the end), so a chatty program cannot flood the
    // main thread.
    bool CollectStdout = false;
    std::string ProgressPrefix;
    int CoalesceMs = 100;
    std::function<void(const std::string& line)> OnLine;
    // May start the next run (and replace itself).
    std::function<void(const TProcessOutcome& outcome)> OnExit;

    // False (nothing started) while a run is going on. A program that cannot be started is
    // reported by OnExit with StartError.
    bool Start(const std::vector<std::string>& argv, const TProcessLimits& limits);
    // Ends the running program's group; OnExit follows with Killed.
    void Kill();
    // Ends the running program's group and waits for it; no event follows.
    void Stop();
    bool Running() const { return FRunning; }
    // The process (and group) id of the latest run, 0 before it started.
    int LastPid() const;

    struct TRun;

  private:
    void Finished(const TProcessOutcome& outcome);

    IMainThreadDispatcher* FDispatcher;
    bool FRunning = false;
    std::shared_ptr<TRun> FRun;
    std::thread FThread;
    // Posted calls check this token so that they do nothing once the object is gone.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace mw
