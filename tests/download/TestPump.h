// Runs the main-thread queue of a test until a condition holds or the time is up.
#pragma once

#include "app/Dispatcher.h"

#include <chrono>
#include <functional>

namespace mw::test {

inline bool PumpUntil(TQueueDispatcher& d, const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        d.WaitAndRunPending(std::chrono::milliseconds(10));
    }
    return true;
}

// Pumps for a while so that late events, if any, arrive.
inline void PumpFor(TQueueDispatcher& d, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end)
        d.WaitAndRunPending(std::chrono::milliseconds(5));
}

} // namespace mw::test
