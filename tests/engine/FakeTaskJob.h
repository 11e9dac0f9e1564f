// A stand-in for the transcoder's job: records the options it is given, "opens" files by name and
// runs for a set time while reporting progress. Names containing "bad" fail to open. What a job
// saw is kept in its log, which outlives the job (the encoder frees a task's jobs as it goes).
#pragma once

#include "engine/Bitmap.h"
#include "engine/tasks/FFTaskJob.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace mw::test {

// What every fake job of one test shares.
struct TFakeJobBoard {
    int RunMs = 30;
    // A run whose output name contains SlowWhen lasts ten times as long.
    std::string SlowWhen = "\x01";
    int64_t InputDurationUs = 2000000; // -1: unknown
    // False: runs report no progress (a test hands the reports itself).
    bool ReportProgress = true;
    // A run whose output name contains this fails with FailText.
    std::string FailWhen = "fail";
    std::string FailText = "Error while opening encoder for output stream #0.0";
    // An input of this name opens while a task is built but is gone when it starts.
    std::string RefuseWhenRunning;
    std::mutex Mutex;
    int Running = 0, MaxRunning = 0;
    std::vector<std::thread::id> RunThreads;
    std::vector<std::string> OutputsOpened;  // created by running jobs, in order
    std::vector<std::string> OutputsChecked; // checked by the jobs of task building, in order
    int JobsAlive = 0, MaxJobsAlive = 0;
    // With a size set, a run hands a 24-bit picture of PreviewColor (blue, green, red) at
    // PreviewPtsUs to the preview about every 20 ms.
    int PreviewWidth = 0, PreviewHeight = 0;
    int64_t PreviewPtsUs = 0;
    uint8_t PreviewColor[3] = {0x30, 0x90, 0xe0};
    std::atomic<int> PreviewsSent{0};
};

// What one job was given; Check tells the jobs of task building from the running ones.
struct TFakeJobLog {
    std::atomic<bool> Check{false};
    std::vector<std::pair<std::string, std::string>> Options; // in the order applied
    std::vector<std::string> Inputs, Outputs;
    TJobHookRequest Hooks;
};

class TFakeJob : public ITaskJob {
  public:
    TFakeJob(std::shared_ptr<TFakeJobBoard> board, std::shared_ptr<TFakeJobLog> log)
        : Board(std::move(board)), Log(std::move(log)) {
        std::lock_guard lock(Board->Mutex);
        Board->MaxJobsAlive = std::max(Board->MaxJobsAlive, ++Board->JobsAlive);
    }
    ~TFakeJob() override {
        std::lock_guard lock(Board->Mutex);
        --Board->JobsAlive;
    }

    std::shared_ptr<TFakeJobBoard> Board;
    std::shared_ptr<TFakeJobLog> Log;
    std::string Error;
    TTaskCallbacks Callbacks;
    int64_t ExpectedTotalUs = -1;
    std::atomic<bool> StopRequested{false};

    void SetVerbosity(int) override {}
    void SetTimeLimitMs(int64_t) override {}
    void SetProgressPeriodUs(int64_t) override {}
    void SetCallbacks(const TTaskCallbacks& callbacks) override { Callbacks = callbacks; }
    void SetHooks(const TJobHookRequest& request) override { Log->Hooks = request; }
    void SetCheckOutputsOnly(bool checkOnly) override { Log->Check = checkOnly; }
    bool ApplyOption(const std::string& name, const std::string& value) override {
        if (name == "bogus") {
            Error = "Unrecognized option \"" + name + "\"";
            return false;
        }
        Log->Options.emplace_back(name, value);
        return true;
    }
    bool ApplyTarget(const std::string& target, const std::string& norm,
                     const std::string& fallback) override {
        Log->Options.emplace_back("target", target + "/" + norm + "/" + fallback);
        return true;
    }
    bool OpenInput(const std::string& fileName) override {
        if (fileName.find("bad") != std::string::npos) {
            Error = fileName + ": Invalid data found when processing input";
            return false;
        }
        if (!Log->Check && fileName == Board->RefuseWhenRunning) {
            Error = fileName + ": No such file or directory";
            return false;
        }
        Log->Inputs.push_back(fileName);
        if (Board->InputDurationUs > 0) ExpectedTotalUs = std::max(ExpectedTotalUs, Board->InputDurationUs);
        return true;
    }
    int OpenOutput(const std::string& fileName, bool join) override {
        if (fileName.find("bad") != std::string::npos) {
            Error = fileName + ": No such file or directory";
            return -1;
        }
        Log->Outputs.push_back(fileName);
        if (join && Board->InputDurationUs > 0)
            ExpectedTotalUs = Board->InputDurationUs * static_cast<int64_t>(Log->Inputs.size());
        std::lock_guard lock(Board->Mutex);
        (Log->Check ? Board->OutputsChecked : Board->OutputsOpened).push_back(fileName);
        return static_cast<int>(Log->Outputs.size());
    }
    const std::string& BuildErrorText() const override { return Error; }
    int InputCount() const override { return static_cast<int>(Log->Inputs.size()); }
    int OutputCount() const override { return static_cast<int>(Log->Outputs.size()); }
    AVFormatContext* InputContext(int) const override { return nullptr; }

