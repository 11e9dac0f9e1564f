// File names the libraries cannot take as they are travel as "unicode:utf8:" + UTF-8 name and are
// opened through an I/O context of the engine's own (open/read/write/seek/close on POSIX calls).
// On this platform file names are UTF-8 already, so a name needs the prefix only when it is not
// valid UTF-8; a prefixed name given by a caller is always honoured.
#pragma once

#include "engine/FFEntries.h"

#include <memory>
#include <string>

namespace mw {

inline constexpr const char* UnicodeProtocolPrefix = "unicode:utf8:";

// True unless the name is addressed to a known protocol or can be passed unchanged.
bool NeedsUnicodeProtocol(const std::string& name);
// The one place that turns a user's file name into the name handed to the libraries (for inputs
// and outputs alike): a name that is not UTF-8 gets the "unicode:utf8:" prefix; a name the
// libraries would take as "protocol:..." gets "file:" when it is an existing local file, or when
// no protocol of the libraries would take it; a name with either prefix already is kept.
std::string LibraryFileName(const std::string& name);
// The reverse: the user's file name of a library name (either prefix removed).
std::string WideFileName(const std::string& libraryName);
bool HasUnicodePrefix(const std::string& libraryName);

// The five protocol operations (answers as the library expects: bytes, new position, or < 0).
// Open flags: 0 read (must exist), bit 0 write (create or truncate), bit 1 read and write
// (create or truncate). Answers the file descriptor, or -2 when it cannot be opened.
int UnicodeOpen(const std::string& url, int flags);
int UnicodeRead(int fd, uint8_t* buffer, int size);
int UnicodeWrite(int fd, const uint8_t* buffer, int size);
int64_t UnicodeSeek(int fd, int64_t position, int whence);
void UnicodeClose(int fd);

// An I/O context over one file opened through the protocol. Close() flushes writes and closes.
class TUnicodeIO {
  public:
    ~TUnicodeIO();
    TUnicodeIO(const TUnicodeIO&) = delete;
    TUnicodeIO& operator=(const TUnicodeIO&) = delete;

    // nullptr with error set to a library error code when the file cannot be opened.
    static std::unique_ptr<TUnicodeIO> Open(const std::string& url, int flags, int& error);
    // An I/O context over a file the caller opened (and hands over) for writing.
    static std::unique_ptr<TUnicodeIO> AdoptForWriting(int fd, int& error);
    AVIOContext* Context() const { return FContext; }
    void Close();

  private:
    TUnicodeIO() = default;
    // Owns fd from here on (closed also when no context can be made).
    static std::unique_ptr<TUnicodeIO> Wrap(int fd, bool writing, int& error);
    static int ReadPacket(void* opaque, uint8_t* buffer, int size);
    static int WritePacket(void* opaque, uint8_t* buffer, int size);
    static int64_t SeekPacket(void* opaque, int64_t offset, int whence);

    int FFd = -1;
    bool FWriting = false;
    AVIOContext* FContext = nullptr;
};

} // namespace mw
