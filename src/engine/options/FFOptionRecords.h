// Turns the caller's option records (TInputOptions, TOutputOptions) into the transcoder options a
// task's job applies, in the order that makes record fields win over ExtOptions lines.
#pragma once

#include "engine/options/FFExtOptions.h"
#include "engine/options/FFOptions.h"
#include "engine/tasks/FFTaskJob.h"

#include <map>
#include <string>
#include <vector>

namespace mw {

// The "def_" entries of an output (record field first, then the first non-empty ExtOptions line)
// and the ExtOptions lines of those names, which the extra streams (newaudio ...) consume.
struct TOutputDefaults {
    std::map<std::string, std::string> Entry;
    std::vector<TExtOption> Lines;

    // The first remaining line of that name (removed), else the "def_" entry.
    std::string Take(const std::string& name);
};

// ExtOptions lines, then FileFormat, StartTime and ProgramID. False when the job rejects one.
bool ApplyInputRecord(ITaskJob& job, const TInputOptions& options);

// Everything before the output is opened: the defaults list, the target, codecs and presets, the
// other ExtOptions lines, the fields in record order, then size and filters. False with error set
// when something is refused (the job's text, or "Invalid BitsPixel %d").
bool ApplyOutputRecord(ITaskJob& job, const TOutputOptions& options, TOutputDefaults& defaults,
                       std::string& error);

// After the output is open: each newaudio/newvideo/newsubtitle line with its stream's options.
bool ApplyNewStreams(ITaskJob& job, const TOutputOptions& options, TOutputDefaults& defaults);

// A date-time (days since 30 December 1899, local time) as UTC text for the "timestamp" option;
// 0 means now.
std::string TimestampText(double dateTime);

} // namespace mw
