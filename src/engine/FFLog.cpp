#include "engine/FFLog.h"

#include "app/Dispatcher.h"
#include "app/UtilFuncs.h"
#include "engine/FFEntries.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace mw {

namespace {

std::mutex GLoggerMutex; // guards GLogger and GAutoLogger
TFFLogger* GLogger = nullptr;
std::unique_ptr<TFFLogger> GAutoLogger;

std::atomic<int> GLibraryLevel{AV_LOG_INFO};
thread_local int GQuietDepth = 0;

std::mutex GLogMutex; // guards GPending, GLastMessage, GRepeat
std::unordered_map<uint32_t, std::string> GPending;
std::string GLastMessage;
int GRepeat = 0;

// Deliveries on the calling thread run one at a time; recursive so that OnLog may log again.
std::recursive_mutex GDeliverMutex;

struct TWordLevel {
    const char* Word;
    int FFLevel;
};
const TWordLevel LogLevelWords[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},
};

std::string FormatArgs(const char* format, va_list args) {
    // A 2048-byte first try covers nearly every message; longer ones get a buffer of their size.
    char buf[2048];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buf, sizeof buf, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_copy(copy, args);
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(static_cast<size_t>(n));
    return big;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatArgs(format, args);
    va_end(args);
    return s;
}

const char* ItemName(const AVClass* cls, void* object) {
    if (cls->item_name) return cls->item_name(object);
    return cls->class_name ? cls->class_name : "";
}

// "[parent @ address] [item @ address]" for a library context object.
std::string ContextPrefix(void* context) {
    if (!context) return std::string();
    const AVClass* cls = *static_cast<AVClass**>(context);
    if (!cls) return std::string();
    std::string prefix;
    if (cls->version >= 0x320F03 && cls->parent_log_context_offset) {
        AVClass** parent =
            *reinterpret_cast<AVClass***>(static_cast<uint8_t*>(context) + cls->parent_log_context_offset);
        if (parent && *parent)
            prefix = Printf("[%s @ %p] ", ItemName(*parent, parent), static_cast<void*>(parent));
    }
    prefix += Printf("[%s @ %p]", ItemName(cls, context), context);
    return prefix;
}

struct TPendingLine {
    uint32_t ThreadId;
    int FFLevel;
    std::string Text;
};

TFFLogger* RegisteredLogger() {
    std::lock_guard lock(GLoggerMutex);
    return GLogger;
}

} // namespace

int FFLevelOf(TLogLevel level) {
    return (static_cast<int>(level) - 1) * 8;
}

TLogLevel LogLevelOfFF(int ffLevel) {
    if (ffLevel <= AV_LOG_QUIET) return llQuiet;
    if (ffLevel < 0) return llPanic;
    if (ffLevel >= AV_LOG_DEBUG) return llDebug;
    return static_cast<TLogLevel>(ffLevel / 8 + 1);
}

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

TFFLogger::TFFLogger() : FLogLevel(LogLevelOfFF(GLibraryLevel.load())) {
    std::unique_ptr<TFFLogger> automatic;
    {
        std::lock_guard lock(GLoggerMutex);
        if (GLogger && !GLogger->FAutomatic)
            throw std::logic_error("Allow creating only one instance of TFFLogger.");
        automatic = std::move(GAutoLogger);
        GLogger = this;
    }
}

TFFLogger::TFFLogger(TAutomatic) : FLogLevel(LogLevelOfFF(GLibraryLevel.load())), FAutomatic(true) {}

TFFLogger::~TFFLogger() {
    std::lock_guard lock(GLoggerMutex);
    if (GLogger == this) GLogger = nullptr;
}

TFFLogger& FFLogger() {
    std::lock_guard lock(GLoggerMutex);
    if (!GLogger) {
        GAutoLogger.reset(new TFFLogger(TFFLogger::TAutomatic{}));
        GLogger = GAutoLogger.get();
    }
    return *GLogger;
}

TLogLevel TFFLogger::LogLevel() const {
    return FLogLevel;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
    if (level == FLogLevel) return;
    FLogLevel = level;
    if (FFApi.av_log_set_level && RegisteredLogger() == this) {
        GLibraryLevel = FFLevelOf(level);
        FFApi.av_log_set_level(GLibraryLevel);
    }
}

