// Text helpers of the transfer component: URL splitting and escaping, the stored credentials,
// the connection status texts and the memory stream.
#include "download/WinHTTP.h"

#include "app/UtilFuncs.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace mw {

namespace {

constexpr uint8_t LoginScrambleKey = 0x5A;

struct TStatusText {
    int Code;
    const char* Text;
};
constexpr std::array<TStatusText, 18> StatusTexts = {{
    {10, "Resolving name"},
    {11, "Name resolved"},
    {20, "Connecting to server"},
    {21, "Connected"},
    {30, "Sending Request"},
    {31, "Request sent"},
    {40, "Receiving response"},
    {41, "Response received"},
    {42, "CTL Response received"},
    {43, "Prefetch"},
    {50, "Closing connection"},
    {51, "Connection closed"},
    {60, "Handle created"},
    {70, "Handle closing"},
    {100, "Request complete"},
    {110, "Redirect"},
    {120, "Intermediate response"},
    {200, "State change"},
}};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int h = HexValue(s[i + 1]), l = HexValue(s[i + 2]);
            if (h >= 0 && l >= 0) {
                out += static_cast<char>(h * 16 + l);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::string PercentEncodeIf(const std::string& s, const char* extra) {
    static const char* Hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x20 || c >= 0x80 || std::strchr(extra, c)) {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

void TMemoryStream::Write(const char* p, size_t n) {
    if (Position == Data.size()) {
        Data.append(p, n);
    } else {
        if (Position + n > Data.size()) Data.resize(Position + n);
        std::memcpy(&Data[Position], p, n);
    }
    Position += n;
}

bool TMemoryStream::SaveToFile(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(Data.data(), 1, Data.size(), f) == Data.size();
    return std::fclose(f) == 0 && ok;
}

TURLParts SplitURL(const std::string& url) {
    TURLParts parts;
    if (url.size() > 2 * MaxURLPartSize) return parts;
    const std::string u = url.find("://") == std::string::npos ? "http://" + url : url;
    const size_t schemeEnd = u.find("://");
    parts.Scheme = u.substr(0, schemeEnd);
    const std::string rest = u.substr(schemeEnd + 3);
    const size_t authEnd = rest.find_first_of("/?#");
    const std::string authority = rest.substr(0, authEnd);
    const std::string tail = authEnd == std::string::npos ? "" : rest.substr(authEnd);
    std::string hostPort = authority;
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        const size_t colon = userInfo.find(':');
        parts.UserName = PercentDecode(userInfo.substr(0, colon));
        if (colon != std::string::npos) parts.Password = PercentDecode(userInfo.substr(colon + 1));
    }
    std::string portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string::npos) return TURLParts{};
        parts.Host = hostPort.substr(1, close - 1);
        if (close + 1 < hostPort.size() && hostPort[close + 1] == ':') portText = hostPort.substr(close + 2);
    } else {
        const size_t colon = hostPort.find(':');
        parts.Host = PercentDecode(hostPort.substr(0, colon));
        if (colon != std::string::npos) portText = hostPort.substr(colon + 1);
    }
    const std::string scheme = LowerCase(parts.Scheme);
    parts.Port = scheme == "https" ? 443 : scheme == "http" ? 80 : scheme == "ftp" ? 21 : 0;
    if (!portText.empty()) {
        int32_t port = 0;
        if (!TryStrToInt(portText, port) || port <= 0 || port > 65535) return TURLParts{};
        parts.Port = port;
    }
    const size_t extraStart = tail.find_first_of("?#");
    parts.Path = PercentDecode(tail.substr(0, extraStart));
    if (extraStart != std::string::npos) parts.ExtraInfo = PercentDecode(tail.substr(extraStart));
    // Stream addresses of real sites carry long queries; the cap only keeps a hostile one bounded.
    if (parts.Scheme.size() > 32 || parts.Host.size() > 256 || parts.UserName.size() > 128 ||
        parts.Password.size() > 128 || parts.Path.size() > MaxURLPartSize ||
        parts.ExtraInfo.size() > MaxURLPartSize)
        return TURLParts{};
    parts.Valid = true;
    return parts;
}

std::string EncodeExtraInfo(const std::string& extra) {
    return PercentEncodeIf(extra, " #%*+<>");
}

std::string EncodeLoginInfo(const std::string& userName, const std::string& password) {
    const size_t total = userName.size() + password.size();
    // One length byte for the block and one for the user name: longer credentials cannot be stored.
    if (total > 254 || userName.size() > 255) throw std::length_error("credentials too long to store");
    const uint8_t n = static_cast<uint8_t>(total % 256 + 1);
    std::string block(1, static_cast<char>(n));
    std::string body(1, static_cast<char>(userName.size()));
    body += userName + password;
    for (char c : body)
        block += static_cast<char>(static_cast<uint8_t>(c) ^ (n ^ LoginScrambleKey));
    return block;
}

bool DecodeLoginInfo(const std::string& block, std::string& userName, std::string& password) {
    userName.clear();
    password.clear();
    if (block.empty()) return false;
    const uint8_t n = static_cast<uint8_t>(block[0]);
    if (n == 0 || block.size() < 1u + n) return false;
    std::string body;
    for (size_t i = 1; i <= n; ++i)
        body += static_cast<char>(static_cast<uint8_t>(block[i]) ^ (n ^ LoginScrambleKey));
    const size_t userLen = static_cast<uint8_t>(body[0]);
    if (userLen > body.size() - 1) return false;
    userName = body.substr(1, userLen);
    password = body.substr(1 + userLen);
    return true;
}

const char* ConnectionStatusText(int code) {
    for (const auto& s : StatusTexts)
        if (s.Code == code) return s.Text;
    return "Unknown status";
}

std::string EncodeURLPath(const std::string& path) {
    return PercentEncodeIf(path.empty() ? "/" : path, " #%?");
}

} // namespace mw