    TRunResult Run() override {
        {
            std::lock_guard lock(Board->Mutex);
            Board->MaxRunning = std::max(Board->MaxRunning, ++Board->Running);
            Board->RunThreads.push_back(std::this_thread::get_id());
        }
        TRunResult result{true, false, {}};
        const bool fails =
            !Log->Outputs.empty() && Log->Outputs[0].find(Board->FailWhen) != std::string::npos;
        const bool slow = !Log->Outputs.empty() && Log->Outputs[0].find(Board->SlowWhen) != std::string::npos;
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(Board->RunMs * (slow ? 10 : 1));
        TBitmap picture;
        if (Board->PreviewWidth > 0) {
            picture.SetFormat(Board->PreviewWidth, Board->PreviewHeight, 24);
            for (int y = 0; y < picture.Height(); ++y)
                for (int x = 0; x < picture.Width(); ++x)
                    std::copy(Board->PreviewColor, Board->PreviewColor + 3, picture.ScanLine(y) + 3 * x);
        }
        for (int turn = 1; std::chrono::steady_clock::now() < end && !StopRequested; ++turn) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (picture.Width() > 0 && turn % 10 == 0 && Callbacks.PreviewBitmap) {
                Callbacks.PreviewBitmap(picture, turn / 10, Board->PreviewPtsUs);
                ++Board->PreviewsSent;
            }
            if (Callbacks.Progress && Board->ReportProgress) {
                TProgressInfo info;
                info.TotalDuration = ExpectedTotalUs;
                info.CurrentDuration = 10000;
                Callbacks.Progress(info);
            }
        }
        if (StopRequested) result.Finished = false;
        if (fails) result = {false, true, Board->FailText};
        std::lock_guard lock(Board->Mutex);
        --Board->Running;
        return result;
    }
    void RequestStop() override { StopRequested = true; }
};

// A factory for TFFEncoder::JobFactory; Logs keeps the log of every job made, in order (the
// encoder makes them on the main thread and on its workers).
struct TFakeJobFactory {
    std::shared_ptr<TFakeJobBoard> Board = std::make_shared<TFakeJobBoard>();
    std::shared_ptr<std::vector<std::shared_ptr<TFakeJobLog>>> Logs =
        std::make_shared<std::vector<std::shared_ptr<TFakeJobLog>>>();

    TTaskJobFactory Factory() {
        return [board = Board, logs = Logs](int) {
            auto log = std::make_shared<TFakeJobLog>();
            {
                std::lock_guard lock(board->Mutex);
                logs->push_back(log);
            }
            return std::unique_ptr<ITaskJob>(std::make_unique<TFakeJob>(board, log));
        };
    }
    // The logs of the jobs that checked a task while it was built, in order.
    std::vector<std::shared_ptr<TFakeJobLog>> CheckLogs() const {
        std::lock_guard lock(Board->Mutex);
        std::vector<std::shared_ptr<TFakeJobLog>> checks;
        for (const auto& log : *Logs)
            if (log->Check) checks.push_back(log);
        return checks;
    }
};

} // namespace mw::test
