#include "engine/FFInputFile.h"
#include "engine/FFJob.h"

namespace mw {
bool OpenInputFile(TTranscodeJob& job, const std::string& fileName) {
    job.BuildErrorText = fileName + ": not available yet";
    return false;
}
const AVCodec* FindNamedCodec(TTranscodeJob& job, const std::string& name, int, bool encoder) {
    job.BuildErrorText = std::string("Unknown ") + (encoder ? "encoder" : "decoder") + " '" + name + "'";
    return nullptr;
}
} // namespace mw
