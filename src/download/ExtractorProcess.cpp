#include "download/ExtractorProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace mw {

namespace {

using TClock = std::chrono::steady_clock;

// After the group was ended, how long output may still trickle in before the pipes are given up
// (a descendant that left the group could hold them open for ever).
constexpr int DrainGraceMs = 2000;
constexpr int WaitSliceMs = 200;

// Output of the extractor and its answers to our own questions arrive in time, unbuffered.
std::vector<std::string> ChildEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("PYTHONUNBUFFERED=", 0) == 0 || entry.rfind("PYTHONIOENCODING=", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("PYTHONUNBUFFERED=1");
    env.push_back("PYTHONIOENCODING=utf-8");
    return env;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// Splits a stream into lines, cutting each at the line limit.
struct TLineSplitter {
    explicit TLineSplitter(size_t maxLine) : MaxLine(maxLine) {}
    size_t MaxLine;
    std::string Current;
    template <typename Sink> void Feed(const char* p, size_t n, Sink&& sink) {
        for (size_t i = 0; i < n; ++i) {
            const char c = p[i];
            if (c == '\n') {
                sink(Current);
                Current.clear();
            } else if (Current.size() < MaxLine && c != '\r') {
                Current += c;
            }
        }
    }
    template <typename Sink> void Flush(Sink&& sink) {
        if (!Current.empty()) sink(Current);
        Current.clear();
    }
};

} // namespace

struct TExtractorProcess::TRun {
    std::atomic<bool> KillRequested{false};
    std::atomic<int> Pid{0};
    int Wake[2] = {-1, -1};
    ~TRun() {
        for (int fd : Wake)
            if (fd >= 0) ::close(fd);
    }
};

namespace {

using TLineSink = std::function<void(const std::string&)>;

// Starts the program; its pid, or 0 with the error text.
pid_t Spawn(const std::vector<std::string>& argv, int outFd, int errFd, std::string& error) {
    if (argv.empty() || argv[0].empty()) {
        error = "no program";
        return 0;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> args = argv;
    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> cargs = CStrings(args);
    std::vector<char*> cenv = CStrings(env);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0].c_str(), &actions, &attr, cargs.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error = std::strerror(rc);
        return 0;
    }
    return pid;
}

// The whole run on the calling thread: start, read both outputs within the limits, end the group,
// reap. Lines go to the sink unless collecting.
TProcessOutcome RunLoop(TExtractorProcess::TRun& run, const std::vector<std::string>& argv,
                        const TProcessLimits& limits, bool collect, const std::string& progressPrefix,
                        int coalesceMs, const TLineSink& sink) {
    TProcessOutcome out;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        out.StartError = std::strerror(errno);
        return out;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        out.StartError = std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return out;
    }
    const pid_t pid = Spawn(argv, outPipe[1], errPipe[1], out.StartError);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (!pid) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return out;
    }
    run.Pid = pid;

    const auto start = TClock::now();
    auto lastOutput = start;
    auto lastProgress = TClock::time_point{};
    TClock::time_point drainUntil{};
    bool groupEnded = false;
    bool leaderExited = false;
    // The leader is reaped only after its group was ended, so its id cannot name another group.
    const auto endGroup = [&] {
        if (!groupEnded) ::kill(-pid, SIGKILL);
        groupEnded = true;
        if (drainUntil == TClock::time_point{}) drainUntil = TClock::now() + std::chrono::milliseconds(DrainGraceMs);
    };

    std::string pendingProgress;
    const auto deliver = [&](const std::string& line) {
        if (!sink) return;
        if (!progressPrefix.empty() && line.rfind(progressPrefix, 0) == 0) {
            pendingProgress = line;
            const auto now = TClock::now();
            if (now - lastProgress >= std::chrono::milliseconds(coalesceMs)) {
                sink(pendingProgress);
                pendingProgress.clear();
                lastProgress = now;
            }
            return;
        }
        if (!pendingProgress.empty()) sink(pendingProgress);
        pendingProgress.clear();
        sink(line);
    };
    TLineSplitter outLines{limits.MaxLineBytes};
    const auto onStdout = [&](const char* p, size_t n) {
        if (collect) {
            if (out.Stdout.size() + n > limits.MaxStdoutBytes) {
                out.OutputTooLarge = true;
                endGroup();
                return;
            }
            out.Stdout.append(p, n);
        } else {
            outLines.Feed(p, n, deliver);
        }
    };
    const auto onStderr = [&](const char* p, size_t n) {
        out.Stderr.append(p, n);
        if (out.Stderr.size() > 2 * limits.MaxStderrBytes)
            out.Stderr.erase(0, out.Stderr.size() - limits.MaxStderrBytes);
    };

    pollfd fds[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {run.Wake[0], POLLIN, 0}};
    int open = 2;
    char buf[64 * 1024];
    while (open > 0) {
        const auto now = TClock::now();
        if (run.KillRequested && !groupEnded) {
            out.Killed = true;
            endGroup();
        }
        if (!groupEnded && limits.TimeLimitMs > 0 && now - start >= std::chrono::milliseconds(limits.TimeLimitMs)) {
            out.TimedOut = true;
            endGroup();
        }
        if (!groupEnded && limits.StallLimitMs > 0 &&
            now - lastOutput >= std::chrono::milliseconds(limits.StallLimitMs)) {
            out.Stalled = true;
            endGroup();
        }
        if (!leaderExited) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) {
                leaderExited = true;
                // What it started and left behind goes with it.
                endGroup();
            }
        }
        if (drainUntil != TClock::time_point{} && now >= drainUntil) break;
        if (!pendingProgress.empty() && sink && now - lastProgress >= std::chrono::milliseconds(coalesceMs)) {
            sink(pendingProgress);
            pendingProgress.clear();
            lastProgress = now;
        }
        const int rc = ::poll(fds, run.Wake[0] >= 0 ? 3 : 2, WaitSliceMs);
        if (rc < 0 && errno != EINTR) break;
        if (rc <= 0) continue;
        if (fds[2].fd >= 0 && (fds[2].revents & POLLIN)) {
            char drop[16];
            [[maybe_unused]] const ssize_t ignored = ::read(fds[2].fd, drop, sizeof drop);
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            lastOutput = TClock::now();
            if (i == 0)
                onStdout(buf, static_cast<size_t>(n));
            else
                onStderr(buf, static_cast<size_t>(n));
        }
    }
    for (int i = 0; i < 2; ++i)
        if (fds[i].fd >= 0) ::close(fds[i].fd);
    if (!collect) outLines.Flush(deliver);
    if (!pendingProgress.empty() && sink) sink(pendingProgress);
    if (!groupEnded) ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) out.ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) out.Signal = WTERMSIG(status);
    if (out.Stderr.size() > limits.MaxStderrBytes) out.Stderr.erase(0, out.Stderr.size() - limits.MaxStderrBytes);
    return out;
}

} // namespace

