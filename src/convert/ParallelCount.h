// How many files of a per-file run are converted at once: the user's choice, or the automatic
// count for this machine and the chosen preset's encoders.
#pragma once

#include "app/UserSettings.h"
#include "app/OptionRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mw {

// The cores the run may use (at least 1).
int MachineCores();

// The encoders an output record names (video, then audio, then those of extra streams), without
// "copy"; a kind the record disables names none.
std::vector<std::string> EncoderNamesOf(const TOutputOptions& output);

// The automatic count: as many files at once as made a batch fastest when measured (see the
// definition), from the core count and whether the preset's encoders spread over threads.
int AutomaticParallelCount(int cores, bool threadedEncoders);

// The count a run uses for a choice: the choice when above 0, else the automatic count for the
// selection's encoders.
int RunParallelCount(int32_t choice, const TOutputSelection& selection, int cores = MachineCores());

} // namespace mw
