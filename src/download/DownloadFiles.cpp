#include "download/DownloadFiles.h"

#include "app/UtilFuncs.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <random>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

std::string RandomHex() {
    uint64_t value = 0;
    if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        std::random_device rd;
        value = (static_cast<uint64_t>(rd()) << 32) ^ rd();
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(value));
    return buf;
}

std::string NewPartialFileName(const std::string& folder) {
    return AddTrailingBackslash(folder) + ".mediawizard-" + RandomHex() + ".part";
}

bool WriteNewFile(const std::string& path, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < data.size();) {
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        ok = w > 0;
        if (ok) done += static_cast<size_t>(w);
    }
    const int saved = errno;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ::unlink(path.c_str());
        errno = saved ? saved : EIO;
    }
    return ok;
}

bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

std::string MakePrivateFolder(const std::string& folder) {
    for (int i = 0; i < 4; ++i) {
        const std::string path = AddTrailingBackslash(folder) + ".mediawizard-" + RandomHex() + ".tmp";
        if (::mkdir(path.c_str(), 0700) == 0) return path;
        if (errno != EEXIST) break;
    }
    return "";
}

namespace {
int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path); // a symbolic link is removed itself, never what it names
    return 0;
}
} // namespace

void RemovePrivateFolder(const std::string& path) {
    if (path.empty()) return;
    struct stat st;
    // Only a real folder: a link planted at its name is not followed.
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

} // namespace mw