TProcessOutcome RunProgram(const std::vector<std::string>& argv, const TProcessLimits& limits) {
    TExtractorProcess::TRun run;
    return RunLoop(run, argv, limits, true, "", 0, nullptr);
}

TExtractorProcess::TExtractorProcess(IMainThreadDispatcher* dispatcher) : FDispatcher(dispatcher) {}

TExtractorProcess::~TExtractorProcess() {
    Stop();
}

void TExtractorProcess::Stop() {
    *FAlive = false;
    Kill();
    if (FThread.joinable()) FThread.join();
    FRunning = false;
    FAlive = std::make_shared<bool>(true);
}

int TExtractorProcess::LastPid() const {
    return FRun ? FRun->Pid.load() : 0;
}

bool TExtractorProcess::Start(const std::vector<std::string>& argv, const TProcessLimits& limits) {
    if (FRunning) return false;
    if (FThread.joinable()) FThread.join();
    FRun = std::make_shared<TRun>();
    if (::pipe2(FRun->Wake, O_CLOEXEC | O_NONBLOCK) != 0) FRun->Wake[0] = FRun->Wake[1] = -1;
    FRunning = true;
    const std::weak_ptr<bool> alive = FAlive;
    IMainThreadDispatcher* dispatcher = FDispatcher;
    TLineSink sink;
    if (!CollectStdout)
        sink = [this, alive, dispatcher](const std::string& line) {
            dispatcher->Post([this, alive, line] {
                if (alive.lock() && OnLine) OnLine(line);
            });
        };
    FThread = std::thread([this, run = FRun, argv, limits, collect = CollectStdout, prefix = ProgressPrefix,
                           coalesce = CoalesceMs, sink, alive, dispatcher] {
        TProcessOutcome outcome = RunLoop(*run, argv, limits, collect, prefix, coalesce, sink);
        dispatcher->Post([this, alive, outcome = std::move(outcome)] {
            if (alive.lock()) Finished(outcome);
        });
    });
    return true;
}

void TExtractorProcess::Finished(const TProcessOutcome& outcome) {
    if (FThread.joinable()) FThread.join();
    FRunning = false;
    // The handler may start the next run and set a new handler: it runs from a copy.
    const auto onExit = OnExit;
    if (onExit) onExit(outcome);
}

void TExtractorProcess::Kill() {
    if (!FRunning || !FRun) return;
    FRun->KillRequested = true;
    if (FRun->Wake[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(FRun->Wake[1], &c, 1);
    }
}

} // namespace mw
