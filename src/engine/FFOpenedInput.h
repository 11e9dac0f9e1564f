// A demuxer opened on one file, as the probe decoder and the job's inputs hold it: the format
// context and, for names the library cannot open itself, the custom I/O it reads through. The
// context is closed before the I/O (the library never frees a custom one), whatever the order the
// holder is reset, moved or destroyed in.
//
// Threading: one thread at a time; the interrupt callback asks the registry of the calling thread.
#pragma once

#include "engine/FFEntries.h"
#include "engine/FFUtils.h"
#include "engine/UnicodeProtocol.h"

#include <memory>
#include <string>
#include <utility>

namespace mw {

class TOpenedInput {
  public:
    TOpenedInput() = default;
    ~TOpenedInput() { reset(); }
    TOpenedInput(TOpenedInput&& other) noexcept { *this = std::move(other); }
    TOpenedInput& operator=(TOpenedInput&& other) noexcept;

    // First step: a context for url (a library file name) with the engine's interrupt callback,
    // non-blocking reads and, when the name needs it, the custom I/O. The caller may then set the
    // context up (codecs, generic options) before Open. nullptr with the library error in error
    // (nothing is held then).
    AVFormatContext* Allocate(const std::string& url, int& error);
    // Second step: avformat_open_input on the allocated context. Answers 0 or the library error;
    // after an error nothing is held.
    int Open(const std::string& url, const AVInputFormat* format, AVDictionary** options);

    // The context, smart-pointer style (the run reads its inputs through these).
    AVFormatContext* get() const { return FContext.get(); }
    AVFormatContext* operator->() const { return FContext.get(); }
    explicit operator bool() const { return FContext != nullptr; }
    // Closes the context, then its I/O.
    void reset();

  private:
    TInputContextPtr FContext;           // opened once Open succeeded
    AVFormatContext* FPending = nullptr; // allocated, not yet opened
    std::unique_ptr<TUnicodeIO> FIO;
};

} // namespace mw
