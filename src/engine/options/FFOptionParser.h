// Applying one option to a job: the option table's handler, or the generic options for names the
// table does not have. Errors come back as false with the text in job.BuildErrorText; the job stays
// usable for a corrected call.
//
// Threading: the job's building thread only.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct TTranscodeJob;

bool ParseOption(TTranscodeJob& job, const std::string& name, const std::string& value);

// A generic option through the job's TGenericOptions, with the bit-rate read-back warning for
// "b", "vb" and "ab" and the debug level rule.
bool ApplyGenericOption(TTranscodeJob& job, const std::string& name, const std::string& value);

// Old generic option names and values the current libraries reject, turned into today's
// equivalents. Answers the (name, value) pairs to apply instead (empty when the line has no
// effect today); an untouched line comes back unchanged.
struct TOptionPair {
    std::string Name;
    std::string Value;
};
std::vector<TOptionPair> TranslateLegacyOption(TTranscodeJob& job, const std::string& name,
                                               const std::string& value);

} // namespace mw
