// Video information: the title from the video's page, the information address, the stream-map
// script and its stream list, the stream table, and the name a downloaded stream is saved under.
// Texts are handled as bytes exactly as received. Main thread only.
#pragma once

#include "download/ScriptTools.h"

#include <array>
#include <string>

namespace mw {

// The video site's domain name in lower case, as written in its pages ("youtube.com" unless set;
// both www. and bare links contain it). The command-line tool and the tests point it elsewhere.
const std::string& VideoSiteDomain();
void SetVideoSiteDomain(const std::string& domain);

// The nine stream addresses keyed by the site's format numbers.
inline constexpr std::array<int, 9> StreamFormats = {5, 6, 18, 35, 22, 13, 17, 34, 37};
class TStreamTable {
  public:
    void Clear() { FAddresses.fill(""); }
    // The address of a format ("" when the video offers none or the format is not one of the nine).
    std::string Get(int format) const;
    // False (nothing stored) for a format that is not one of the nine.
    bool Set(int format, const std::string& address);
    bool Empty() const;

  private:
    std::array<std::string, StreamFormats.size()> FAddresses;
};

std::string ExtractTitle(const std::string& pageText);
std::string DecodeEntities(const std::string& text);
std::string MakeInfoURL(const std::string& pageText);

// The stream-map script's text lines with the information text in place of "%get_video_info",
// escaped so that it is always exactly one single-quoted string literal.
std::vector<std::string> StreamMapScriptLines(const std::string& infoText);
// The escape used for the literal's content.
std::string EscapeJavaScriptString(const std::string& text);

// Fills the table from a stream list ("<fmt>[address]" items joined by "<br>"); a later item of a
// format replaces an earlier one. Throws std::invalid_argument for a format number that is not one.
void ParseStreamList(const std::string& listText, TStreamTable& table);

// The title as a file name stem: NUL, control characters and characters file systems refuse
// become "_" (the length is kept; nothing is cut).
std::string SafeTitleStem(const std::string& title);
// Highest "(n)" tried for a free name.
inline constexpr int MaxNameNumber = 32767;
// The full path a stream is saved under: folder + a safe name from the title, "(n)" when taken
// (anything at the path counts), then the extension. Never starts with "."; shortened at a UTF-8
// character boundary to the folder's name length limit. "" when no free name exists.
std::string MakeDownloadFileName(const std::string& title, const std::string& extension,
                                 const std::string& folder);

} // namespace mw
