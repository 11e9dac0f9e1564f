#include "engine/options/FFPresets.h"

#include "app/UtilFuncs.h"
#include "engine/job/FFJob.h"
#include "engine/options/FFOptionParser.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace mw {

namespace {

// Lines every speed preset shares (x264's defaults for what the old option set named).
const std::string Common = "cmp=+chroma\nme_range=16\ng=250\nkeyint_min=25\ni_qfactor=0.71\nqcomp=0.6\n"
                           "qmin=10\nqmax=51\nqdiff=4\n";

// x264's speed presets, written in the old option names: analysis, motion search, references,
// B-frames and lookahead grow from ultrafast to placebo.
const std::string UltraFast =
    "coder=0\nflags=-loop\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\n"
    "me_method=dia\nsubq=0\nsc_threshold=0\nb_strategy=0\nbf=0\nrefs=1\n"
    "directpred=1\ntrellis=0\nflags2=-bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree\n"
    "wpredp=0\naq_mode=0\nrc_lookahead=0\n";
const std::string SuperFast =
    "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4-partp8x8-partb8x8\n"
    "me_method=dia\nsubq=1\nsc_threshold=40\nb_strategy=1\nbf=3\nrefs=1\n"
    "directpred=1\ntrellis=0\nflags2=+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree\n"
    "wpredp=0\nrc_lookahead=0\n";
const std::string VeryFast = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                             "me_method=hex\nsubq=2\nsc_threshold=40\nb_strategy=1\nbf=3\nrefs=1\n"
                             "directpred=1\ntrellis=0\nflags2=+bpyramid-mixed_refs+wpred+dct8x8+fastpskip\n"
                             "wpredp=0\nrc_lookahead=10\n";
const std::string Faster = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                           "me_method=hex\nsubq=4\nsc_threshold=40\nb_strategy=1\nbf=3\nrefs=2\n"
                           "directpred=1\ntrellis=1\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
                           "wpredp=1\nrc_lookahead=20\n";
const std::string Fast = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                         "me_method=hex\nsubq=6\nsc_threshold=40\nb_strategy=1\nbf=3\nrefs=2\n"
                         "directpred=1\ntrellis=1\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
                         "wpredp=2\nrc_lookahead=30\n";
const std::string Medium = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                           "me_method=hex\nsubq=7\nsc_threshold=40\nb_strategy=1\nbf=3\nrefs=3\n"
                           "directpred=1\ntrellis=1\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
                           "wpredp=2\n";
const std::string Slow = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                         "me_method=umh\nsubq=8\nsc_threshold=40\nb_strategy=2\nbf=3\nrefs=5\n"
                         "directpred=3\ntrellis=1\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
                         "wpredp=2\nrc_lookahead=50\n";
const std::string Slower = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\n"
                           "me_method=umh\nsubq=9\nsc_threshold=40\nb_strategy=2\nbf=3\nrefs=8\n"
                           "directpred=3\ntrellis=2\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
                           "wpredp=2\nrc_lookahead=60\n";
const std::string VerySlow =
    "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\n"
    "me_method=umh\nsubq=10\nsc_threshold=40\nb_strategy=2\nbf=8\nrefs=16\n"
    "directpred=3\ntrellis=2\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
    "wpredp=2\nrc_lookahead=60\n";
const std::string Placebo = "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\n"
                            "me_method=tesa\nsubq=10\nsc_threshold=40\nb_strategy=2\nbf=16\nrefs=16\n"
                            "directpred=3\ntrellis=2\nflags2=+bpyramid+mixed_refs+wpred+dct8x8-fastpskip\n"
                            "wpredp=2\nrc_lookahead=60\n";

// A fast first pass: the first pass only gathers statistics, so x264 cuts the analysis that
// does not change them much (one reference, no sub-partitions, diamond search, low subpel).
const std::string FirstPass = "partitions=-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8\nme_method=dia\n"
                              "subq=2\nrefs=1\ntrellis=0\nflags2=-dct8x8\n";

// Lossless: constant quantiser 0, with analysis growing by speed.
const std::string LosslessBase = "cqp=0\ng=250\nkeyint_min=25\ni_qfactor=0.71\nqcomp=0.6\nqmin=0\nqmax=51\n"
                                 "qdiff=4\nsc_threshold=40\ndirectpred=1\n";

const std::string Baseline = "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0\n";
const std::string Main = "flags2=-dct8x8\n";

const std::string Default =
    "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
    "me_method=hex\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
    "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\n"
    "refs=3\ndirectpred=1\ntrellis=1\nflags2=+mixed_refs+wpred+dct8x8+fastpskip\n"
    "wpredp=2\n";

const std::vector<TBuiltinPreset> Presets = {
    {"libx264-baseline", Baseline},
    {"libx264-default", Default},
    {"libx264-fast", Common + Fast},
    {"libx264-fast_firstpass", Common + Fast + FirstPass},
    {"libx264-faster", Common + Faster},
    {"libx264-faster_firstpass", Common + Faster + FirstPass},
    // The old name of the medium first pass.
    {"libx264-fastfirstpass", Common + Medium + FirstPass},
    {"libx264-hq", Common + "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                            "me_method=umh\nsubq=8\nsc_threshold=40\nb_strategy=2\nbf=16\nrefs=4\n"
                            "directpred=3\ntrellis=1\nflags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\n"
                            "wpredp=2\n"},
    {"libx264-ipod320", "coder=0\nbf=0\nflags2=-wpred-dct8x8\nlevel=13\nmaxrate=768000\nbufsize=3000000\n"
                        "wpredp=0\n"},
    {"libx264-ipod640", "coder=0\nbf=0\nrefs=1\nflags2=-wpred-dct8x8\nlevel=30\nmaxrate=10000000\n"
                        "bufsize=10000000\nwpredp=0\n"},
    {"libx264-lossless_fast", LosslessBase + "coder=0\npartitions=+parti4x4+partp8x8\nme_method=hex\nsubq=3\n"
                                             "me_range=16\nrefs=2\nflags2=+mixed_refs+fastpskip\n"},
    {"libx264-lossless_max", LosslessBase +
                                 "coder=1\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\n"
                                 "me_method=esa\nsubq=8\nme_range=16\nrefs=16\n"
                                 "flags2=+mixed_refs+dct8x8\n"},
    {"libx264-lossless_medium", LosslessBase +
                                    "coder=1\npartitions=+parti4x4+partp8x8\nme_method=hex\nsubq=5\n"
                                    "me_range=16\nrefs=2\nflags2=+fastpskip\n"},
    {"libx264-lossless_slow", LosslessBase + "coder=1\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                                             "me_method=umh\nsubq=6\nme_range=16\nrefs=2\n"
                                             "flags2=+mixed_refs+dct8x8+fastpskip\n"},
    {"libx264-lossless_slower", LosslessBase +
                                    "coder=1\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\n"
                                    "me_method=umh\nsubq=8\nme_range=16\nrefs=4\n"
                                    "flags2=+mixed_refs+dct8x8+fastpskip\n"},
    {"libx264-lossless_ultrafast", LosslessBase + "coder=0\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\n"
                                                  "me_method=dia\nsubq=0\nme_range=16\nrefs=1\n"
                                                  "flags2=+fastpskip\n"},
    {"libx264-main", Main},
    {"libx264-max", Common +
                        "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\n"
                        "me_method=tesa\nsubq=10\nsc_threshold=40\nb_strategy=2\nbf=16\nrefs=16\n"
                        "directpred=3\ntrellis=2\nflags2=+bpyramid+mixed_refs+wpred+dct8x8-fastpskip\n"
                        "wpredp=2\n"},
    {"libx264-medium", Common + Medium},
    {"libx264-medium_firstpass", Common + Medium + FirstPass},
    {"libx264-normal", Common + "coder=1\nflags=+loop\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
                                "me_method=hex\nsubq=6\nsc_threshold=40\nb_strategy=1\nbf=3\nrefs=2\n"
                                "directpred=3\ntrellis=0\nflags2=+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-placebo", Common + Placebo},
    {"libx264-placebo_firstpass", Common + Placebo + FirstPass},
    {"libx264-slow", Common + Slow},
    {"libx264-slow_firstpass", Common + Slow + FirstPass},
    {"libx264-slower", Common + Slower},
    {"libx264-slower_firstpass", Common + Slower + FirstPass},
    // The old name of a first pass that keeps the full analysis (for the best statistics).
    {"libx264-slowfirstpass", Common + Slow},
    {"libx264-superfast", Common + SuperFast},
    {"libx264-superfast_firstpass", Common + SuperFast + FirstPass},
    {"libx264-ultrafast", Common + UltraFast},
    {"libx264-ultrafast_firstpass", Common + UltraFast + FirstPass},
    {"libx264-veryfast", Common + VeryFast},
    {"libx264-veryfast_firstpass", Common + VeryFast + FirstPass},
    {"libx264-veryslow", Common + VerySlow},
    {"libx264-veryslow_firstpass", Common + VerySlow + FirstPass},
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Preset files are small text files; anything larger is not one.
constexpr std::streamsize MaxPresetFileBytes = 1 << 20;

bool ReadPresetFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    char buffer[4096];
    std::streamsize total = 0;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        total += in.gcount();
        if (total > MaxPresetFileBytes) return false;
        out.write(buffer, in.gcount());
    }
    text = out.str();
    return true;
}

} // namespace

