#include "cli/JsonOutput.h"

#include "app/UtilFuncs.h"

#include <cstdio>

namespace mw::cli {

using nlohmann::json;

void PrintJsonLine(const json& object) {
    std::printf("%s\n", object.dump(-1, ' ', false, json::error_handler_t::replace).c_str());
    std::fflush(stdout);
}

void AddJsonName(json& object, const std::string& key, const std::string& name) {
    object[key] = name;
    if (IsValidUtf8(name)) return;
    static const char Digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : name) {
        hex += Digits[c >> 4];
        hex += Digits[c & 15];
    }
    object[key + "_bytes"] = hex;
}

void PrintJsonLog(const std::string& text) {
    json j{{"event", "log"}};
    AddJsonName(j, "text", text);
    PrintJsonLine(j);
}

} // namespace mw::cli
