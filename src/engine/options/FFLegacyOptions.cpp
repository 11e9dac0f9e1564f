// Old x264 generic option names and values, as the built-in presets and option blocks write
// them, turned into the private options of today's libx264 wrapper.
#include "engine/job/FFJob.h"
#include "engine/options/FFOptionParser.h"

#include <cstdlib>

namespace mw {

namespace {

// Options renamed without a change of value.
const struct {
    const char* Old;
    const char* New;
} Renamed[] = {
    {"directpred", "direct-pred"},    {"aq_mode", "aq-mode"}, {"aq_strength", "aq-strength"},
    {"rc_lookahead", "rc-lookahead"}, {"psy_rd", "psy-rd"},   {"cqp", "qp"},
};

// Flag bits that became options of their own.
const struct {
    const char* Owner; // the flags option the bit belonged to
    const char* Flag;
    const char* Option;
    const char* On;
    const char* Off;
} LegacyFlags[] = {
    {"flags2", "mixed_refs", "mixed-refs", "1", "0"},
    {"flags2", "wpred", "weightb", "1", "0"},
    {"flags2", "dct8x8", "8x8dct", "1", "0"},
    {"flags2", "fastpskip", "fast-pskip", "1", "0"},
    {"flags2", "mbtree", "mbtree", "1", "0"},
    {"flags2", "bpyramid", "b-pyramid", "normal", "none"},
    {"flags2", "aud", "aud", "1", "0"},
    {"flags2", "psy", "psy", "1", "0"},
    {"flags2", "ssim", "ssim", "1", "0"},
    {"flags", "scan_offset", "scan_offset", "1", "0"},
};

// Old partition flags and today's names, in the order x264 lists them.
const struct {
    const char* Flag;
    const char* Name;
} Partitions[] = {
    {"parti4x4", "i4x4"}, {"parti8x8", "i8x8"}, {"partp4x4", "p4x4"},
    {"partp8x8", "p8x8"}, {"partb8x8", "b8x8"},
};

struct TFlagToken {
    char Sign; // '+', '-' or 0 for a bare name
    std::string Name;
};

// "+a-b" or "a": the library's flags syntax.
std::vector<TFlagToken> SplitFlags(const std::string& value) {
    std::vector<TFlagToken> tokens;
    size_t i = 0;
    while (i < value.size()) {
        char sign = 0;
        if (value[i] == '+' || value[i] == '-') sign = value[i++];
        const size_t end = value.find_first_of("+-", i);
        tokens.push_back({sign, value.substr(i, end == std::string::npos ? std::string::npos : end - i)});
        i = end == std::string::npos ? value.size() : end;
    }
    return tokens;
}

std::string JoinFlags(const std::vector<TFlagToken>& tokens) {
    std::string out;
    for (const auto& t : tokens)
        out += (t.Sign ? std::string(1, t.Sign) : std::string()) + t.Name;
    return out;
}

// Bits of the owner's value that are options today come out as those options; the rest stays.
std::vector<TOptionPair> TranslateFlags(const std::string& owner, const std::string& value) {
    std::vector<TOptionPair> out;
    std::vector<TFlagToken> rest;
    for (const auto& token : SplitFlags(value)) {
        bool legacy = false;
        for (const auto& row : LegacyFlags)
            if (owner == row.Owner && token.Name == row.Flag) {
                out.push_back({row.Option, token.Sign == '-' ? row.Off : row.On});
                legacy = true;
            }
        if (!legacy) rest.push_back(token);
    }
    if (!rest.empty()) out.insert(out.begin(), {owner, JoinFlags(rest)});
    return out;
}

// Partition flags add to or remove from the set chosen so far (empty at first, as the old wrapper
// started from no partitions at all).
bool TranslatePartitions(TOptionState& state, const std::string& value, std::vector<TOptionPair>& out) {
    const auto tokens = SplitFlags(value);
    for (const auto& token : tokens) {
        bool known = false;
        for (const auto& row : Partitions)
            known = known || token.Name == row.Flag;
        if (!known) return false; // today's syntax ("i8x8,p8x8", "all", "none")
    }
    for (const auto& token : tokens)
        for (size_t bit = 0; bit < std::size(Partitions); ++bit)
            if (token.Name == Partitions[bit].Flag) {
                if (token.Sign == '-')
                    state.LegacyPartitions &= ~(1u << bit);
                else
                    state.LegacyPartitions |= 1u << bit;
            }
    std::string list;
    for (size_t bit = 0; bit < std::size(Partitions); ++bit)
        if (state.LegacyPartitions & (1u << bit))
            list += (list.empty() ? "" : ",") + std::string(Partitions[bit].Name);
    out.push_back({"partitions", list.empty() ? "none" : list});
    return true;
}

} // namespace

std::vector<TOptionPair> TranslateLegacyOption(TTranscodeJob& job, const std::string& name,
                                               const std::string& value) {
    auto& state = job.Options;
    for (const auto& row : Renamed)
        if (name == row.Old) return {{row.New, value}};
    if (name == "flags" || name == "flags2") return TranslateFlags(name, value);
    if (name == "partitions") {
        std::vector<TOptionPair> out;
        if (TranslatePartitions(state, value, out)) return out;
    }
    // The two deblocking strengths are one option today.
    if (name == "deblockalpha" || name == "deblockbeta") {
        char* end = nullptr;
        const long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end) return {{name, value}}; // the generic layer reports it
        (name == "deblockalpha" ? state.DeblockAlpha : state.DeblockBeta) = static_cast<int>(v);
        return {{"deblock", std::to_string(state.DeblockAlpha) + ":" + std::to_string(state.DeblockBeta)}};
    }
    // "+chroma" on a plain integer option: the library reads the constant without the sign.
    if (name == "cmp" && !value.empty() && value[0] == '+') return {{name, value.substr(1)}};
    return {{name, value}};
}

} // namespace mw
