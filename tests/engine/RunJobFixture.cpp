#include "RunJobFixture.h"

#include "EngineFixtures.h"

#include "engine/options/FFCommandLine.h"
#include "engine/job/FFInputFile.h"
#include "engine/options/FFOptionParser.h"
#include "engine/job/FFOutputFile.h"

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

std::unique_ptr<TTranscodeJob> MakeCommandLineJob(const std::vector<std::string>& args) {
    auto job = std::make_unique<TTranscodeJob>();
    job->Options.Verbosity = 0;
    TCommandLineResult result;
    if (!BuildJobFromCommandLine(*job, args, result)) throw std::runtime_error(result.ErrorText);
    return job;
}

std::string Quadrants(const std::string& file, const std::string& filter, double atSec) {
    int status = 0;
    std::string text =
        RunCommand("ffmpeg -nostdin -v error -ss " + std::to_string(atSec) + " -i " + ShellQuote(file) +
                       " -frames:v 1 -vf " + (filter.empty() ? "" : filter + ",") +
                       "scale=2:2:flags=area -f rawvideo -pix_fmt gray - | od -An -tu1",
                   status);
    // od pads its columns; one space between values is enough to compare.
    std::string out;
    for (const char c : text)
        if (c != ' ' && c != '\n')
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace mw::test
