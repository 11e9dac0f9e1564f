#include "RunJobFixture.h"

#include "engine/FFInputFile.h"
#include "engine/FFOptionParser.h"
#include "engine/FFOutputFile.h"

#include <stdexcept>

namespace mw::test {

std::unique_ptr<TTranscodeJob> MakeTestJob(const std::vector<std::string>& inputs, const std::string& output,
                                           const TOptionList& outputOptions, bool join) {
    auto job = std::make_unique<TTranscodeJob>();
    job->Options.Verbosity = 0;
    for (const auto& name : inputs)
        if (!OpenInputFile(*job, name)) throw std::runtime_error(job->BuildErrorText);
    for (const auto& [name, value] : outputOptions)
        if (!ParseOption(*job, name, value)) throw std::runtime_error(job->BuildErrorText);
    if (OpenOutputFile(*job, output, join) < 0) throw std::runtime_error(job->BuildErrorText);
    return job;
}

} // namespace mw::test
