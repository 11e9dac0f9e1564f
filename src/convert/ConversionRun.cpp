#include "convert/ConversionRun.h"

#include "app/Dispatcher.h"
#include "app/UtilFuncs.h"
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

void RemoveEmptyFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0 && !ec)
        std::filesystem::remove(path, ec);
}

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
    const int64_t seconds = ms / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return buf;
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
    // End notices already on their way call this runner: let them land (the run notice clears
    // the tasks) before it goes.
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (dispatcher && dispatcher->IsMainThread())
        while (FEncoder.Working()) {
            dispatcher->RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    FEncoder.OnProgress = nullptr;
    FEncoder.OnTerminate = nullptr;
}

void TConversionRunner::StartConversionRun(const std::vector<TSourceFile>& sources) {
    FEnded = false;
    FGivenNames.clear();
    FTaskDurations.clear();
    FTaskOutputs.clear();
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
    FRun.RunErrors.clear();
    FRun.RunSucceeded = 0;
    FRun.RunStartTime = Now();
    FRun.RunCompletedDuration = 0;
    FRun.RunHandledTasks = 0;
    FView.RowsChanged();
    FView.PanelChanged();
    // No task gives no end notice: such a run ends here, with the counters as they stand.
    if (FEncoder.TaskCount() == 0) {
        FinishRun();
        return;
    }
    FEncoder.StartTask(ParallelCount);
}

void TConversionRunner::BuildFileTasks(const std::vector<TSourceFile>& sources) {
    FRun.RunTotalDuration = 0;
    Rows.clear();
    for (const TSourceFile& source : sources)
        BuildFileTask(source.FullName);
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
    const int index = FEncoder.AddTask(input.FileName, &input);
    if (index < 0) {
        FView.LogLine("Adding file error: " + FEncoder.LastErrorMessage());
        return;
    }
    if (!FEncoder.SetOutputFile(index, output.FileName, &output)) {
        const std::string error = FEncoder.LastErrorMessage();
        FEncoder.RemoveTask(index);
        FView.LogLine("Cannot do convert, error: " + error);
        return;
    }
    TFileStreamInfo facts;
    FEncoder.Decoder().GetFileStreamInfo(facts);
    TStatusRow row;
    row.Name = ExtractFileName(input.FileName);
    row.Duration = DurationText(facts.Duration);
    row.Path = ExtractFilePath(input.FileName);
    Rows.push_back(row);
    FTaskDurations.push_back(std::max<int64_t>(facts.Duration, 0));
    FTaskOutputs.push_back(output.FileName);
    if (facts.Duration > 0) FRun.RunTotalDuration += facts.Duration;
    FGivenNames.insert(ExtractFileName(output.FileName));
    FView.LogLine(AddedLine(input.FileName));
}

void TConversionRunner::BuildJoinTask(const std::vector<TSourceFile>& sources) {
    FRun.RunTotalDuration = 0;
    Rows.clear();
    const std::string extension = OutputFileExtension(FSettings.OutputSelection);
    const std::string outputPath =
        AddTrailingBackslash(FSettings.OutputFileDir) +
        MakeUniqueFileName(JoinOutputBaseName + extension, FSettings.OutputFileDir, FGivenNames);
    for (const TSourceFile& source : sources) {
        TInputOptions input;
        InitInputOptions(input);
        const bool added = FEncoder.TaskCount() > 0 ? FEncoder.AddInputFile(0, source.FullName, &input)
                                                    : FEncoder.AddTask(source.FullName, &input) >= 0;
        if (!added) {
            FView.LogLine("Adding file error: " + FEncoder.LastErrorMessage());
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
    if (FEncoder.TaskCount() == 0) return;
    TOutputOptions output = BuildJoinOutputOptions(FSettings.OutputSelection);
    output.FileExt = extension;
    output.FileName = outputPath;
    if (!FEncoder.SetOutputFile(0, outputPath, &output)) {
        const std::string error = FEncoder.LastErrorMessage();
        FEncoder.RemoveTask(0);
        FView.LogLine("Cannot do convert, error: " + error);
        return;
    }
    FGivenNames.insert(ExtractFileName(outputPath));
    FTaskDurations.push_back(FRun.RunTotalDuration);
    FTaskOutputs.push_back(outputPath);
}

void TConversionRunner::FFEncoderProgress(const TProgressInfo& info) {
    const auto index = static_cast<size_t>(info.TaskIndex);
    if (info.TaskIndex < 0 || index >= FTaskDurations.size()) return;
    TStatusRow* row = index < Rows.size() ? &Rows[index] : nullptr;
    if (row) Panel.CurrentFile = JoinMode ? row->Path : AddTrailingBackslash(row->Path) + row->Name;
    if (info.TotalDuration > 0) {
        const int64_t position = info.CurrentDuration * 100 / info.TotalDuration;
        Panel.ProgressBar = static_cast<int>(std::clamp<int64_t>(position, 0, 100));
        Panel.Progress = std::to_string(Panel.ProgressBar) + "%";
        if (!JoinMode && row) {
            row->Progress = Panel.Progress;
            row->Status = TRowStatus::Converting;
        }
    } else if (!JoinMode && row) {
        row->Progress = "N/A";
    }
    FTaskReached[index] = std::max<int64_t>(info.CurrentDuration, 0);
    const double elapsed = Now() - FRun.RunStartTime;
    const int64_t reached = std::accumulate(FTaskReached.begin(), FTaskReached.end(), int64_t{0});
    const double estimated =
        EstimateRunTime(elapsed, FRun.RunTotalDuration, FRun.RunCompletedDuration, reached);
    Panel.Elapsed = FormatTimeSpan(elapsed);
    if (estimated >= 0) {
        Panel.Estimated = FormatTimeSpan(estimated);
        Panel.TimeLeft = FormatTimeSpan(estimated - elapsed);
    }
    if (row && !JoinMode) FView.RowChanged(static_cast<int>(index));
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
    while (FRun.RunHandledTasks < FEncoder.TaskCount())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    OnMainThread([&] { FinishRun(); });
}

void TConversionRunner::HandleTaskEnd(const TTerminateInfo& info) {
    const auto index = static_cast<size_t>(info.TaskIndex);
    TStatusRow* row = !JoinMode && index < Rows.size() ? &Rows[index] : nullptr;
    if (index < FTaskReached.size()) FTaskReached[index] = 0;
    if (info.Finished) {
        ++FRun.RunSucceeded;
        if (index < FTaskDurations.size()) FRun.RunCompletedDuration += FTaskDurations[index];
        Panel.Progress = "100%";
        Panel.ProgressBar = 100;
        if (row) {
            row->Progress = "100%";
            row->Status = TRowStatus::Finish;
        }
    } else {
        if (row) row->Status = TRowStatus::Failed;
        if (index < FTaskOutputs.size()) RemoveEmptyFile(FTaskOutputs[index]);
    }
    if (info.Failed)
        FRun.RunErrors.push_back("File (" + std::to_string(info.TaskIndex) + "): " + info.ErrorMessage);
    if (row) FView.RowChanged(info.TaskIndex);
    FView.PanelChanged();
    ++FRun.RunHandledTasks;
}

void TConversionRunner::FinishRun() {
    FEncoder.ClearTasks();
    Panel.CurrentFile = "...";
    Panel.Progress = "0%";
    Panel.ProgressBar = 0;
    FView.PanelChanged();
    FEnded = true;
    FView.ConversionFinished();
}

void TConversionRunner::Cancel() {
    FEncoder.Stop(true);
}

} // namespace mw
