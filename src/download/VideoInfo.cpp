#include "download/VideoInfo.h"

#include "app/UtilFuncs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

std::string& DomainStorage() {
    static std::string domain = "youtube.com";
    return domain;
}

// The template of the stream-map script, one entry per line.
const std::vector<std::string>& StreamMapTemplate() {
    static const std::vector<std::string> lines = {
        "function getYouTubeUrl(){",
        "  var rdata = '%get_video_info'; var rdataArray = rdata.split('&'); var succ = 0;",
        "  for (i in rdataArray) {",
        "    var r0 = rdataArray[i].substr(0, 26);",
        "    if (r0 == 'url_encoded_fmt_stream_map') {",
        "      var r1 = unescape(rdataArray[i].substr(27)); var temp1 = r1.split(',');",
        "      var fmt = new Array(); var fmt_url = new Array(); var fmt_sig = new Array();",
        "      for (j in temp1) {",
        "        var temp2 = temp1[j].split('&');",
        "        for (k in temp2) {",
        "          if (temp2[k].substr(0, 5) == 'itag=') { fmt.push(parseInt(temp2[k].substr(5), 10)); }",
        "          else if (temp2[k].substr(0, 4) == 'url=') { fmt_url.push(temp2[k].substr(4)); }",
        "          else if (temp2[k].substr(0, 4) == 'sig=') { fmt_sig.push(temp2[k].substr(4)); }",
        "          else if (temp2[k].substr(0, 5) == 'type=') { var type = '(' + "
        "unescape(temp2[k].substr(5)) + ')'; }",
        "        }",
        "      }",
        "      var dllinks = '';",
        "      for (var k = 0; k < fmt.length; k++) {",
        "        if (fmt[k] == 43 || fmt[k] == 44 || fmt[k] == 45 || fmt[k] == 46 || fmt[k] == 100 || fmt[k] "
        "== 101 || fmt[k] == 102) { continue; }",
        "        if (dllinks != '') { dllinks += '<br>'; }",
        "        dllinks += '<' + fmt[k] + '>[' + unescape(fmt_url[k]) + '&signature=' + fmt_sig[k] + ']';",
        "      }",
        "      Host.Echo(dllinks); succ = 1;",
        "    }",
        "  }",
        "  if (succ == 0) { Host.Echo(''); }",
        "}",
        "getYouTubeUrl();",
    };
    return lines;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
}

// Reads an integer as the entity rules ask: spaces, a sign, decimal or hexadecimal ("x", "X",
// "$", "0x") digits, stopping at the first character that does not belong.
long ReadEntityNumber(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && (s[i] == 'x' || s[i] == 'X' || s[i] == '$')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    long value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) break;
        value = (value * base + digit) % (1L << 40); // only the value modulo 256 matters
    }
    return negative ? -value : value;
}

