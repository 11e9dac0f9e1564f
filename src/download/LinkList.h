// The download link list without its widgets: the paste splitting and the add rules.
// Main thread only.
#pragma once

#include <string>
#include <vector>

namespace mw {

// What the links page shows when a link is refused; answers true for OK, false for Cancel.
class ILinkListPrompt {
  public:
    virtual ~ILinkListPrompt() = default;
    virtual bool ShowLinkMessage(const std::string& text) = 0;
};

inline constexpr const char* NotAVideoLinkText = "This is not a YouTube video link.";
inline constexpr const char* AlreadyInListText = "This video is already in the download list.";
// The extractor road takes links of any site, but only web links.
inline constexpr const char* NotAWebLinkText = "This is not a web link (http:// or https://).";

// Items of pasted text: split at CR and LF except inside a pair of equal quote characters; empty
// items dropped; no trimming.
std::vector<std::string> SplitPastedText(const std::string& text);

// True when the lower-case link contains "http" and the video site's domain.
bool IsVideoLink(const std::string& link);
// True when the link, blanks around it aside, is an http or https address of some site.
bool IsWebLink(const std::string& link);

class TLinkList {
  public:
    std::vector<std::string> Links;
    // The extractor road: a web link of any site is taken, not only the video site's.
    bool AnySite = false;

    // Adds a valid link that is not yet in the list; false when the user chose Cancel.
    bool AddLink(const std::string& link, ILinkListPrompt& prompt);
    // Adds each item of the text until one is cancelled.
    void Paste(const std::string& text, ILinkListPrompt& prompt);
    // Removes the selected rows; returns the row to select afterwards (-1 for none).
    int Remove(std::vector<int> selected);
    void Empty() { Links.clear(); }
};

} // namespace mw
