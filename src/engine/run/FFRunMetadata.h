// Metadata and chapters of a run's outputs, set before the headers are written: the
// "map_meta_data" maps, then what is copied by default (input 0's global metadata, each output
// stream's source stream metadata, the chapters of the first input that has any, each unless a
// map of that kind was given), then the "map_chapters" maps. Runs on the run's thread.
#pragma once

#include "engine/run/FFRunState.h"

namespace mw {

// Raises "Invalid %s index %d while processing metadata maps", "Invalid input file index %d in
// chapter mapping." or "Invalid output file index %d in chapter mapping." for a map that names
// something missing.
void ApplyMetadataMaps(TRunState& run);

} // namespace mw
