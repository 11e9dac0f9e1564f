#include "cli/StopSignals.h"

#include "engine/job/FFBlockingCall.h"
#include "engine/job/FFJob.h"

#include <atomic>
#include <csignal>

namespace mw::cli {

namespace {

constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<bool> GRequested{false};
std::atomic<TTranscodeJob*> GJob{nullptr};
struct sigaction GPrevious[std::size(StopSignalNumbers)];

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<TTranscodeJob*>::is_always_lock_free &&
                  std::atomic<int64_t>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

extern "C" void OnStopSignal(int) {
    GRequested = true;
    if (TTranscodeJob* job = GJob.load()) RequestStopBlocking(*job);
}

} // namespace

TStopSignals::TStopSignals(TTranscodeJob* job) {
    GRequested = false;
    GJob = job;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(StopSignalNumbers); ++i)
        sigaction(StopSignalNumbers[i], &action, &GPrevious[i]);
}

TStopSignals::~TStopSignals() {
    for (size_t i = 0; i < std::size(StopSignalNumbers); ++i)
        sigaction(StopSignalNumbers[i], &GPrevious[i], nullptr);
    GJob = nullptr;
}

bool TStopSignals::Requested() {
    return GRequested;
}

} // namespace mw::cli
