// The conversion run without widgets: turns the source list and the output choice into encoder
// tasks with unique output names, keeps the status rows and the progress panel, counts the ends
// and hands the finished run to its view (the converting page, or the command-line tool).
//
// Every source of a per-file run has a status row and counts in the total: one that cannot be
// probed or queued is a failed file with its reason. Error lines read "File (n): name: text", n
// being the file's position in the list from 1 (the row's number), in that order.
//
// Threading contract:
// - StartConversionRun, Cancel and FFEncoderProgress run on the main thread.
// - FFEncoderTerminate runs on the encoder's notifier threads (or inside StartTask(0)). A task's
//   end is handled on the main thread through the dispatcher's CallAndWait, one at a time; the
//   run's end waits for the event set when every task's end has been counted (RunHandledTasks),
//   then clears the tasks and calls the view's ConversionFinished on the main thread.
// - Rows, Panel and the counters are read and changed on the main thread only.
// - Several tasks may run at once (ParallelCount): every running row shows its own progress,
//   "Current file:" the running task started last, the bar the running tasks' combined progress
//   and the estimate their reached times summed.
#pragma once

#include "app/UserSettings.h"
#include "convert/RunCounters.h"
#include "convert/SourceFiles.h"
#include "engine/tasks/FFEncode.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mw {

// Status of a row in per-file mode.
enum class TRowStatus { Waiting, Converting, Finish, Failed };
// "Waiting...", "Converting...", "Finish.", "Failed."
std::string_view RowStatusText(TRowStatus status);

struct TStatusRow {
    std::string Name;     // file name of the source
    std::string Duration; // duration text
    TRowStatus Status = TRowStatus::Waiting;
    std::string Progress;  // per-file mode: "", "37%", "100%" or "N/A"
    std::string Dimension; // join mode: "640x480"
    std::string Aspect;    // join mode: aspect ratio in general notation
    std::string Path;      // per-file: the source's folder; join: the output's full path
    // Texts of columns 2 and 3 as the list shows them in either mode.
    std::string Column2(bool joinMode) const;
    std::string Column3(bool joinMode) const;
};

// The converting page's status group.
struct TConversionPanel {
    std::string CurrentFileTitle = "Current file:"; // "Output file:" in join mode
    std::string CurrentFile = "...";
    std::string Estimated = "...";
    std::string Elapsed = "...";
    std::string TimeLeft = "...";
    int ProgressBar = 0; // 0..100
    std::string Progress = "0%";
};

class IConversionView {
  public:
    virtual ~IConversionView() = default;
    virtual void LogLine(const std::string& /*text*/) {}
    virtual void RowsChanged() {}
    virtual void RowChanged(int /*row*/) {}
    virtual void PanelChanged() {}
    // The run has ended (sound, shutdown countdown, summary); on the main thread.
    virtual void ConversionFinished() {}
};

// A time span in days as "h:nn:ss": hours of the day without a leading zero (25 hours read
// 1:00:00), minutes and seconds with two digits. A negative span reads 0:00:00.
std::string FormatTimeSpan(double days);
// The whole run's estimated time in days: elapsed × total ÷ (completed + current); -1 when the
// divisor is not above 0.
double EstimateRunTime(double elapsedDays, int64_t totalUs, int64_t completedUs, int64_t currentUs);
// The current local date-time in days since 30 December 1899.
double NowDateTime();

// The sound file (under the program's "sounds" folder) for the end of a run.
std::string FinishSoundName(const TConversionRun& run);

class TConversionRunner {
  public:
    TConversionRunner(TFFEncoder& encoder, const TUserSettings& settings, TConversionRun& run,
                      IConversionView& view);
    ~TConversionRunner();
    TConversionRunner(const TConversionRunner&) = delete;
    TConversionRunner& operator=(const TConversionRunner&) = delete;

    // One task with every source as an input, written to "Output_Merge" + extension.
    bool JoinMode = false;
    // Files converted at once (per-file mode): a count above 0, or 0 for the automatic count of
    // this machine and the selection's encoders. A join is one task.
    int ParallelCount = 1;
    // Asked before each source while the tasks are built (the main thread is busy meanwhile): true
    // ends the building, and the run ends at once with every source counted, none converted.
    std::function<bool()> BuildCancelled;
    // The clock (days); tests replace it.
    std::function<double()> Now = NowDateTime;

    std::vector<TStatusRow> Rows;
    TConversionPanel Panel;

    // Builds the tasks, resets the counters and starts the encoder. A run without any task ends
    // at once (the view's ConversionFinished runs before this returns).
    void StartConversionRun(const std::vector<TSourceFile>& sources);
    void BuildFileTasks(const std::vector<TSourceFile>& sources);
    // Adds the source's status row, and its task when it can be queued.
    void BuildFileTask(const std::string& path);
    TInputOptions BuildInputOptions(TFFDecoder& probe) const;
    // Adds a status row for the source of input, and the task; a task that cannot be made marks
    // the row failed with the engine's text.
    void AddFileTask(const TInputOptions& input, const TOutputOptions& output);
    void BuildJoinTask(const std::vector<TSourceFile>& sources);

    void FFEncoderProgress(const TProgressInfo& info);
    void FFEncoderTerminate(const TTerminateInfo& info);
    // Stops the encoder and waits for it; the end notices follow as usual.
    void Cancel();
    bool Ended() const { return FEnded; }
    // A new choice of files at once; a run under way follows it from now on.
    void SetParallelCount(int choice);
    // The count the run started (or would start) its tasks with.
    int EffectiveParallelCount() const;

  private:
    void HandleTaskEnd(const TTerminateInfo& info);
    // The bar and percentage over the running tasks whose length is known; false when none is.
    bool ShowRunningProgress();
    // The path "Current file:" shows for a task, and the running task started last shown there.
    std::string CurrentFileOf(size_t task) const;
    void ShowCurrentFile();
    void FinishRun();
    void OnMainThread(const std::function<void()>& call);
    std::string PerFileOutputPath(const std::string& sourcePath, const std::string& extension);
    // A source that gets no task: a failed row with its reason.
    void AddFailedRow(const std::string& path, const std::string& durationText, const std::string& error);
    // One error line of the summary, kept in the order of the files' positions (from 1).
    void AddError(int position, const std::string& name, const std::string& text);
    bool Cancelled() const { return BuildCancelled && BuildCancelled(); }

    TFFEncoder& FEncoder;
    const TUserSettings& FSettings;
    TConversionRun& FRun;
    IConversionView& FView;
    // Row of each task and duration of its sources, by task index (kept with the task, not looked
    // up by row); the time each running task has reached and the length it reports (several run
    // at once), and whether it runs (has reported and not ended).
    std::vector<int> FTaskRows;
    std::vector<int64_t> FTaskDurations;
    std::vector<int64_t> FTaskReached;
    std::vector<int64_t> FTaskTotals;
    enum : char { TaskWaiting, TaskRunning, TaskEnded };
    std::vector<char> FTaskRunning;
    // The summary's error lines with their files' positions, in position order.
    std::vector<std::pair<int, std::string>> FErrors;
    // Output names given in this run, so that two sources never share one output.
    std::set<std::string> FGivenNames;
    bool FEnded = false;
    bool FBuildCancelled = false;
    int FTaskCount = 0;
    // Set when every task's end has been handled; the run's end waits for it.
    TEvent FAllTasksHandled{true};
    // Set while no run is under way; the destructor waits for it.
    TEvent FRunIdle{true};
};

} // namespace mw
