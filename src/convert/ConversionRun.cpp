#include "convert/ConversionRun.h"

#include "app/Dispatcher.h"
#include "app/UtilFuncs.h"
#include "convert/ParallelCount.h"
#include "presets/PresetOptions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <thread>

namespace mw {

namespace {

constexpr std::string_view RowStatusTexts[] = {"Waiting...", "Converting...", "Finish.", "Failed."};

constexpr const char* JoinOutputBaseName = "Output_Merge";

// The log names the file: with many sources the bare sentence says nothing.
std::string AddedLine(const std::string& fileName) {
    return "File has been added to convert list: " + fileName;
}

// The probe decoder as the preset mapping sees a source.
class TProbeSource : public IOutputSourceProbe {
  public:
    explicit TProbeSource(TFFDecoder& decoder) : FDecoder(decoder) {}
    std::string FileName() const override { return FDecoder.FileName(); }
    int32_t FirstAudioBitRate() const override {
        TAudioStreamInfo audio;
        const int index = FDecoder.FirstAudioStreamIndex();
        if (index < 0 || !FDecoder.GetAudioStreamInfo(index, audio)) return -1;
        return audio.BitRate > 0 ? audio.BitRate : -1;
    }

  private:
    TFFDecoder& FDecoder;
};

std::string GeneralNumber(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

} // namespace

std::string_view RowStatusText(TRowStatus status) {
    return RowStatusTexts[static_cast<size_t>(status)];
}

std::string TStatusRow::Column2(bool joinMode) const {
    return joinMode ? Dimension : std::string(RowStatusText(Status));
}
std::string TStatusRow::Column3(bool joinMode) const {
    return joinMode ? Aspect : Progress;
}

std::string FormatTimeSpan(double days) {
    // Whole milliseconds first, as a date-time decodes them, so 45 s never reads 0:00:44.
    const int64_t ms = days > 0 ? std::llround(days * 86400000.0) : 0;
    return TimeSpanText(ms, true, 1, false);
}

double EstimateRunTime(double elapsedDays, int64_t totalUs, int64_t completedUs, int64_t currentUs) {
    const int64_t done = completedUs + currentUs;
    if (done <= 0) return -1;
    return elapsedDays * static_cast<double>(totalUs) / static_cast<double>(done);
}

double NowDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const double unixMs = static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
    return (unixMs / 1000.0 + static_cast<double>(local.tm_gmtoff)) / 86400.0 + 25569.0;
}

std::string FinishSoundName(const TConversionRun& run) {
    return run.RunSucceeded < run.RunTotalFiles ? "fail.wav" : "done.wav";
}

TConversionRunner::TConversionRunner(TFFEncoder& encoder, const TUserSettings& settings, TConversionRun& run,
                                     IConversionView& view)
    : FEncoder(encoder), FSettings(settings), FRun(run), FView(view) {
    FEncoder.OnProgress = [this](const void*, PProgressInfo info) { FFEncoderProgress(*info); };
    FEncoder.OnTerminate = [this](const void*, const TTerminateInfo& info) { FFEncoderTerminate(info); };
}

TConversionRunner::~TConversionRunner() {
    FEncoder.Stop(true);
    // End notices already on their way call this runner: let them land (the run's end clears the
    // tasks) before it goes.
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (dispatcher && dispatcher->IsMainThread()) WaitPumping(FRunIdle);
    FEncoder.OnProgress = nullptr;
    FEncoder.OnTerminate = nullptr;
}

void TConversionRunner::StartConversionRun(const std::vector<TSourceFile>& sources) {
    FEnded = false;
    FBuildCancelled = false;
    FGivenNames.clear();
    FTaskRows.clear();
    FTaskDurations.clear();
    FErrors.clear();
    FRun.RunErrors.clear();
    if (JoinMode) {
        BuildJoinTask(sources);
        FRun.RunTotalFiles = 1;
        Panel.CurrentFileTitle = "Output file:";
    } else {
        BuildFileTasks(sources);
        FRun.RunTotalFiles = static_cast<int32_t>(Rows.size());
        Panel.CurrentFileTitle = "Current file:";
    }
    FTaskReached.assign(FTaskDurations.size(), 0);
    FTaskTotals.assign(FTaskDurations.size(), -1);
    FTaskRunning.assign(FTaskDurations.size(), TaskWaiting);
    FRun.RunSucceeded = 0;
    FRun.RunStartTime = Now();
    FRun.RunCompletedDuration = 0;
    FRun.RunHandledTasks = 0;
    FTaskCount = FEncoder.TaskCount();
    FView.RowsChanged();
    FView.PanelChanged();
    // No task gives no end notice: such a run, or one cancelled while it was built, ends here with
    // the counters as they stand.
    if (FTaskCount == 0 || FBuildCancelled) {
        FinishRun();
        return;
    }
    FAllTasksHandled.Reset();
    FRunIdle.Reset();
    FEncoder.StartTask(EffectiveParallelCount());
}

int TConversionRunner::EffectiveParallelCount() const {
    return JoinMode ? 1 : RunParallelCount(ParallelCount, FSettings.OutputSelection);
}

void TConversionRunner::SetParallelCount(int choice) {
    ParallelCount = choice;
    if (!FEnded && FEncoder.Working()) FEncoder.SetParallelCount(EffectiveParallelCount());
}

void TConversionRunner::BuildFileTasks(const std::vector<TSourceFile>& sources) {
    FRun.RunTotalDuration = 0;
    Rows.clear();
    for (const TSourceFile& source : sources) {
        FBuildCancelled = FBuildCancelled || Cancelled();
        if (FBuildCancelled)
            AddFailedRow(source.FullName, DurationText(source.RealDuration > 0 ? source.RealDuration : -1),
                         "");
        else
            BuildFileTask(source.FullName);
    }
}

std::string TConversionRunner::PerFileOutputPath(const std::string& sourcePath,
                                                 const std::string& extension) {
    const std::string name = StripFileExt(ExtractFileName(sourcePath)) + extension;
    return AddTrailingBackslash(FSettings.OutputFileDir) +
           MakeUniqueFileName(name, FSettings.OutputFileDir, FGivenNames);
}

void TConversionRunner::BuildFileTask(const std::string& path) {
    TFFDecoder& probe = FEncoder.Decoder();
    if (!probe.LoadFile(path)) {
        FView.LogLine("File load error: " + probe.LastErrorMessage());
        AddFailedRow(path, DurationText(-1), probe.LastErrorMessage());
        return;
    }
    TOutputOptions output = BuildOutputOptions(FSettings, TProbeSource(probe));
    output.FileName = PerFileOutputPath(probe.FileName(), output.FileExt);
    AddFileTask(BuildInputOptions(probe), output);
    probe.CloseFile();
}

TInputOptions TConversionRunner::BuildInputOptions(TFFDecoder& probe) const {
    TInputOptions input;
    InitInputOptions(input);
    input.FileName = probe.FileName();
    input.FileFormat = probe.ForcedFormatName();
    return input;
}

void TConversionRunner::AddFileTask(const TInputOptions& input, const TOutputOptions& output) {
    TFileStreamInfo facts;
    FEncoder.Decoder().GetFileStreamInfo(facts);
    const std::string duration = DurationText(facts.Duration);
    const int index = FEncoder.AddTask(input.FileName, &input);
    if (index < 0) {
        FView.LogLine("Adding file error: " + FEncoder.LastErrorMessage());
        AddFailedRow(input.FileName, duration, FEncoder.LastErrorMessage());
        return;
    }
    if (!FEncoder.SetOutputFile(index, output.FileName, &output)) {
        const std::string error = FEncoder.LastErrorMessage();
        FEncoder.RemoveTask(index);
        FView.LogLine("Cannot do convert, error: " + error);
        AddFailedRow(input.FileName, duration, error);
        return;
    }
    TStatusRow row;
    row.Name = ExtractFileName(input.FileName);
    row.Duration = duration;
    row.Path = ExtractFilePath(input.FileName);
    Rows.push_back(row);
    FTaskRows.push_back(static_cast<int>(Rows.size()) - 1);
    FTaskDurations.push_back(std::max<int64_t>(facts.Duration, 0));
    if (facts.Duration > 0) FRun.RunTotalDuration += facts.Duration;
    FGivenNames.insert(ExtractFileName(output.FileName));
    FView.LogLine(AddedLine(input.FileName));
}

void TConversionRunner::AddFailedRow(const std::string& path, const std::string& durationText,
                                     const std::string& error) {
    TStatusRow row;
    row.Name = ExtractFileName(path);
    row.Duration = durationText;
    row.Status = TRowStatus::Failed;
    row.Path = ExtractFilePath(path);
    Rows.push_back(row);
    if (!error.empty()) AddError(static_cast<int>(Rows.size()), path, error);
}

void TConversionRunner::AddError(int position, const std::string& path, const std::string& text) {
    // The engine's texts about a file often begin with its path; the line names the file already.
    const std::string prefix = path + ": ";
    const std::string reason =
        text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
    const std::string line =
        "File (" + std::to_string(position) + "): " + ExtractFileName(path) + ": " + reason;
    const auto at = std::upper_bound(FErrors.begin(), FErrors.end(), position,
                                     [](int p, const std::pair<int, std::string>& e) { return p < e.first; });
    FRun.RunErrors.insert(FRun.RunErrors.begin() + (at - FErrors.begin()), line);
    FErrors.insert(at, {position, line});
}

void TConversionRunner::BuildJoinTask(const std::vector<TSourceFile>& sources) {
    FRun.RunTotalDuration = 0;
    Rows.clear();
    const std::string extension = OutputFileExtension(FSettings.OutputSelection);
    const std::string outputPath =
        AddTrailingBackslash(FSettings.OutputFileDir) +
        MakeUniqueFileName(JoinOutputBaseName + extension, FSettings.OutputFileDir, FGivenNames);
    for (size_t i = 0; i < sources.size(); ++i) {
        FBuildCancelled = Cancelled();
        if (FBuildCancelled) break;
        const TSourceFile& source = sources[i];
        TInputOptions input;
        InitInputOptions(input);
        const bool added = FEncoder.TaskCount() > 0 ? FEncoder.AddInputFile(0, source.FullName, &input)
                                                    : FEncoder.AddTask(source.FullName, &input) >= 0;
        if (!added) {
            FView.LogLine("Adding file error: " + FEncoder.LastErrorMessage());
            // The join goes on without it; the summary says which file is missing from it, and why.
            AddError(static_cast<int>(i) + 1, source.FullName, FEncoder.LastErrorMessage());
            continue;
        }
        TStatusRow row;
        row.Name = ExtractFileName(source.FullName);
        row.Duration = FormatMicroseconds(source.RealDuration);
        row.Dimension = std::to_string(source.Width) + "x" + std::to_string(source.Height);
        row.Aspect = GeneralNumber(source.AspectRatio);
        row.Path = outputPath;
        Rows.push_back(row);
        FRun.RunTotalDuration += source.RealDuration;
        FView.LogLine(AddedLine(source.FullName));
    }
    if (FBuildCancelled) {
        if (FEncoder.TaskCount() > 0) FEncoder.RemoveTask(0);
        return;
    }
    // The join is the run's one file: when it cannot be made, that is its failure.
    if (FEncoder.TaskCount() == 0) {
        AddError(1, outputPath, "At least one input file must be specified");
        return;
    }
    TOutputOptions output = BuildJoinOutputOptions(FSettings.OutputSelection);
    output.FileExt = extension;
    output.FileName = outputPath;
    if (!FEncoder.SetOutputFile(0, outputPath, &output)) {
        const std::string error = FEncoder.LastErrorMessage();
        FEncoder.RemoveTask(0);
        FView.LogLine("Cannot do convert, error: " + error);
        AddError(1, outputPath, error);
        return;
    }
    FGivenNames.insert(ExtractFileName(outputPath));
    FTaskRows.push_back(-1); // the rows are the inputs, not the task
    FTaskDurations.push_back(FRun.RunTotalDuration);
}

std::string TConversionRunner::CurrentFileOf(size_t task) const {
    const int rowIndex = JoinMode ? 0 : FTaskRows[task];
    if (rowIndex < 0 || static_cast<size_t>(rowIndex) >= Rows.size()) return Panel.CurrentFile;
    const TStatusRow& row = Rows[static_cast<size_t>(rowIndex)];
    return JoinMode ? row.Path : AddTrailingBackslash(row.Path) + row.Name;
}

void TConversionRunner::ShowCurrentFile() {
    // Tasks start in list order: the highest running one is the one started last.
    for (size_t i = FTaskRunning.size(); i-- > 0;)
        if (FTaskRunning[i] == TaskRunning) {
            Panel.CurrentFile = CurrentFileOf(i);
            return;
        }
}

bool TConversionRunner::ShowRunningProgress() {
    int64_t reached = 0, total = 0;
    for (size_t i = 0; i < FTaskRunning.size(); ++i)
        if (FTaskRunning[i] == TaskRunning && FTaskTotals[i] > 0) {
            reached += FTaskReached[i];
            total += FTaskTotals[i];
        }
    if (total <= 0) return false;
    Panel.ProgressBar = static_cast<int>(std::clamp<int64_t>(reached * 100 / total, 0, 100));
    Panel.Progress = std::to_string(Panel.ProgressBar) + "%";
    return true;
}

void TConversionRunner::FFEncoderProgress(const TProgressInfo& info) {
    const auto index = static_cast<size_t>(info.TaskIndex);
    if (info.TaskIndex < 0 || index >= FTaskDurations.size()) return;
    // A report that comes after the task's end changes nothing.
    if (FTaskRunning[index] == TaskEnded) return;
    FTaskRunning[index] = TaskRunning;
    FTaskReached[index] = std::max<int64_t>(info.CurrentDuration, 0);
    FTaskTotals[index] = info.TotalDuration;
    ShowCurrentFile();
    const int rowIndex = JoinMode ? -1 : FTaskRows[index];
    TStatusRow* row = rowIndex >= 0 && static_cast<size_t>(rowIndex) < Rows.size()
                          ? &Rows[static_cast<size_t>(rowIndex)]
                          : nullptr;
    if (row && info.TotalDuration > 0) {
        const int64_t position = std::clamp<int64_t>(info.CurrentDuration * 100 / info.TotalDuration, 0, 100);
        row->Progress = std::to_string(position) + "%";
        row->Status = TRowStatus::Converting;
    } else if (row) {
        row->Progress = "N/A";
    }
    ShowRunningProgress();
    const double elapsed = Now() - FRun.RunStartTime;
    const int64_t reached = std::accumulate(FTaskReached.begin(), FTaskReached.end(), int64_t{0});
    const double estimated =
        EstimateRunTime(elapsed, FRun.RunTotalDuration, FRun.RunCompletedDuration, reached);
    Panel.Elapsed = FormatTimeSpan(elapsed);
    if (estimated >= 0) {
        Panel.Estimated = FormatTimeSpan(estimated);
        Panel.TimeLeft = FormatTimeSpan(estimated - elapsed);
    }
    if (row) FView.RowChanged(rowIndex);
    FView.PanelChanged();
}

void TConversionRunner::OnMainThread(const std::function<void()>& call) {
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (dispatcher && !dispatcher->IsMainThread())
        dispatcher->CallAndWait(call);
    else
        call();
}

void TConversionRunner::FFEncoderTerminate(const TTerminateInfo& info) {
    if (info.TaskIndex >= 0) {
        OnMainThread([&] { HandleTaskEnd(info); });
        return;
    }
    FAllTasksHandled.Wait();
    OnMainThread([&] { FinishRun(); });
}

void TConversionRunner::HandleTaskEnd(const TTerminateInfo& info) {
    const auto index = static_cast<size_t>(info.TaskIndex);
    const int rowIndex = index < FTaskRows.size() ? FTaskRows[index] : -1;
    TStatusRow* row = !JoinMode && rowIndex >= 0 ? &Rows[static_cast<size_t>(rowIndex)] : nullptr;
    if (index < FTaskReached.size()) FTaskReached[index] = 0;
    if (index < FTaskRunning.size()) FTaskRunning[index] = TaskEnded;
    ShowCurrentFile();
    if (info.Finished) {
        ++FRun.RunSucceeded;
        if (index < FTaskDurations.size()) FRun.RunCompletedDuration += FTaskDurations[index];
        // With others still running the bar goes on with theirs; the last one fills it.
        if (!ShowRunningProgress()) {
            Panel.Progress = "100%";
            Panel.ProgressBar = 100;
        }
        if (row) {
            row->Progress = "100%";
            row->Status = TRowStatus::Finish;
        }
    } else if (row) {
        row->Status = TRowStatus::Failed;
    }
    if (info.Failed) {
        if (row)
            AddError(rowIndex + 1, AddTrailingBackslash(row->Path) + row->Name, info.ErrorMessage);
        else if (JoinMode && !Rows.empty())
            AddError(1, Rows.front().Path, info.ErrorMessage);
    }
    if (row) FView.RowChanged(rowIndex);
    FView.PanelChanged();
    if (++FRun.RunHandledTasks >= FTaskCount) FAllTasksHandled.Set();
}

void TConversionRunner::FinishRun() {
    FEncoder.ClearTasks();
    Panel.CurrentFile = "...";
    Panel.Progress = "0%";
    Panel.ProgressBar = 0;
    FView.PanelChanged();
    FEnded = true;
    FRunIdle.Set();
    FView.ConversionFinished();
}

void TConversionRunner::Cancel() {
    FEncoder.Stop(true);
}

} // namespace mw
