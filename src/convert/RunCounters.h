// The counters of one conversion run, kept by the desktop between runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace mw {

// The counters of the latest conversion run; reset when a run starts, kept until the next one.
// Changed on the main thread; RunHandledTasks is also read by the thread of the run's end notice.
struct TConversionRun {
    int32_t RunTotalFiles = 0;
    int32_t RunSucceeded = 0;
    std::atomic<int32_t> RunHandledTasks{0};
    std::vector<std::string> RunErrors; // "File (n): ..." lines of failed tasks
    double RunStartTime = 0;            // date-time, days
    int64_t RunTotalDuration = 0;       // microseconds, known durations of all inputs
    int64_t RunCompletedDuration = 0;   // microseconds, durations of the finished tasks

    TConversionRun() = default;
    // Copies are snapshots (tests and the screenshot tool reset the record by assignment).
    TConversionRun(const TConversionRun& other) { *this = other; }
    TConversionRun& operator=(const TConversionRun& other) {
        RunTotalFiles = other.RunTotalFiles;
        RunSucceeded = other.RunSucceeded;
        RunHandledTasks = other.RunHandledTasks.load();
        RunErrors = other.RunErrors;
        RunStartTime = other.RunStartTime;
        RunTotalDuration = other.RunTotalDuration;
        RunCompletedDuration = other.RunCompletedDuration;
        return *this;
    }
};

} // namespace mw
