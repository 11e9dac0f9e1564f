// A small HTTP/1.1 server on 127.0.0.1 (a free port) standing in for the video site in tests.
// Each path answers with a configured response that can misbehave: an error status, no
// Content-Length, ignored ranges, 416 for every range, a drop after some bytes, a stall.
// One thread accepts, one thread serves each connection; the destructor stops and joins them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mw::test {

struct TFakeResponse {
    int Status = 200;
    std::string Body;
    std::string ContentType = "application/octet-stream";
    std::vector<std::string> ExtraHeaders;
    bool NoContentLength = false;
    bool IgnoreRange = false;
    bool Answer416 = false;  // every range request gets 416
    int64_t DropAfter = -1;  // close the connection after this many body bytes
    int64_t StallAfter = -1; // after this many body bytes, stall StallMs (or until the server stops)
    int StallMs = 0;
    int ChunkSize = 64 * 1024;    // body bytes per send
    std::string RequireBasicAuth; // "user:password": without it the answer is 401 with a realm
};

struct TRecordedRequest {
    std::string Method, Target;
    std::string ProxiedHost; // the host named by a request sent to this server as a proxy
    std::vector<std::string> Headers;
    std::string Body;
    std::string Header(const std::string& name) const;
};

class TFakeVideoSite {
  public:
    TFakeVideoSite();
    ~TFakeVideoSite();

    int Port() const { return FPort; }
    // The site's domain as links and pages write it: "127.0.0.1:<port>".
    std::string Domain() const;
    std::string URL(const std::string& target) const { return "http://" + Domain() + target; }

    // target is the path with its query, exactly as requested (a target without query also
    // answers any query on that path when no exact entry exists).
    void Set(const std::string& target, const TFakeResponse& response);

    // A video: its watch page (a title tag unless title is empty), its information and one stream per
    // entry of streams (format number -> response). Returns the watch link.
    std::string AddVideo(const std::string& id, const std::string& title,
                         const std::map<int, TFakeResponse>& streams, bool withTitleTag = true);
    // The address the stream-map script derives for a format of a video.
    std::string StreamTarget(const std::string& id, int itag) const;
    std::string InfoTarget(const std::string& id) const { return "/get_video_info?video_id=" + id; }
    std::string WatchTarget(const std::string& id) const { return "/watch?v=" + id; }

    std::vector<TRecordedRequest> Requests() const;
    int CountRequests(const std::string& targetPrefix) const;

    // Deterministic content of n bytes (a stream file).
    static std::string MakeBody(size_t n, unsigned seed = 1);
    static std::string PercentEncode(const std::string& s);

  private:
    void AcceptLoop();
    void Serve(int fd);
    bool Sleep(int ms);

    int FListenFd = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FAcceptThread;
    mutable std::mutex FMutex; // guards FResponses, FRequests, FWorkers
    std::condition_variable FStopCv;
    std::map<std::string, TFakeResponse> FResponses;
    std::vector<TRecordedRequest> FRequests;
    std::vector<std::thread> FWorkers;
};

} // namespace mw::test
