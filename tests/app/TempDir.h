// A fresh folder per test, removed afterwards.
#pragma once

#include <string>

namespace mw::test {

class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    // Path with trailing separator.
    const std::string& Path() const { return FPath; }
    // Writes a file below the folder and returns its path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

  private:
    std::string FPath;
};

} // namespace mw::test
