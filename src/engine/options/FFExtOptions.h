// The "name=value" option texts of the option records (ExtOptions), split into options.
#pragma once

#include <string>
#include <vector>

namespace mw {

struct TExtOption {
    std::string Name; // lower-cased
    std::string Value;
};

// Trims the text, treats line breaks and the literal "<CRLF>" as line ends and splits each
// non-empty line at its first "=" (no "=": empty value).
std::vector<TExtOption> SplitExtOptions(const std::string& text);

} // namespace mw
