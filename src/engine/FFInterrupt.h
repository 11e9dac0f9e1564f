// Interrupt checks of blocking library calls, registered per thread: the callback given to every
// format context asks the registry whether the calling thread's owner wants the call aborted.
//
// Threading contract: Add/Remove/Check may be called from any thread and take the registry's lock.
#pragma once

#include <cstdint>

namespace mw {

// A check routine runs while the registry's lock is held, so it must not call Add or Remove.
using TInterruptCheck = bool (*)(void* data, void* owner);

class TInterruptCB {
  public:
    static void Add(uint32_t threadId, void* owner, TInterruptCheck check, void* data);
    static void Remove(uint32_t threadId, void* owner, TInterruptCheck check);
    static bool Check(uint32_t threadId);
};

// AVIOInterruptCB routine given to every format context the engine opens.
int FFInterruptCallback(void* opaque);

} // namespace mw