const std::vector<TBuiltinPreset>& BuiltinPresets() {
    return Presets;
}

const TBuiltinPreset* FindBuiltinPreset(const std::string& name) {
    const std::string wanted = Lower(name);
    for (const auto& p : Presets)
        if (wanted == p.Name) return &p;
    return nullptr;
}

bool LoadPreset(TTranscodeJob& job, char kind, const std::string& name) {
    const TBuiltinPreset* builtin = nullptr;
    if (kind != 'f') {
        builtin = FindBuiltinPreset(name);
        const int index = kind == 'a' ? skAudio : kind == 'v' ? skVideo : skSubtitle;
        const std::string& codec = job.Options.CodecName[index];
        if (!builtin && !codec.empty()) builtin = FindBuiltinPreset(codec + "-" + name);
    }
    if (builtin) return ApplyPresetText(job, name, builtin->Text);
    std::string text;
    if (!FileExists(name) || !ReadPresetFile(name, text))
        return BuildError(job, "Preset \"" + name + "\" not found");
    return ApplyPresetText(job, name, text);
}

bool ApplyPresetText(TTranscodeJob& job, const std::string& presetName, const std::string& text) {
    std::istringstream lines(Trim(text));
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const std::string name = eq == std::string::npos ? line : Trim(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
        if (name.empty() || value.empty())
            return BuildError(job, presetName + ": Invalid syntax: \"" + line + "\"");
        // Codec lines choose the codec (or stream copy) of that kind.
        const std::string lower = Lower(name);
        if (lower == "acodec" || lower == "vcodec" || lower == "scodec") {
            if (!ParseOption(job, lower, value)) return false;
            continue;
        }
        if (!ApplyGenericOption(job, name, value))
            return BuildError(job, job.BuildErrorText + "\r\n" + presetName +
                                       ": Invalid option or argument: \"" + line + "\", parsed as \"" + name +
                                       "\" = \"" + value + "\"");
    }
    return true;
}

} // namespace mw
