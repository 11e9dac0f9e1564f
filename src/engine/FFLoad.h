// Run-time binding of the FFmpeg libraries: one process-wide loader that opens them by versioned
// file name in dependency order and fills FFApi (FFEntries.h).
//
// Threading contract: loading and unloading happen on the main thread (start-up and program end)
// while no engine work runs; the codec lock may be taken from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace mw {

using TLibrarySet = uint8_t; // bit i stands for library index i (TLibraryIndex)

inline constexpr TLibrarySet AllLibraries = 0x7F;
// The encoder's set: every library but avdevice.
inline constexpr TLibrarySet EncoderLibraries = AllLibraries & ~(1u << 6);

struct TLibraryItem {
    const char* BaseName;
    int Version; // major version; below 0 means no suffix
    bool System; // always loaded by bare name through the system search
};

class TFFLoader {
  public:
    TFFLoader();
    ~TFFLoader(); // unloads everything (program end)
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    void SetEngineFolder(const std::string& folder) { FEngineFolder = folder; }
    const std::string& EngineFolder() const { return FEngineFolder; }
    const std::string& LastError() const { return FLastError; }

    // "lib" + base name + ".so" + "." + major version ("libavcodec.so.59").
    static std::string LibraryFileName(int index);
    // When not empty, used instead of the computed file name (may hold a folder).
    void SetFileNameOverride(int index, const std::string& fileName);

    bool Load(int index);
    // Loads every member in index order; on the first failure unloads the whole set.
    bool LoadSet(TLibrarySet set);
    bool Loaded(int index) const;
    bool LoadedSet(TLibrarySet set) const;
    void Unload(int index);
    void UnloadSet(TLibrarySet set);

  private:
    struct TLibraryStatus {
        std::string FileNameOverride;
        void* Handle = nullptr;
        bool EntriesLoaded = false;
    };
    void ResolveEntries(int index, const std::string& fileName);
    void ClearEntries(int index);

    TLibraryStatus FStatus[7];
    std::string FEngineFolder;
    std::string FLastError;
};

// The one loader (created on first use, unloads everything at program end).
TFFLoader& FFLoader();
const TLibraryItem& LibraryItem(int index);

// The encoder's entry points: loaded? for the encoder set; set the folder and load the encoder set
// (on failure lastErrorMessage gets the loader's last error text).
bool LibrariesLoaded();
bool LoadLibraries(const std::string& folder, std::string& lastErrorMessage);
// "LibAVCodec not loaded." (or the first other library the decoder and the transcoder need that is
// missing); empty when all are loaded.
std::string MissingLibraryText();
// The application's sequence: already loaded, else "lib" then "../lib" beside the executable.
bool LoadLibrariesBesideExecutable(std::string& lastErrorMessage);

// The process-wide codec mutex, taken by the engine around codec open and close.
enum TCodecLockOp : int { clCreate = 0, clObtain = 1, clRelease = 2, clDestroy = 3 };
// Answers 0 on success and -1 on failure, logging as the library's lock manager did.
int CodecLock(TCodecLockOp op);

class TCodecLockGuard {
  public:
    TCodecLockGuard() : FLocked(CodecLock(clObtain) == 0) {}
    ~TCodecLockGuard() {
        if (FLocked) CodecLock(clRelease);
    }
    TCodecLockGuard(const TCodecLockGuard&) = delete;
    TCodecLockGuard& operator=(const TCodecLockGuard&) = delete;

  private:
    bool FLocked;
};

} // namespace mw
