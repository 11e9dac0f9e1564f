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

// Starts the program with its two outputs on new pipes: its pid and the pipes' read ends, or 0
// with the error text.
pid_t StartProgram(const std::vector<std::string>& argv, int& outFd, int& errFd, std::string& error) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return 0;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return 0;
    }
    const pid_t pid = Spawn(argv, outPipe[1], errPipe[1], error);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (!pid) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return 0;
    }
    outFd = outPipe[0];
    errFd = errPipe[0];
    return pid;
}

// A started program on the calling thread: both outputs read within the limits, the group ended,
// the leader reaped. Lines go to the sink unless collecting.
class TProgramRun {
  public:
    TProgramRun(TExtractorProcess::TRun& run, pid_t pid, const TProcessLimits& limits, bool collect,
                const std::string& progressPrefix, int coalesceMs, const TLineSink& sink)
        : FRun(run), FPid(pid), FLimits(limits), FCollect(collect), FProgressPrefix(progressPrefix),
          FCoalesce(coalesceMs), FSink(sink), FOutLines(limits.MaxLineBytes) {}

    TProcessOutcome Run(int outFd, int errFd) {
        Pump(outFd, errFd);
        if (!FCollect) FOutLines.Flush([this](const std::string& line) { Deliver(line); });
        if (!FPendingProgress.empty() && FSink) FSink(FPendingProgress);
        if (!FGroupEnded) ::kill(-FPid, SIGKILL);
        int status = 0;
        while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) FOut.ExitCode = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) FOut.Signal = WTERMSIG(status);
        if (FOut.Stderr.size() > FLimits.MaxStderrBytes)
            FOut.Stderr.erase(0, FOut.Stderr.size() - FLimits.MaxStderrBytes);
        return std::move(FOut);
    }

  private:
    // Until both outputs are closed, or the drain time after the group's end is over.
    void Pump(int outFd, int errFd) {
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {FRun.Wake[0], POLLIN, 0}};
        int open = 2;
        while (open > 0) {
            const auto now = TClock::now();
            Watch(now);
            if (FDrainUntil != TClock::time_point{} && now >= FDrainUntil) break;
            PassProgressIfDue(now);
            const int rc = ::poll(fds, FRun.Wake[0] >= 0 ? 3 : 2, WaitSliceMs);
            if (rc < 0 && errno != EINTR) break;
            if (rc <= 0) continue;
            if (fds[2].fd >= 0 && (fds[2].revents & POLLIN)) {
                char drop[16];
                [[maybe_unused]] const ssize_t ignored = ::read(fds[2].fd, drop, sizeof drop);
            }
            for (int i = 0; i < 2; ++i)
                ReadOutput(fds[i], i == 0, open);
        }
        for (int i = 0; i < 2; ++i)
            if (fds[i].fd >= 0) ::close(fds[i].fd);
    }

    // The kill request, the time and stall limits, and the leader's exit end the group.
    void Watch(TClock::time_point now) {
        if (FRun.KillRequested && !FGroupEnded) {
            FOut.Killed = true;
            EndGroup();
        }
        if (!FGroupEnded && FLimits.TimeLimitMs > 0 &&
            now - FStart >= std::chrono::milliseconds(FLimits.TimeLimitMs)) {
            FOut.TimedOut = true;
            EndGroup();
        }
        if (!FGroupEnded && FLimits.StallLimitMs > 0 &&
            now - FLastOutput >= std::chrono::milliseconds(FLimits.StallLimitMs)) {
            FOut.Stalled = true;
            EndGroup();
        }
        if (!FLeaderExited) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(FPid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == FPid) {
                FLeaderExited = true;
                // What it started and left behind goes with it.
                EndGroup();
            }
        }
    }

    // The leader is reaped only after its group was ended, so its id cannot name another group.
    void EndGroup() {
        if (!FGroupEnded) ::kill(-FPid, SIGKILL);
        FGroupEnded = true;
        if (FDrainUntil == TClock::time_point{})
            FDrainUntil = TClock::now() + std::chrono::milliseconds(DrainGraceMs);
    }

    void ReadOutput(pollfd& fd, bool isStdout, int& open) {
        if (fd.fd < 0 || !(fd.revents & (POLLIN | POLLHUP | POLLERR))) return;
        char buf[64 * 1024];
        const ssize_t n = ::read(fd.fd, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n <= 0) {
            ::close(fd.fd);
            fd.fd = -1;
            --open;
            return;
        }
        FLastOutput = TClock::now();
        if (isStdout)
            OnStdout(buf, static_cast<size_t>(n));
        else
            OnStderr(buf, static_cast<size_t>(n));
    }

    void OnStdout(const char* p, size_t n) {
        if (!FCollect) {
            FOutLines.Feed(p, n, [this](const std::string& line) { Deliver(line); });
            return;
        }
        if (FOut.Stdout.size() + n > FLimits.MaxStdoutBytes) {
            FOut.OutputTooLarge = true;
            EndGroup();
            return;
        }
        FOut.Stdout.append(p, n);
    }

    void OnStderr(const char* p, size_t n) {
        FOut.Stderr.append(p, n);
        if (FOut.Stderr.size() > 2 * FLimits.MaxStderrBytes)
            FOut.Stderr.erase(0, FOut.Stderr.size() - FLimits.MaxStderrBytes);
    }

    // Of the progress lines only the latest is kept, passed on at most every FCoalesce ms and
    // before any other line.
    void Deliver(const std::string& line) {
        if (!FSink) return;
        if (!FProgressPrefix.empty() && line.rfind(FProgressPrefix, 0) == 0) {
            FPendingProgress = line;
            PassProgressIfDue(TClock::now());
            return;
        }
        if (!FPendingProgress.empty()) FSink(FPendingProgress);
        FPendingProgress.clear();
        FSink(line);
    }

    void PassProgressIfDue(TClock::time_point now) {
        if (FPendingProgress.empty() || !FSink || now - FLastProgress < std::chrono::milliseconds(FCoalesce))
            return;
        FSink(FPendingProgress);
        FPendingProgress.clear();
        FLastProgress = now;
    }

    TExtractorProcess::TRun& FRun;
    const pid_t FPid;
    const TProcessLimits& FLimits;
    const bool FCollect;
    const std::string& FProgressPrefix;
    const int FCoalesce;
    const TLineSink& FSink;
    TProcessOutcome FOut;
    const TClock::time_point FStart = TClock::now();
    TClock::time_point FLastOutput = FStart;
    TClock::time_point FLastProgress{};
    TClock::time_point FDrainUntil{};
    bool FGroupEnded = false;
    bool FLeaderExited = false;
    std::string FPendingProgress;
    TLineSplitter FOutLines;
};

// The whole run on the calling thread.
TProcessOutcome RunLoop(TExtractorProcess::TRun& run, const std::vector<std::string>& argv,
                        const TProcessLimits& limits, bool collect, const std::string& progressPrefix,
                        int coalesceMs, const TLineSink& sink) {
    TProcessOutcome notStarted;
    int outFd = -1, errFd = -1;
    const pid_t pid = StartProgram(argv, outFd, errFd, notStarted.StartError);
    if (!pid) return notStarted;
    run.Pid = pid;
    return TProgramRun(run, pid, limits, collect, progressPrefix, coalesceMs, sink).Run(outFd, errFd);
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
