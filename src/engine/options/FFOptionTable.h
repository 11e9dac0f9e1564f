// The transcoder's option vocabulary as one table: each row is a name, its value kind, its scope,
// the handler that applies it and a help text. Legacy names are rows too. The parser and the
// command line's help listing both read this table.
//
// Threading: the table is immutable; any thread may read it.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct TTranscodeJob;
struct TOptionState;
struct TOptionDef;

// What the value is.
enum class TOptionKind { None, Switch, Integer, Float, Text, Time };
// Where the option takes effect.
enum class TOptionScope { Global, Input, Output, Stream, Ignored };

// Applies the row's option with a value to the job; false with the error in job.BuildErrorText.
using TOptionHandler = bool (*)(TTranscodeJob& job, const TOptionDef& row, const std::string& value);

// The state field a plain row writes (at most one is set).
struct TOptionTarget {
    int TOptionState::*Int = nullptr;
    float TOptionState::*Float = nullptr;
    bool TOptionState::*Bool = nullptr;
    std::string TOptionState::*Text = nullptr;
};

struct TOptionDef {
    const char* Name;
    TOptionKind Kind;
    TOptionScope Scope;
    TOptionHandler Handler;
    const char* Help;
    TOptionTarget Target = {};
    int Arg = 0; // handler argument: the stream kind for per-kind rows
};

// All rows, in help order.
const std::vector<TOptionDef>& OptionTable();
// Row of a name (exact, case-sensitive), or nullptr for names left to the generic options.
const TOptionDef* FindOptionDef(const std::string& name);

} // namespace mw
