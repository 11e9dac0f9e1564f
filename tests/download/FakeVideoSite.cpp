#include "FakeVideoSite.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace mw::test {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool SendAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 416:
        return "Requested Range Not Satisfiable";
    default:
        return "Status";
    }
}

std::string Base64(const std::string& in) {
    static const char* T = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8) | uint8_t(in[i + 2]);
        out += {T[v >> 18], T[(v >> 12) & 63], T[(v >> 6) & 63], T[v & 63]};
    }
    if (i + 1 == in.size()) {
        const uint32_t v = uint8_t(in[i]) << 16;
        out += {T[v >> 18], T[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == in.size()) {
        const uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8);
        out += {T[v >> 18], T[(v >> 12) & 63], T[(v >> 6) & 63], '='};
    }
    return out;
}

} // namespace

std::string TRecordedRequest::Header(const std::string& name) const {
    for (const auto& h : Headers) {
        const size_t colon = h.find(':');
        if (colon != std::string::npos && Lower(h.substr(0, colon)) == Lower(name)) {
            size_t v = colon + 1;
            while (v < h.size() && h[v] == ' ')
                ++v;
            return h.substr(v);
        }
    }
    return "";
}

TFakeVideoSite::TFakeVideoSite() {
    // Transfers with the system's proxy settings must still reach this server directly.
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    FListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(FListenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(FListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(FListenFd, 64) != 0)
        throw std::runtime_error("fake site: cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    getsockname(FListenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
    FAcceptThread = std::thread(&TFakeVideoSite::AcceptLoop, this);
}

TFakeVideoSite::~TFakeVideoSite() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FStopCv.notify_all();
    FAcceptThread.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(FMutex);
        workers.swap(FWorkers);
    }
    for (auto& w : workers)
        w.join();
    ::close(FListenFd);
}

std::string TFakeVideoSite::Domain() const {
    return "127.0.0.1:" + std::to_string(FPort);
}

void TFakeVideoSite::Set(const std::string& target, const TFakeResponse& response) {
    std::lock_guard lock(FMutex);
    FResponses[target] = response;
}

std::string TFakeVideoSite::PercentEncode(const std::string& s) {
    static const char* Hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    return out;
}

std::string TFakeVideoSite::StreamTarget(const std::string& id, int itag) const {
    return "/videoplayback?id=" + id + "&itag=" + std::to_string(itag) + "&signature=SIG" +
           std::to_string(itag);
}

std::string TFakeVideoSite::AddVideo(const std::string& id, const std::string& title,
                                     const std::map<int, TFakeResponse>& streams, bool withTitleTag) {
    TFakeResponse page;
    page.ContentType = "text/html; charset=utf-8";
    page.Body = "<html><head>\n";
    if (withTitleTag) page.Body += "<meta name=\"title\" content=\"" + title + "\">\n";
    page.Body += "</head><body>\n<link rel=\"canonical\" href=\"http://" + Domain() + "/watch?v=" + id +
                 "\">\n<p>Some text</p></body></html>\n";
    Set(WatchTarget(id), page);

    std::string map;
    for (const auto& [itag, response] : streams) {
        const std::string url =
            "http://" + Domain() + "/videoplayback?id=" + id + "&itag=" + std::to_string(itag);
        if (!map.empty()) map += ",";
        map += "itag=" + std::to_string(itag) + "&url=" + PercentEncode(url) + "&sig=SIG" +
               std::to_string(itag) + "&type=" + PercentEncode("video/x-flv");
        Set(StreamTarget(id, itag), response);
    }
    TFakeResponse info;
    info.ContentType = "application/x-www-form-urlencoded";
    info.Body = "status=ok&video_id=" + id +
                (streams.empty() ? "" : "&url_encoded_fmt_stream_map=" + PercentEncode(map)) +
                "&length_seconds=2";
    Set(InfoTarget(id), info);
    return URL(WatchTarget(id));
}

std::vector<TRecordedRequest> TFakeVideoSite::Requests() const {
    std::lock_guard lock(FMutex);
    return FRequests;
}

int TFakeVideoSite::CountRequests(const std::string& prefix) const {
    std::lock_guard lock(FMutex);
    int n = 0;
    for (const auto& r : FRequests)
        if (r.Target.rfind(prefix, 0) == 0) ++n;
    return n;
}

std::string TFakeVideoSite::MakeBody(size_t n, unsigned seed) {
    std::string body(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        body[i] = static_cast<char>(x >> 24);
    }
    return body;
}

void TFakeVideoSite::AcceptLoop() {
    while (!FStop) {
        pollfd p{FListenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(FListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(FMutex);
        FWorkers.emplace_back(&TFakeVideoSite::Serve, this, fd);
    }
}

bool TFakeVideoSite::Sleep(int ms) {
    std::unique_lock lock(FMutex);
    return !FStopCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return FStop.load(); });
}

