#include "download/LinkList.h"

#include "download/VideoInfo.h"

#include "app/UtilFuncs.h"

#include <algorithm>

namespace mw {

std::vector<std::string> SplitPastedText(const std::string& text) {
    std::vector<std::string> items;
    std::string current;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            current += c;
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\r' || c == '\n') {
            if (!current.empty()) items.push_back(current);
            current.clear();
            continue;
        }
        // A quote opens a stretch only when a matching one follows somewhere.
        if ((c == '\'' || c == '"') && text.find(c, i + 1) != std::string::npos) quote = c;
        current += c;
    }
    if (!current.empty()) items.push_back(current);
    return items;
}

bool IsVideoLink(const std::string& link) {
    const std::string lower = LowerCase(link);
    return lower.find("http") != std::string::npos && lower.find(VideoSiteDomain()) != std::string::npos;
}

bool IsWebLink(const std::string& link) {
    const std::string lower = LowerCase(Trim(link));
    for (const char* scheme : {"http://", "https://"})
        if (lower.rfind(scheme, 0) == 0 && lower.size() > std::char_traits<char>::length(scheme)) return true;
    return false;
}

bool TLinkList::AddLink(const std::string& link, ILinkListPrompt& prompt) {
    static const std::string Gap = "\n\r\n\r";
    if (AnySite && !IsWebLink(link)) return prompt.ShowLinkMessage(link + Gap + NotAWebLinkText);
    if (!AnySite && !IsVideoLink(link)) return prompt.ShowLinkMessage(link + Gap + NotAVideoLinkText);
    if (std::find(Links.begin(), Links.end(), link) != Links.end())
        return prompt.ShowLinkMessage(link + Gap + AlreadyInListText);
    Links.push_back(link);
    return true;
}

void TLinkList::Paste(const std::string& text, ILinkListPrompt& prompt) {
    for (const auto& item : SplitPastedText(text))
        if (!AddLink(item, prompt)) break;
}

int TLinkList::Remove(std::vector<int> selected) {
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    selected.erase(std::remove_if(selected.begin(), selected.end(),
                                  [&](int i) { return i < 0 || i >= static_cast<int>(Links.size()); }),
                   selected.end());
    if (selected.empty()) return -1;
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        Links.erase(Links.begin() + *it);
    if (Links.empty()) return -1;
    return std::min(selected.front(), static_cast<int>(Links.size()) - 1);
}

} // namespace mw