bool TFFLogger::SetLogLevelText(const std::string& word) {
    int ffLevel = 0;
    bool known = false;
    for (const auto& row : LogLevelWords) {
        if (SameText(word, row.Word)) {
            ffLevel = row.FFLevel;
            known = true;
            break;
        }
    }
    if (!known && !TryStrToInt(Trim(word), ffLevel)) return false;
    SetLogLevel(LogLevelOfFF(ffLevel));
    return true;
}

void TFFLogger::Emit(const void* sender, uint32_t threadId, TLogLevel level, const std::string& text) {
    if (!OnLog) return;
    IMainThreadDispatcher* dispatcher = MainThreadDispatcher();
    if (TriggerEventInMainThread && dispatcher && !dispatcher->IsMainThread()) {
        dispatcher->CallAndWait([&] { OnLog(sender, threadId, level, text); });
        return;
    }
    std::lock_guard lock(GDeliverMutex);
    OnLog(sender, threadId, level, text);
}

void TFFLogger::Log(const void* sender, TLogLevel level, const std::string& text) {
    if (!OnLog) return;
    // Engine messages at llVerbose pass at every level but llQuiet.
    if (level <= FLogLevel || (level == llVerbose && FLogLevel != llQuiet))
        Emit(sender, CurrentThreadId(), level, text);
}

void TFFLogger::LogFormat(const void* sender, TLogLevel level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatArgs(format, args);
    va_end(args);
    Log(sender, level, text);
}

void EngineLog(const void* sender, TLogLevel level, const std::string& text) {
    FFLogger().Log(sender, level, text);
}

void EngineLogFormat(const void* sender, TLogLevel level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatArgs(format, args);
    va_end(args);
    FFLogger().Log(sender, level, text);
}

int FFLibraryLevel() {
    return GLibraryLevel.load();
}

void ApplyLogLevelToLibrary() {
    GLibraryLevel = FFLevelOf(FFLogger().LogLevel());
    if (FFApi.av_log_set_level) FFApi.av_log_set_level(GLibraryLevel);
}

void ResetLogState() {
    std::lock_guard lock(GLogMutex);
    GPending.clear();
    GLastMessage.clear();
    GRepeat = 0;
}

TQuietLibraryLog::TQuietLibraryLog() {
    ++GQuietDepth;
}
TQuietLibraryLog::~TQuietLibraryLog() {
    --GQuietDepth;
}

void FFLogCallback(void* context, int level, const char* format, va_list args) {
    if (level >= 0) level &= 0xff; // drop the colour bits some callers add
    if (level > GLibraryLevel.load() || GQuietDepth > 0) return;
    // Called from C code: nothing may escape.
    try {
        const std::string message = FormatArgs(format, args);
        const uint32_t threadId = CurrentThreadId();
        std::vector<TPendingLine> lines;
        {
            std::lock_guard lock(GLogMutex);
            std::string& pending = GPending[threadId];
            const size_t before = pending.size();
            std::string text;
            if (!pending.empty()) {
                pending += message;
                text = message;
            } else {
                text = ContextPrefix(context) + message;
                pending = text;
            }
            if (!text.empty() && text.back() == '\n' && text == GLastMessage) {
                ++GRepeat;
                pending.resize(before);
                if (pending.empty()) GPending.erase(threadId);
                return;
            }
            if (GRepeat > 0) {
                lines.push_back({threadId, level, Printf("    Last message repeated %d times", GRepeat)});
                GRepeat = 0;
            }
            GLastMessage = text;
            for (size_t lf = pending.find('\n'); lf != std::string::npos; lf = pending.find('\n')) {
                lines.push_back({threadId, level, pending.substr(0, lf)});
                pending.erase(0, lf + 1);
            }
            if (pending.empty()) GPending.erase(threadId);
        }
        if (lines.empty()) return;
        TFFLogger& logger = FFLogger();
        for (const auto& line : lines)
            logger.Emit(&logger, line.ThreadId, LogLevelOfFF(line.FFLevel), line.Text);
    } catch (...) {
    }
}

} // namespace mw
