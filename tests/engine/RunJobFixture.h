// Builds transcoding jobs for the run's tests through the job building entry points, the way the
// command line does: inputs, then the output options, then the output.
#pragma once

#include "engine/FFJob.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace mw::test {

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// One ffprobe answer without keys, e.g. ("-select_streams a", "stream=codec_name"); several
// values come one a line, the last line break removed.
std::string ProbeValue(const std::string& file, const std::string& select, const std::string& entries);

// Throws std::runtime_error with the build error text when an opening or option fails.
std::unique_ptr<TTranscodeJob> MakeTestJob(const std::vector<std::string>& inputs, const std::string& output,
                                           const TOptionList& outputOptions, bool join = false);

} // namespace mw::test
