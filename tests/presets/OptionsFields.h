// Test helper: the fields of an output record that differ from their reset values (the field list), as
// texts keyed by field name, so expectations read as small tables and failures show a diff.
#pragma once

#include "app/OptionRecords.h"

#include <cstdio>
#include <map>
#include <string>
#include <type_traits>

namespace mw::test {

inline std::string FieldText(const std::string& v) {
    return v;
}
inline std::string FieldText(bool v) {
    return v ? "true" : "false";
}
inline std::string FieldText(int32_t v) {
    return std::to_string(v);
}
inline std::string FieldText(int64_t v) {
    return std::to_string(v);
}
inline std::string FieldText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

using TFieldMap = std::map<std::string, std::string>;

// Adds name = value when the value differs from the field's reset value.
template <typename T>
void AddChanged(TFieldMap& changed, const std::string& name, const T& value,
                [[maybe_unused]] const T& resetValue) {
    if constexpr (std::is_same_v<T, TStreamInfo>) {
#define MW_STREAM_INFO_FIELD(type, member, reset, key, when)                                                 \
    AddChanged<type>(changed, name + "." #member, value.member, reset);
#include "app/StreamInfoFields.inc"
#undef MW_STREAM_INFO_FIELD
    } else if (FieldText(value) != FieldText(resetValue)) {
        changed[name] = FieldText(value);
    }
}

// Every field of the record with its text (the reset test compares it with the documented values).
template <typename T> void AddText(TFieldMap& all, const std::string& name, const T& value) {
    if constexpr (std::is_same_v<T, TStreamInfo>) {
#define MW_STREAM_INFO_FIELD(type, member, reset, key, when)                                                 \
    all[name + "." #member] = FieldText(value.member);
#include "app/StreamInfoFields.inc"
#undef MW_STREAM_INFO_FIELD
    } else {
        all[name] = FieldText(value);
    }
}
inline TFieldMap FieldTexts(const TOutputOptions& o) {
    TFieldMap all;
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset) AddText(all, #member, o.member);
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
    return all;
}

inline TFieldMap ChangedFields(const TOutputOptions& o) {
    TFieldMap changed;
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset)                                           \
    AddChanged<type>(changed, #member, o.member, reset);
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
    return changed;
}

} // namespace mw::test
