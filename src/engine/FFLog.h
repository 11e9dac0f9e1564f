// The engine's log component and the library log callback.
//
// Threading contract:
// - The library log callback and Log/LogFormat may be called from any thread.
// - The log lock (internal) guards the per-thread line assembly, the last message and the repeat
//   counter; it is released before any line is delivered, so an OnLog handler may log again.
// - Delivery: with TriggerEventInMainThread and a main-thread dispatcher set, a worker's line is
//   handed to the main thread with CallAndWait (the worker waits); otherwise OnLog runs on the
//   calling thread, one delivery at a time.
// - OnLog, LogLevel and TriggerEventInMainThread are set on the main thread before logging starts.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

namespace mw {

enum TLogLevel : int { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// Library numeric level of a TLogLevel: (ordinal - 1) * 8.
int FFLevelOf(TLogLevel level);
// TLogLevel of a library numeric level.
TLogLevel LogLevelOfFF(int ffLevel);
// The id the log shows for the calling thread.
uint32_t CurrentThreadId();

// sender (the logging object or nullptr), thread id, level, text
using TLogEvent =
    std::function<void(const void* sender, uint32_t threadId, TLogLevel level, const std::string& text)>;

class TFFLogger {
  public:
    // Only one non-automatic logger may exist ("Allow creating only one instance of TFFLogger.");
    // creating one frees the automatic logger made by FFLogger().
    TFFLogger();
    ~TFFLogger();
    TFFLogger(const TFFLogger&) = delete;
    TFFLogger& operator=(const TFFLogger&) = delete;

    TLogLevel LogLevel() const;
    // Also sets the library level when av_log_set_level is resolved.
    void SetLogLevel(TLogLevel level);
    // "quiet" ... "debug" (any case) or an integer library level; false leaves the level as it was.
    bool SetLogLevelText(const std::string& word);

    bool TriggerEventInMainThread = true;
    TLogEvent OnLog;

    void Log(const void* sender, TLogLevel level, const std::string& text);
    void LogFormat(const void* sender, TLogLevel level, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // Delivers one line through OnLog (level filtering is the caller's business).
    void Emit(const void* sender, uint32_t threadId, TLogLevel level, const std::string& text);

  private:
    friend TFFLogger& FFLogger();
    struct TAutomatic {};
    explicit TFFLogger(TAutomatic);

    TLogLevel FLogLevel;
    bool FAutomatic = false;
};

// The registered logger, or a new automatic one when none exists.
TFFLogger& FFLogger();

// Engine log calls: the process-wide logger's Log / LogFormat.
void EngineLog(const void* sender, TLogLevel level, const std::string& text);
void EngineLogFormat(const void* sender, TLogLevel level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// While one lives, the library's messages on the calling thread are dropped: for trying values on
// throw-away contexts, whose complaints the caller reports in its own words.
class TQuietLibraryLog {
  public:
    TQuietLibraryLog();
    ~TQuietLibraryLog();
    TQuietLibraryLog(const TQuietLibraryLog&) = delete;
    TQuietLibraryLog& operator=(const TQuietLibraryLog&) = delete;
};

// The callback installed with av_log_set_callback.
void FFLogCallback(void* context, int level, const char* format, va_list args);
// Current library level (starts at 32, llInfo); messages above it are dropped by the callback.
int FFLibraryLevel();
// Applies the registered logger's level to the library (called when the callback is installed).
void ApplyLogLevelToLibrary();
// Forgets per-thread partial lines and the repeat state (tests and library unload).
void ResetLogState();

} // namespace mw
