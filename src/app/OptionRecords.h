// Option records the caller hands to the encoder for one input and one output, with their reset
// values. Plain data, no library dependency: the preset mapping fills them without the engine.
// Texts are UTF-8; times are microseconds.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace mw {

// The engine's "not set" time (0x8000000000000000).
inline constexpr int64_t TimeNotSetUs = std::numeric_limits<int64_t>::min();

// When the engine applies a record field as its transcoder option (the "when" column of the field
// lists). Own fields are read by the engine itself, not applied as options.
enum class TApplyWhen {
    Own,
    NotEmpty,    // texts
    Positive,    // numbers above 0
    NonNegative, // numbers 0 or more
    IfTrue,      // switches, applied without a value when on
    Always,      // applied whatever the value: the record wins over ExtOptions even when empty or off
    IfSet,       // times other than TimeNotSetUs, in seconds
    Codec,       // the stream kind's codec, applied first (ExtOptions may supply it)
    CodecPreset, // the stream kind's preset, applied after the codecs (ExtOptions may supply it)
    Last,        // applied after every other field (ExtOptions may supply it)
    AudioRate,   // above 0; with a disc target only when the record names its own audio codec
    VideoRate,   // above 0 and without a disc target
    Metadata,    // the metadata record, one option per written field
    Timestamp,   // a date-time in days, 0 = now
};

// Metadata to write into the output.
struct TStreamInfo {
#define MW_STREAM_INFO_FIELD(type, member, reset, key, when) type member = reset;
#include "app/StreamInfoFields.inc"
#undef MW_STREAM_INFO_FIELD

    bool operator==(const TStreamInfo&) const = default;
};
using PStreamInfo = TStreamInfo*;

// Options of one input (fields: InputOptionFields.inc).
struct TInputOptions {
#define MW_INPUT_FIELD(type, member, reset, option, when) type member = reset;
#include "app/InputOptionFields.inc"
#undef MW_INPUT_FIELD

    bool operator==(const TInputOptions&) const = default;
};
using PInputOptions = TInputOptions*;

// Options of the output (fields: OutputOptionFields.inc, which names the transcoder option each
// feeds and when the engine applies it).
struct TOutputOptions {
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset) type member = reset;
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD

    bool operator==(const TOutputOptions&) const = default;
};
using POutputOptions = TOutputOptions*;

// The caller resets a record before filling it.
inline void InitInputOptions(TInputOptions& options) {
    options = TInputOptions{};
}
inline void InitOutputOptions(TOutputOptions& options) {
    options = TOutputOptions{};
}

} // namespace mw
