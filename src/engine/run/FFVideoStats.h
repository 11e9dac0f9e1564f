// The video statistics file ("vstats", "vstats_file"): one line per encoded picture that produced
// bytes. The file is created (overwritten) at the first line. Runs on the run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Whether the run writes statistics lines at all.
inline bool WantsVideoStats(const TRunState& run) {
    return !run.Job.Options.VStatsFileName.empty();
}

// Appends the line of one encoded picture; videoBytes counts every video byte written so far,
// this packet's included. Raises "fopen fail: <name>" when the file cannot be created.
void WriteVideoStats(TRunState& run, const TRunOutputStream& ost, const AVPacket* packet, int64_t videoBytes);

} // namespace mw
