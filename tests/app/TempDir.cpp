#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

} // namespace mw::test
