// Input reads that block during a run: a network input that sends part of a file and then stalls
// ends the run after the job's time limit (a failure: the output is removed), or at once when the
// owner stops the job (the output keeps what was read and its trailer).
#include "EngineFixtures.h"
#include "LogCapture.h"
#include "LoopbackSocket.h"
#include "RunJobFixture.h"

#include "../app/TempDir.h"
#include "engine/job/FFBlockingCall.h"
#include "engine/run/FFRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace mw {
namespace {

// Answers every request with the start of a file as an endless stream (no length, no ranges) and
// then sends nothing more, keeping the connection open until it is destroyed.
class TStallingServer {
  public:
    explicit TStallingServer(std::string body) : FBody(std::move(body)) {
        FSocket = test::BindLoopbackSocket(SOCK_STREAM, FPort);
        FThread = std::thread([this] { Serve(); });
    }
    ~TStallingServer() {
        ::shutdown(FSocket, SHUT_RDWR);
        FThread.join();
        ::close(FSocket);
        for (int client : FClients)
            ::close(client);
    }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + "/" + name;
    }

  private:
    void Serve() {
        for (;;) {
            const int client = ::accept(FSocket, nullptr, nullptr);
            if (client < 0) return;
            FClients.push_back(client);
            std::string request;
            char buffer[1024];
            ssize_t got;
            while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 &&
                   (got = ::recv(client, buffer, sizeof buffer, 0)) > 0)
                request.append(buffer, got);
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + FBody;
            ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
    }

    std::string FBody;
    int FSocket = -1;
    int FPort = 0;
    std::vector<int> FClients; // used by the server thread until it is joined
    std::thread FThread;
};

std::string FirstBytes(const std::string& file, size_t count) {
    std::ifstream in(file, std::ios::binary);
    std::string data(count, '\0');
    in.read(data.data(), static_cast<std::streamsize>(count));
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
}

class RunInterrupt : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    test::TTempDir FDir;
};

TEST_F(RunInterrupt, StalledNetworkReadEndsOnTimeLimitOrStop) {
    // 200 kB of a 32 kbit/s MP3: 50 s arrive, then nothing.
    TStallingServer server(FirstBytes(test::Fixture("long.mp3"), 200000));
    const struct {
        int64_t TimeLimitMs;
        int StopAfterMs; // -1: no stop
        bool Failed;
        const char* LogLine;
    } cases[] = {
        {300, -1, true, "connecting/reading/writing timeout"},
        {60000, 500, false, "connecting/reading/writing canceled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.LogLine);
        const std::string url = server.Url("stream.mp3");
        const std::string out = FDir.Path() + std::to_string(c.TimeLimitMs) + ".mp4";
        test::TLogCapture log(llInfo);
        auto job = test::MakeTestJob({url}, out, {{"acodec", "copy"}});
        job->TimeLimitMs = c.TimeLimitMs;
        std::thread stopper;
        if (c.StopAfterMs >= 0)
            stopper = std::thread([&job, &c] {
                std::this_thread::sleep_for(std::chrono::milliseconds(c.StopAfterMs));
                RequestStopBlocking(*job);
            });
        const auto start = std::chrono::steady_clock::now();
        TRunResult result;
        RunJob(*job, {}, result);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (stopper.joinable()) stopper.join();

        EXPECT_LT(elapsed, std::chrono::seconds(5));
        EXPECT_EQ(result.Failed, c.Failed) << result.ErrorText;
        EXPECT_FALSE(result.Finished);
        if (c.Failed) {
            EXPECT_EQ(result.ErrorText, url + ": Immediate exit requested");
        }
        EXPECT_TRUE(log.Logged(llInfo, c.LogLine));
        // A failed run leaves nothing; a stopped one keeps what arrived, with the trailer MP4 needs
        // to be read at all.
        if (c.Failed) {
            EXPECT_FALSE(std::filesystem::exists(out));
        } else {
            EXPECT_NEAR(std::stod("0" + test::ProbeValue(out, "", "format=duration")), 50.0, 2.0);
        }
    }
}

} // namespace
} // namespace mw
