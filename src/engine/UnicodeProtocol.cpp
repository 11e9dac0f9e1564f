#include "engine/UnicodeProtocol.h"

#include "app/UtilFuncs.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

const std::string KnownProtocols = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
constexpr size_t PrefixLength = 13;
constexpr int IOBufferSize = 32768;

constexpr const char* FileProtocolPrefix = "file:";

// A name whose first component looks like "scheme:" is read by the libraries as a protocol.
bool LooksAddressedToProtocol(const std::string& name) {
    const size_t colon = name.find(':');
    return colon != std::string::npos && name.find('/') > colon;
}

} // namespace

bool NeedsUnicodeProtocol(const std::string& name) {
    const size_t colon = name.find(':');
    if (colon != std::string::npos &&
        KnownProtocols.find(":" + name.substr(0, colon) + ":") != std::string::npos)
        return false;
    return !IsValidUtf8(name);
}

std::string LibraryFileName(const std::string& name) {
    if (HasUnicodePrefix(name)) return name;
    if (NeedsUnicodeProtocol(name)) return UnicodeProtocolPrefix + name;
    if (!LooksAddressedToProtocol(name)) return name;
    // "a:b.wav" is the user's file when it exists; a new (output) name is a file too when no
    // protocol of the libraries would take it. Anything else stays addressed to its protocol.
    struct stat st;
    const bool local = ::stat(name.c_str(), &st) == 0;
    const bool noProtocol = FFApi.avio_find_protocol_name && !FFApi.avio_find_protocol_name(name.c_str());
    return local || noProtocol ? FileProtocolPrefix + name : name;
}

bool HasUnicodePrefix(const std::string& libraryName) {
    return libraryName.size() > PrefixLength &&
           libraryName.compare(0, PrefixLength, UnicodeProtocolPrefix) == 0;
}

std::string WideFileName(const std::string& libraryName) {
    if (HasUnicodePrefix(libraryName)) return libraryName.substr(PrefixLength);
    if (libraryName.compare(0, 5, FileProtocolPrefix) == 0) return libraryName.substr(5);
    return libraryName;
}

int UnicodeOpen(const std::string& url, int flags) {
    const std::string name = WideFileName(url);
    int mode = O_RDONLY;
    if (flags & 2)
        mode = O_RDWR | O_CREAT | O_TRUNC;
    else if (flags & 1)
        mode = O_WRONLY | O_CREAT | O_TRUNC;
    const int fd = ::open(name.c_str(), mode | O_CLOEXEC, 0666);
    return fd < 0 ? -2 : fd;
}

int UnicodeRead(int fd, uint8_t* buffer, int size) {
    const ssize_t n = ::read(fd, buffer, static_cast<size_t>(size));
    return n < 0 ? -1 : static_cast<int>(n);
}

int UnicodeWrite(int fd, const uint8_t* buffer, int size) {
    const ssize_t n = ::write(fd, buffer, static_cast<size_t>(size));
    return n < 0 ? -1 : static_cast<int>(n);
}

int64_t UnicodeSeek(int fd, int64_t position, int whence) {
    if (whence & AVSEEK_SIZE) {
        struct stat st;
        return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }
    whence &= ~AVSEEK_FORCE;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    const off_t r = ::lseek(fd, static_cast<off_t>(position), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

void UnicodeClose(int fd) {
    if (fd >= 0) ::close(fd);
}

std::unique_ptr<TUnicodeIO> TUnicodeIO::Open(const std::string& url, int flags, int& error) {
    const int fd = UnicodeOpen(url, flags);
    if (fd < 0) {
        error = AVERROR(errno);
        return nullptr;
    }
    return Wrap(fd, flags & 3, error);
}

std::unique_ptr<TUnicodeIO> TUnicodeIO::AdoptForWriting(int fd, int& error) {
    return Wrap(fd, true, error);
}

std::unique_ptr<TUnicodeIO> TUnicodeIO::Wrap(int fd, bool writing, int& error) {
    std::unique_ptr<TUnicodeIO> io(new TUnicodeIO);
    io->FFd = fd;
    io->FWriting = writing;
    auto* buffer = static_cast<uint8_t*>(FFApi.av_malloc(IOBufferSize));
    if (buffer)
        io->FContext = FFApi.avio_alloc_context(buffer, IOBufferSize, io->FWriting ? 1 : 0, io.get(),
                                                ReadPacket, io->FWriting ? WritePacket : nullptr, SeekPacket);
    if (!io->FContext) {
        FFApi.av_free(buffer);
        error = AVERROR(ENOMEM);
        return nullptr;
    }
    return io;
}

TUnicodeIO::~TUnicodeIO() {
    Close();
}

void TUnicodeIO::Close() {
    if (FContext) {
        if (FWriting) FFApi.avio_flush(FContext);
        FFApi.av_freep(&FContext->buffer);
        FFApi.avio_context_free(&FContext);
    }
    UnicodeClose(FFd);
    FFd = -1;
}

int TUnicodeIO::ReadPacket(void* opaque, uint8_t* buffer, int size) {
    const int n = UnicodeRead(static_cast<TUnicodeIO*>(opaque)->FFd, buffer, size);
    if (n < 0) return AVERROR(errno);
    return n == 0 ? AVERROR_EOF : n;
}

int TUnicodeIO::WritePacket(void* opaque, uint8_t* buffer, int size) {
    // The library takes any answer >= 0 as the whole block written: a short write must not lose
    // the rest.
    int written = 0;
    while (written < size) {
        const int n = UnicodeWrite(static_cast<TUnicodeIO*>(opaque)->FFd, buffer + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return AVERROR(errno);
        if (n == 0) return AVERROR(EIO);
        written += n;
    }
    return written;
}

int64_t TUnicodeIO::SeekPacket(void* opaque, int64_t offset, int whence) {
    const int64_t r = UnicodeSeek(static_cast<TUnicodeIO*>(opaque)->FFd, offset, whence);
    return r < 0 ? AVERROR(errno) : r;
}

} // namespace mw
