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

// A folder made read-only for as long as this lives. Root is not stopped by permissions, so for
// root the folder is bind-mounted read-only onto itself in a private mount namespace of this
// process (threads and programs started afterwards see it too); for anyone else its mode becomes
// 0500. When that cannot be done, Ok() is false and Why() says why (the test skips with it).
class TReadOnlyFolder {
  public:
    explicit TReadOnlyFolder(std::string path);
    ~TReadOnlyFolder();
    TReadOnlyFolder(const TReadOnlyFolder&) = delete;
    TReadOnlyFolder& operator=(const TReadOnlyFolder&) = delete;
    bool Ok() const { return FWhy.empty(); }
    const std::string& Why() const { return FWhy; }

  private:
    std::string FPath, FWhy;
    bool FMounted = false;
};

} // namespace mw::test
