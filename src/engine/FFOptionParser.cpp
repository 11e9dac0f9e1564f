#include "engine/FFOptionParser.h"

#include "engine/FFJob.h"
#include "engine/FFLog.h"
#include "engine/FFOptionTable.h"

namespace mw {

bool ParseOption(TTranscodeJob& job, const std::string& name, const std::string& value) {
    if (const TOptionDef* row = FindOptionDef(name)) return row->Handler(job, *row, value);
    return ApplyGenericOption(job, name, value);
}

bool ApplyGenericOption(TTranscodeJob& job, const std::string& name, const std::string& value) {
    auto& generic = job.Options.Generic;
    for (const auto& pair : TranslateLegacyOption(job, name, value)) {
        if (generic.Set(pair.Name, pair.Value)) continue;
        // Old names keep their own name in the message.
        std::string text = generic.LastErrorMessage();
        if (pair.Name != name) {
            const bool unknown = text.rfind("Unrecognized", 0) == 0;
            text = unknown ? "Unrecognized option \"" + name + "\""
                           : "Invalid value \"" + value + "\" for option \"" + name + "\"";
        }
        if (job.RaiseOnOptionError) {
            job.BuildErrorText = text;
            return false;
        }
        EngineLog(&job, llError, text);
    }
    if (generic.DebugRequested()) FFLogger().SetLogLevel(llDebug);
    return true;
}

} // namespace mw
