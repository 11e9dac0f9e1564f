#include "engine/FFInterrupt.h"

#include "engine/FFLog.h"

#include <mutex>
#include <vector>

namespace mw {

namespace {

struct TInterruptEntry {
    uint32_t ThreadId;
    TInterruptCheck Check;
    void* Data;
    void* Owner;
};

std::mutex GInterruptMutex;
std::vector<TInterruptEntry> GInterrupts;

} // namespace

void TInterruptCB::Add(uint32_t threadId, void* owner, TInterruptCheck check, void* data) {
    std::lock_guard lock(GInterruptMutex);
    for (const auto& e : GInterrupts)
        if (e.ThreadId == threadId && e.Owner == owner && e.Check == check) return;
    GInterrupts.push_back({threadId, check, data, owner});
}

void TInterruptCB::Remove(uint32_t threadId, void* owner, TInterruptCheck check) {
    std::lock_guard lock(GInterruptMutex);
    for (auto it = GInterrupts.begin(); it != GInterrupts.end(); ++it) {
        if (it->ThreadId == threadId && it->Owner == owner && it->Check == check) {
            GInterrupts.erase(it);
            return;
        }
    }
}

bool TInterruptCB::Check(uint32_t threadId) {
    std::lock_guard lock(GInterruptMutex);
    for (const auto& e : GInterrupts)
        if (e.ThreadId == threadId) return e.Check(e.Data, e.Owner);
    return false;
}

int FFInterruptCallback(void*) {
    return TInterruptCB::Check(CurrentThreadId()) ? 1 : 0;
}

} // namespace mw
