// Worker-thread priorities, shared by the encoder's workers and the download threads so that both
// can be used in one program.
#pragma once

namespace mw {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

} // namespace mw
