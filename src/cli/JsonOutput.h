// JSON on standard output for the commands' --json forms.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace mw::cli {

// Prints one object as one line and flushes, so a reader sees each event as it happens.
void PrintJsonLine(const nlohmann::json& object);
// Sets object[key] to the name, and object[key + "_bytes"] to its bytes in hex when it is not UTF-8
// (the writer shows such a name with U+FFFD).
void AddJsonName(nlohmann::json& object, const std::string& key, const std::string& name);

// {"event": "log", "text": ...}: a line the terminal view would write on standard error.
void PrintJsonLog(const std::string& text);

} // namespace mw::cli
