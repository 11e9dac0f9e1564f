// Builds transcoding jobs for the run's tests through the job building entry points, the way the
// command line does: inputs, then the output options, then the output.
#pragma once

#include "engine/job/FFJob.h"

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

// A job from a command line of the transcoder's vocabulary ("-itsscale", "0:2", "-i", in, out);
// throws like MakeTestJob.
std::unique_ptr<TTranscodeJob> MakeCommandLineJob(const std::vector<std::string>& args);

// The first picture of a file as the ffmpeg tool shows it (turned by any display matrix), shrunk to
// 2 x 2 grey levels: "0 255 0 0" (top left, top right, bottom left,
// bottom right) is a white top-right quarter. filter (a "crop=..." say) picks a
// part of the picture first.
// atSec: the picture shown at that time instead of the first.
std::string Quadrants(const std::string& file, const std::string& filter = std::string(), double atSec = 0);

} // namespace mw::test