void TFakeVideoSite::Serve(int fd) {
    std::string in;
    char buf[8192];
    // One request per connection: every answer closes it.
    size_t headerEnd;
    while ((headerEnd = in.find("\r\n\r\n")) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (FStop || ::poll(&p, 1, 100) < 0) break;
        if (!(p.revents & POLLIN)) continue;
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) break;
        in.append(buf, static_cast<size_t>(got));
    }
    if (headerEnd == std::string::npos) {
        ::close(fd);
        return;
    }
    TRecordedRequest req;
    {
        const std::string head = in.substr(0, headerEnd);
        size_t pos = head.find("\r\n");
        const std::string line = head.substr(0, pos);
        const size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
        req.Method = line.substr(0, sp1);
        req.Target = line.substr(sp1 + 1, sp2 - sp1 - 1);
        while (pos != std::string::npos && pos < head.size()) {
            const size_t next = head.find("\r\n", pos + 2);
            req.Headers.push_back(
                head.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2));
            pos = next;
        }
        const std::string cl = req.Header("Content-Length");
        const size_t want = cl.empty() ? 0 : std::stoul(cl);
        req.Body = in.substr(headerEnd + 4);
        while (req.Body.size() < want) {
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) break;
            req.Body.append(buf, static_cast<size_t>(got));
        }
    }
    // A request through a proxy names the whole address: keep the path and query.
    if (req.Target.rfind("http://", 0) == 0) {
        const size_t slash = req.Target.find('/', 7);
        req.ProxiedHost = req.Target.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
        req.Target = slash == std::string::npos ? "/" : req.Target.substr(slash);
    }
    TFakeResponse resp;
    {
        std::lock_guard lock(FMutex);
        FRequests.push_back(req);
        auto it = FResponses.find(req.Target);
        if (it == FResponses.end()) it = FResponses.find(req.Target.substr(0, req.Target.find('?')));
        if (it != FResponses.end()) {
            resp = it->second;
        } else {
            resp.Status = 404;
            resp.ContentType = "text/html";
            resp.Body = "<html><body>Not Found</body></html>";
        }
    }
    if (!resp.RequireBasicAuth.empty() &&
        req.Header("Authorization") != "Basic " + Base64(resp.RequireBasicAuth)) {
        resp = TFakeResponse{};
        resp.Status = 401;
        resp.ContentType = "text/html";
        resp.Body = "<html>Unauthorized</html>";
        resp.ExtraHeaders.push_back("WWW-Authenticate: Basic realm=\"Fake Site\"");
    }
    const std::string range = req.Header("Range");
    std::string body = resp.Body;
    int status = resp.Status;
    std::vector<std::string> headers = resp.ExtraHeaders;
    if (!range.empty() && status == 200 && !resp.IgnoreRange) {
        const size_t eq = range.find('='), dash = range.find('-');
        const uint64_t size = body.size();
        uint64_t from = std::stoull(range.substr(eq + 1, dash - eq - 1));
        uint64_t to = dash + 1 < range.size() ? std::stoull(range.substr(dash + 1)) : size - 1;
        if (resp.Answer416 || from >= size) {
            status = 416;
            body = "";
            headers.push_back("Content-Range: bytes */" + std::to_string(size));
        } else {
            to = std::min<uint64_t>(to, size - 1);
            status = 206;
            headers.push_back("Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(to) +
                              "/" + std::to_string(size));
            body = body.substr(from, to - from + 1);
        }
    }
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    head += "Content-Type: " + resp.ContentType + "\r\n";
    if (!resp.NoContentLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    for (const auto& h : headers)
        head += h + "\r\n";
    head += "Connection: close\r\n\r\n";
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    bool ok = SendAll(fd, head.data(), head.size());
    size_t sent = 0;
    while (ok && sent < body.size() && !FStop) {
        size_t n = std::min<size_t>(resp.ChunkSize, body.size() - sent);
        if (resp.DropAfter >= 0) {
            if (sent >= static_cast<size_t>(resp.DropAfter)) break;
            n = std::min<size_t>(n, resp.DropAfter - sent);
        }
        if (resp.StallAfter >= 0 && sent <= static_cast<size_t>(resp.StallAfter)) {
            if (sent == static_cast<size_t>(resp.StallAfter)) {
                if (!Sleep(resp.StallMs)) break;
                resp.StallAfter = -1;
            } else {
                n = std::min<size_t>(n, resp.StallAfter - sent);
            }
        }
        ok = SendAll(fd, body.data() + sent, n);
        sent += n;
    }
    if (resp.DropAfter >= 0) {
        // An abrupt end: reset instead of an orderly close.
        linger l{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else {
        ::shutdown(fd, SHUT_WR);
        // Wait briefly for the client to close, so that the final bytes are not lost to a reset.
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 200);
    }
    ::close(fd);
}

} // namespace mw::test
