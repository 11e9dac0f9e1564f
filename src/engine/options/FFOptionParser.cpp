#include "engine/options/FFOptionParser.h"

#include "engine/FFEntries.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"
#include "engine/options/FFOptionTable.h"

namespace mw {

bool ParseOption(TTranscodeJob& job, const std::string& name, const std::string& value) {
    if (!LibrariesReady(job)) return false;
    if (const TOptionDef* row = FindOptionDef(name)) return row->Handler(job, *row, value);
    return ApplyGenericOption(job, name, value);
}

namespace {

// "name:v", "name:a", "name:s" (the ffmpeg tool's stream specifiers, an index after them allowed):
// the option is meant for streams of that kind only.
AVMediaType SplitStreamSpecifier(std::string& name) {
    const size_t colon = name.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= name.size()) return AVMEDIA_TYPE_UNKNOWN;
    static const struct {
        char Letter;
        AVMediaType Kind;
    } Kinds[] = {{'v', AVMEDIA_TYPE_VIDEO}, {'a', AVMEDIA_TYPE_AUDIO}, {'s', AVMEDIA_TYPE_SUBTITLE}};
    const std::string spec = name.substr(colon + 1);
    for (const auto& k : Kinds)
        if (spec[0] == k.Letter && (spec.size() == 1 || spec[1] == ':')) {
            name.resize(colon);
            return k.Kind;
        }
    return AVMEDIA_TYPE_UNKNOWN;
}

} // namespace

bool ApplyGenericOption(TTranscodeJob& job, const std::string& givenName, const std::string& value) {
    if (!LibrariesReady(job)) return false;
    auto& generic = job.Options.Generic;
    std::string name = givenName;
    const AVMediaType kind = SplitStreamSpecifier(name);
    for (const auto& pair : TranslateLegacyOption(job, name, value)) {
        if (generic.Set(pair.Name, pair.Value, kind)) continue;
        // Old names (and names with a stream specifier) keep their own name in the message.
        std::string text = generic.LastErrorMessage();
        if (pair.Name != givenName) {
            const bool unknown = text.rfind("Unrecognized", 0) == 0;
            text = unknown ? "Unrecognized option \"" + givenName + "\""
                           : "Invalid value \"" + value + "\" for option \"" + givenName + "\"";
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
