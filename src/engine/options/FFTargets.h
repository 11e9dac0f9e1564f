// Standard disc targets ("vcd", "svcd", "dvd", "dv", "dv50" with "pal-", "ntsc-", "film-"): one
// table of the options each target sets per norm.
//
// Threading: the job's building thread only.
#pragma once

#include <string>

namespace mw {

struct TTranscodeJob;

// target: the option text (with an optional norm prefix); norm: "auto", "pal", "ntsc" or "film"
// when the text has no prefix; fallback: the norm word used when "auto" cannot decide.
bool ApplyTarget(TTranscodeJob& job, const std::string& target, const std::string& norm = "auto",
                 const std::string& fallback = "ntsc");

} // namespace mw
