#include "RunJobFixture.h"

#include "EngineFixtures.h"

#include "engine/FFInputFile.h"
#include "engine/FFOptionParser.h"
#include "engine/FFOutputFile.h"

#include <stdexcept>

namespace mw::test {

std::string ProbeValue(const std::string& file, const std::string& select, const std::string& entries) {
    int status = 0;
    std::string out = RunCommand("ffprobe -v error " + select + " -show_entries " + entries +
                                     " -of default=nw=1:nk=1 " + ShellQuote(file),
                                 status);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

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
