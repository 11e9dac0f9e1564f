// The build steps a task records and replays on each of its jobs (the check job while it is
// built, the running job when it starts). Internal to the encoder component.
#pragma once

#include "engine/tasks/FFEncode.h"

#include <string>

namespace mw {

// Applies an input's record (when it has one) and opens the input; false with the job's text.
bool ApplyInput(ITaskJob& job, const std::string& fileName, bool hasOptions, const TInputOptions& options,
                std::string& error);
// Applies an output's record (when it has one), opens the output and adds its extra streams.
bool ApplyOutput(ITaskJob& job, const std::string& fileName, bool hasOptions, const TOutputOptions& options,
                 std::string& error);

inline void InitOptions(TInputOptions& options) {
    InitInputOptions(options);
}
inline void InitOptions(TOutputOptions& options) {
    InitOutputOptions(options);
}

// A file's record as the caller gave it: without options reset ones, an empty FileName filled in.
template <typename TRecord, typename TOptions>
TRecord FileRecord(const std::string& fileName, const TOptions* options) {
    TRecord record;
    record.FileName = fileName;
    record.HasOptions = options != nullptr;
    InitOptions(record.Options);
    if (options) {
        record.Options = *options;
        if (record.Options.FileName.empty()) record.Options.FileName = fileName;
    }
    return record;
}

} // namespace mw
