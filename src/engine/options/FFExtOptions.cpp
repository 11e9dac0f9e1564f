#include "engine/options/FFExtOptions.h"

#include "app/UtilFuncs.h"

#include <string_view>

namespace mw {

std::vector<TExtOption> SplitExtOptions(const std::string& text) {
    const std::string trimmed = Trim(text);
    const std::string_view mark = "<CRLF>";
    std::string lines;
    for (size_t i = 0; i < trimmed.size();) {
        if (trimmed.compare(i, mark.size(), mark) == 0) {
            lines += '\n';
            i += mark.size();
        } else {
            lines += trimmed[i++];
        }
    }
    std::vector<TExtOption> options;
    for (const std::string& line : SplitTextLines(lines)) {
        if (line.empty()) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            options.push_back({LowerCase(line), std::string()});
        else
            options.push_back({LowerCase(line.substr(0, eq)), line.substr(eq + 1)});
    }
    return options;
}

} // namespace mw
