#include "TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mw::test {

TTempDir::TTempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "mwtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl + "/";
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

std::string TTempDir::Write(const std::string& name, const std::string& content) const {
    const std::string p = FPath + name;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

std::string TTempDir::Read(const std::string& name) const {
    std::ifstream in(FPath + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

namespace {

// Once per process: mounts made from here on stay invisible to the rest of the machine.
std::string EnterPrivateMountNamespace() {
    static const std::string why = [] {
        if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("private mounts: ") + std::strerror(errno);
        return std::string();
    }();
    return why;
}

} // namespace

TReadOnlyFolder::TReadOnlyFolder(std::string path) : FPath(std::move(path)) {
    if (::geteuid() != 0) {
        if (::chmod(FPath.c_str(), 0500) != 0) FWhy = std::string("chmod: ") + std::strerror(errno);
        return;
    }
    FWhy = EnterPrivateMountNamespace();
    if (!FWhy.empty()) {
        FWhy = "running as root, and no read-only mount can be made (" + FWhy + ")";
        return;
    }
    if (::mount(FPath.c_str(), FPath.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        (FMounted = true,
         ::mount(nullptr, FPath.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0))
        FWhy = std::string("running as root, and the read-only bind mount failed: ") + std::strerror(errno);
}

TReadOnlyFolder::~TReadOnlyFolder() {
    if (FMounted)
        ::umount2(FPath.c_str(), MNT_DETACH);
    else if (::geteuid() != 0)
        ::chmod(FPath.c_str(), 0700);
}

} // namespace mw::test