void AppendCodePoint(std::string& out, unsigned c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

const std::string& VideoSiteDomain() {
    return DomainStorage();
}
void SetVideoSiteDomain(const std::string& domain) {
    DomainStorage() = LowerCase(domain);
}

std::string TStreamTable::Get(int format) const {
    for (size_t i = 0; i < StreamFormats.size(); ++i)
        if (StreamFormats[i] == format) return FAddresses[i];
    return "";
}

bool TStreamTable::Set(int format, const std::string& address) {
    for (size_t i = 0; i < StreamFormats.size(); ++i)
        if (StreamFormats[i] == format) {
            FAddresses[i] = address;
            return true;
        }
    return false;
}

bool TStreamTable::Empty() const {
    for (const auto& a : FAddresses)
        if (!a.empty()) return false;
    return true;
}

std::string ExtractTitle(const std::string& pageText) {
    static const std::string Prefix = "<meta name=\"title\" content=\"";
    static const std::string Suffix = "\">";
    // The pattern <meta name="title" content="([^<]+)">: the greedy run of non-"<" characters
    // backs off to the last "\">" inside it. The run ends before the next "<", where the next
    // prefix can begin at the earliest, so each byte is looked at a bounded number of times.
    const std::string_view page(pageText);
    for (size_t p = page.find(Prefix); p != std::string_view::npos; p = page.find(Prefix, p + 1)) {
        const size_t runStart = p + Prefix.size();
        size_t runEnd = page.find('<', runStart);
        if (runEnd == std::string_view::npos) runEnd = page.size();
        if (runEnd < runStart + 1 + Suffix.size()) continue;
        // The title has at least one character: the closing quote is searched after it only.
        const std::string_view run = page.substr(runStart + 1, runEnd - runStart - 1);
        const size_t close = run.rfind(Suffix);
        if (close == std::string_view::npos) continue;
        // The match loses its first "\">", which is inside the title when the title holds one.
        std::string match(page.substr(runStart, close + 1 + Suffix.size()));
        match.erase(match.find(Suffix), Suffix.size());
        return DecodeEntities(match);
    }
    return "";
}

std::string DecodeEntities(const std::string& text) {
    struct TNamed {
        const char* Name;
        const char* Text;
    };
    static constexpr TNamed Named[] = {
        {"amp;", "&"}, {"quot;", "\""}, {"nbsp;", " "}, {"lt;", "<"}, {"gt;", ">"}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        bool decoded = false;
        for (const auto& n : Named) {
            const size_t len = std::char_traits<char>::length(n.Name);
            if (text.compare(i + 1, len, n.Name) == 0) {
                out += n.Text;
                i += 1 + len;
                decoded = true;
                break;
            }
        }
        if (!decoded && i + 1 < text.size() && text[i + 1] == '#') {
            const size_t semi = text.find(';', i + 2);
            const size_t end = semi == std::string::npos ? text.size() : semi;
            const long value = ReadEntityNumber(text.substr(i + 2, end - i - 2));
            const unsigned code = static_cast<unsigned>(((value % 256) + 256) % 256);
            // A zero character would cut the name short at the file system.
            if (code != 0) AppendCodePoint(out, code);
            i = semi == std::string::npos ? text.size() : semi + 1;
            decoded = true;
        }
        // Anything else is not an entity: the "&" stays as it is.
        if (!decoded) out += text[i++];
    }
    return out;
}

std::string MakeInfoURL(const std::string& pageText) {
    const std::string& domain = VideoSiteDomain();
    static const std::string Watch = "/watch?v=";
    const auto domainAt = [&](size_t p) {
        if (p + domain.size() > pageText.size()) return false;
        for (size_t k = 0; k < domain.size(); ++k)
            if (domain[k] != '.' && pageText[p + k] != domain[k]) return false;
        return true;
    };
    std::string id;
    for (size_t p = 0; p + domain.size() + Watch.size() < pageText.size(); ++p) {
        if (!domainAt(p) || pageText.compare(p + domain.size(), Watch.size(), Watch) != 0) continue;
        const size_t idStart = p + domain.size() + Watch.size();
        const size_t quote = pageText.find('"', idStart + 1);
        if (quote == std::string::npos) break; // no later start can end in a quote either
        id = pageText.substr(p, quote + 1 - p);
        ReplaceAll(id, domain + Watch, "");
        id.erase(std::remove(id.begin(), id.end(), '"'), id.end());
        break;
    }
    return "http://" + domain + "/get_video_info?video_id=" + id;
}

// The length of the well-formed UTF-8 sequence at i, or 0 when the bytes there are not one.
static size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned c = byte(i);
    size_t n;
    unsigned low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

std::string EscapeJavaScriptString(const std::string& text) {
    static const char* Hex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\'':
            out += "\\'";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\x";
                out += Hex[c >> 4];
                out += Hex[c & 15];
            } else if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (const size_t n = Utf8SequenceLength(text, i)) {
                // The line and paragraph separators end a line inside a literal.
                if (n == 3 && c == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                    (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                     static_cast<unsigned char>(text[i + 2]) == 0xA9))
                    out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
                else
                    out.append(text, i, n);
                i += n - 1;
            } else {
                // A byte that is not UTF-8 would make the engine reject the whole text: the script
                // sees it as the character of that code (its Latin-1 reading).
                out += "\\x";
                out += Hex[c >> 4];
                out += Hex[c & 15];
            }
        }
    }
    return out;
}

std::vector<std::string> StreamMapScriptLines(const std::string& infoText) {
    const std::string literal = EscapeJavaScriptString(infoText);
    std::vector<std::string> lines = StreamMapTemplate();
    for (auto& line : lines)
        ReplaceAll(line, "%get_video_info", literal);
    return lines;
}

void ParseStreamList(const std::string& listText, TStreamTable& table) {
    for (const std::string& piece : SplitByDelimiter(listText, "<br>")) {
        const std::string formatText = TextBetween(piece, "<", ">");
        const std::string address = TextBetween(piece, "[", "]");
        int32_t format = 0;
        if (!TryStrToInt(formatText, format))
            throw std::invalid_argument("'" + formatText + "' is not a valid integer value");
        table.Set(format, address);
    }
}

namespace {

// Characters the name may not hold: path separators, characters other file systems refuse, and
// every control character (a NUL would cut the name, an escape sequence would reach a terminal).
bool IsUnsafeNameByte(unsigned char c) {
    static const std::string Forbidden = "\\/:*?\"<>|";
    return c < 0x20 || c == 0x7F || Forbidden.find(static_cast<char>(c)) != std::string::npos;
}

// The longest prefix of text of at most limit bytes that does not end inside a UTF-8 sequence.
std::string CutAtCharacterBoundary(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

size_t NameMaxOf(const std::string& folder) {
    const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<size_t>(max) : 255;
}

} // namespace

std::string SafeTitleStem(const std::string& title) {
    std::string stem = title;
    for (char& c : stem)
        if (IsUnsafeNameByte(static_cast<unsigned char>(c))) c = '_';
    return stem;
}

std::string MakeDownloadFileName(const std::string& title, const std::string& extension,
                                 const std::string& folder) {
    const std::string dir = AddTrailingBackslash(folder);
    const size_t nameMax = NameMaxOf(folder);
    std::string stem = SafeTitleStem(title);
    // A leading dot would hide the file (and "." or ".." are no names at all).
    if (stem.empty() || stem[0] == '.') stem.insert(stem.begin(), '_');
    for (int n = 0; n <= MaxNameNumber; ++n) {
        const std::string suffix = (n ? "(" + std::to_string(n) + ")" : "") + extension;
        if (suffix.size() >= nameMax) return "";
        const std::string name = CutAtCharacterBoundary(stem, nameMax - suffix.size()) + suffix;
        // Anything at the path (file, folder, symbolic link, dangling or not) makes the name taken.
        struct stat st {};
        if (::lstat((dir + name).c_str(), &st) != 0 && errno == ENOENT) return dir + name;
    }
    return "";
}

} // namespace mw
