// A stand-in for the transcoder's job: records the options it is given, "opens" files by name and
// runs for a set time while reporting progress. Names containing "bad" fail to open.
#pragma once

#include "engine/Bitmap.h"
#include "engine/FFTaskJob.h"

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
    int64_t InputDurationUs = 2000000; // -1: unknown
    // A run whose output name contains this fails with FailText.
    std::string FailWhen = "fail";
    std::string FailText = "Error while opening encoder for output stream #0.0";
    std::mutex Mutex;
    int Running = 0, MaxRunning = 0;
    std::vector<std::thread::id> RunThreads;
    std::vector<std::string> OutputsOpened; // every job's, in order (jobs die with their tasks)
    // With a size set, a run hands a 24-bit picture of PreviewColor (blue, green, red) at
    // PreviewPtsUs to the preview about every 20 ms.
    int PreviewWidth = 0, PreviewHeight = 0;
    int64_t PreviewPtsUs = 0;
    uint8_t PreviewColor[3] = {0x30, 0x90, 0xe0};
    std::atomic<int> PreviewsSent{0};
};

class TFakeJob : public ITaskJob {
  public:
    explicit TFakeJob(std::shared_ptr<TFakeJobBoard> board) : Board(std::move(board)) {}

    std::shared_ptr<TFakeJobBoard> Board;
    std::vector<std::pair<std::string, std::string>> Options; // in the order applied
    std::vector<std::string> Inputs, Outputs;
    std::string Error;
    TTaskCallbacks Callbacks;
    TJobHookRequest Hooks;
    int64_t ExpectedTotalUs = -1;
    std::atomic<bool> StopRequested{false};

    void SetVerbosity(int) override {}
    void SetTimeLimitMs(int64_t) override {}
    void SetProgressPeriodUs(int64_t) override {}
    void SetCallbacks(const TTaskCallbacks& callbacks) override { Callbacks = callbacks; }
    void SetHooks(const TJobHookRequest& request) override { Hooks = request; }
    bool ApplyOption(const std::string& name, const std::string& value) override {
        if (name == "bogus") {
            Error = "Unrecognized option \"" + name + "\"";
            return false;
        }
        Options.emplace_back(name, value);
        return true;
    }
    bool ApplyTarget(const std::string& target, const std::string& norm,
                     const std::string& fallback) override {
        Options.emplace_back("target", target + "/" + norm + "/" + fallback);
        return true;
    }
    bool OpenInput(const std::string& fileName) override {
        if (fileName.find("bad") != std::string::npos) {
            Error = fileName + ": Invalid data found when processing input";
            return false;
        }
        Inputs.push_back(fileName);
        if (Board->InputDurationUs > 0) ExpectedTotalUs = std::max(ExpectedTotalUs, Board->InputDurationUs);
        return true;
    }
    int OpenOutput(const std::string& fileName, bool) override {
        if (fileName.find("bad") != std::string::npos) {
            Error = fileName + ": No such file or directory";
            return -1;
        }
        Outputs.push_back(fileName);
        std::lock_guard lock(Board->Mutex);
        Board->OutputsOpened.push_back(fileName);
        return static_cast<int>(Outputs.size());
    }
    const std::string& BuildErrorText() const override { return Error; }
    int InputCount() const override { return static_cast<int>(Inputs.size()); }
    int OutputCount() const override { return static_cast<int>(Outputs.size()); }
    AVFormatContext* InputContext(int) const override { return nullptr; }
    int64_t InputDurationUs(int) const override { return Board->InputDurationUs; }
    void SetExpectedTotalUs(int64_t us) override { ExpectedTotalUs = us; }
    bool PrepareJoin() override { return true; }

    TJobResult Run() override {
        {
            std::lock_guard lock(Board->Mutex);
            Board->MaxRunning = std::max(Board->MaxRunning, ++Board->Running);
            Board->RunThreads.push_back(std::this_thread::get_id());
        }
        TJobResult result{true, false, {}};
        const bool fails = !Outputs.empty() && Outputs[0].find(Board->FailWhen) != std::string::npos;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Board->RunMs);
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
            if (Callbacks.Progress) {
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

// A factory for TFFEncoder::JobFactory; Jobs keeps a pointer to each job made (owned by the tasks).
struct TFakeJobFactory {
    std::shared_ptr<TFakeJobBoard> Board = std::make_shared<TFakeJobBoard>();
    std::shared_ptr<std::vector<TFakeJob*>> Jobs = std::make_shared<std::vector<TFakeJob*>>();

    TTaskJobFactory Factory() {
        return [board = Board, jobs = Jobs](int) {
            auto job = std::make_unique<TFakeJob>(board);
            jobs->push_back(job.get());
            return std::unique_ptr<ITaskJob>(std::move(job));
        };
    }
};

} // namespace mw::test
