#include "engine/FFLoad.h"

#include "app/UtilFuncs.h"
#include "engine/FFEntries.h"
#include "engine/FFLog.h"

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>

namespace mw {

TFFEntries FFApi;

namespace {

const TLibraryItem LibraryTable[LibraryCount] = {
    {"avutil", LIBAVUTIL_VERSION_MAJOR, false},     {"swresample", LIBSWRESAMPLE_VERSION_MAJOR, false},
    {"swscale", LIBSWSCALE_VERSION_MAJOR, false},   {"avcodec", LIBAVCODEC_VERSION_MAJOR, false},
    {"avformat", LIBAVFORMAT_VERSION_MAJOR, false}, {"avfilter", LIBAVFILTER_VERSION_MAJOR, false},
    {"avdevice", LIBAVDEVICE_VERSION_MAJOR, false},
};

struct TEntryRow {
    int Library;
    const char* Name;
    void* Slot; // address of the function pointer in FFApi
};

const TEntryRow EntryTable[] = {
#define MW_FF_ENTRY_ROW(lib, name) {lib, #name, reinterpret_cast<void*>(&FFApi.name)},
    MW_FF_ENTRY_LIST(MW_FF_ENTRY_ROW)
#undef MW_FF_ENTRY_ROW
};

std::atomic<bool> GFinalizing{false};

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string DlError() {
    const char* e = ::dlerror();
    return e ? e : "unknown error";
}

// ---- codec lock ----

std::mutex GCodecLockMutex;              // guards the two below
std::unique_ptr<std::mutex> GCodecMutex; // the process's codec mutex (the slot refers to it)
int GCodecMutexId = 0;                   // what the log shows as its handle
int GNextCodecMutexId = 1;

} // namespace

const TLibraryItem& LibraryItem(int index) {
    return LibraryTable[index];
}

int CodecLock(TCodecLockOp op) {
    if (GFinalizing) return 0;
    switch (op) {
    case clCreate: {
        std::lock_guard lock(GCodecLockMutex);
        if (GCodecMutex) {
            EngineLogFormat(nullptr, llError, "error, codec mutex [%d] already exist.", GCodecMutexId);
            return -1;
        }
        GCodecMutex = std::make_unique<std::mutex>();
        GCodecMutexId = GNextCodecMutexId++;
        EngineLogFormat(nullptr, llDebug, "create codec mutex [%d].", GCodecMutexId);
        return 0;
    }
    case clObtain:
    case clRelease: {
        std::mutex* m = nullptr;
        int id = 0;
        {
            std::lock_guard lock(GCodecLockMutex);
            m = GCodecMutex.get();
            id = GCodecMutexId;
        }
        if (!m) {
            EngineLog(nullptr, llError, "error, codec mutex not available.");
            return -1;
        }
        if (op == clObtain)
            m->lock();
        else
            m->unlock();
        EngineLogFormat(nullptr, llDebug,
                        op == clObtain ? "obtain codec mutex [%d]." : "release codec mutex [%d].", id);
        return 0;
    }
    case clDestroy: {
        std::lock_guard lock(GCodecLockMutex);
        if (GCodecMutex) {
            EngineLogFormat(nullptr, llDebug, "destory codec mutex [%d].", GCodecMutexId);
            GCodecMutex.reset();
            GCodecMutexId = 0;
        }
        return 0;
    }
    }
    EngineLogFormat(nullptr, llError, "error, invalid codec mutex operation %d.", static_cast<int>(op));
    return -1;
}

TFFLoader::TFFLoader() = default;

TFFLoader::~TFFLoader() {
    GFinalizing = true;
    UnloadSet(AllLibraries);
}

std::string TFFLoader::LibraryFileName(int index) {
    const TLibraryItem& item = LibraryTable[index];
    std::string name = std::string("lib") + item.BaseName + ".so";
    if (item.Version >= 0) name += "." + std::to_string(item.Version);
    return name;
}

void TFFLoader::SetFileNameOverride(int index, const std::string& fileName) {
    FStatus[index].FileNameOverride = fileName;
}

void TFFLoader::ResolveEntries(int index, const std::string& fileName) {
    void* handle = FStatus[index].Handle;
    for (const auto& row : EntryTable) {
        if (row.Library != index) continue;
        ::dlerror();
        void* symbol = ::dlsym(handle, row.Name);
        if (!symbol) {
            char text[1024];
            std::snprintf(text, sizeof text, "Load function %s@%s error: %s", row.Name, fileName.c_str(),
                          DlError().c_str());
            throw std::runtime_error(text);
        }
        std::memcpy(row.Slot, &symbol, sizeof symbol);
    }
    if (index == libAVDevice) FFApi.avdevice_register_all();
}

void TFFLoader::ClearEntries(int index) {
    void* none = nullptr;
    for (const auto& row : EntryTable)
        if (row.Library == index) std::memcpy(row.Slot, &none, sizeof none);
}

bool TFFLoader::Load(int index) {
    TLibraryStatus& status = FStatus[index];
    const TLibraryItem& item = LibraryTable[index];
    std::string fileName = status.FileNameOverride.empty() ? LibraryFileName(index) : status.FileNameOverride;
    if (!status.Handle) {
        std::string folder = ExtractFilePath(fileName);
        const std::string bare = ExtractFileName(fileName);
        if (folder.empty() && !FEngineFolder.empty() && !item.System)
            folder = AddTrailingBackslash(FEngineFolder);
        // A library in the engine folder is opened there; its dependencies come from the same folder
        // because they were opened before it (dependency order) and the dynamic loader matches them
        // by their versioned names.
        const std::string tried = !folder.empty() && IsRegularFile(folder + bare) ? folder + bare : bare;
        // Unloading drops our handle and entries, but the code stays mapped: the libraries and their
        // dependencies keep exit handlers and thread-local destructors that must not be unmapped.
        status.Handle = ::dlopen(tried.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!status.Handle) {
            FLastError = "Load library " + tried + " error: " + DlError();
            return false;
        }
        fileName = tried;
    }
    if (status.EntriesLoaded) return true;
    try {
        ResolveEntries(index, fileName);
        status.EntriesLoaded = true;
    } catch (const std::exception& e) {
        FLastError = e.what();
        Unload(index);
        return false;
    }
    // Hooks, once per load.
    if (index == libAVUtil) {
        FFApi.av_log_set_callback(FFLogCallback);
        ApplyLogLevelToLibrary();
    } else if (index == libAVCodec) {
        CodecLock(clCreate);
    }
    return true;
}

bool TFFLoader::LoadSet(TLibrarySet set) {
    for (int i = 0; i < LibraryCount; ++i) {
        if (!(set & (1u << i))) continue;
        if (!Load(i)) {
            const std::string error = FLastError;
            UnloadSet(set);
            FLastError = error;
            return false;
        }
    }
    return true;
}

bool TFFLoader::Loaded(int index) const {
    return FStatus[index].Handle && FStatus[index].EntriesLoaded;
}

bool TFFLoader::LoadedSet(TLibrarySet set) const {
    for (int i = 0; i < LibraryCount; ++i)
        if ((set & (1u << i)) && !Loaded(i)) return false;
    return true;
}

void TFFLoader::Unload(int index) {
    TLibraryStatus& status = FStatus[index];
    if (status.EntriesLoaded) {
        if (index == libAVCodec) CodecLock(clDestroy);
        if (index == libAVUtil) ResetLogState();
        ClearEntries(index);
        status.EntriesLoaded = false;
    }
    if (status.Handle) {
        ::dlclose(status.Handle);
        status.Handle = nullptr;
    }
}

void TFFLoader::UnloadSet(TLibrarySet set) {
    // Dependents first, so that no library outlives what it was bound to.
    for (int i = LibraryCount - 1; i >= 0; --i)
        if (set & (1u << i)) Unload(i);
}

TFFLoader& FFLoader() {
    static TFFLoader loader;
    return loader;
}

bool LibrariesLoaded() {
    return FFLoader().LoadedSet(EncoderLibraries);
}

std::string MissingLibraryText() {
    static const struct {
        int Library;
        const char* Text;
    } Required[] = {{libAVCodec, "LibAVCodec not loaded."},
                    {libAVFormat, "LibAVFormat not loaded."},
                    {libAVUtil, "LibAVUtil not loaded."},
                    {libSwScale, "LibSwScale not loaded."}};
    for (const auto& r : Required)
        if (!FFLoader().Loaded(r.Library)) return r.Text;
    return {};
}

bool LoadLibraries(const std::string& folder, std::string& lastErrorMessage) {
    TFFLoader& loader = FFLoader();
    loader.SetEngineFolder(folder);
    if (loader.LoadSet(EncoderLibraries)) return true;
    lastErrorMessage = loader.LastError();
    return false;
}

bool LoadLibrariesBesideExecutable(std::string& lastErrorMessage) {
    if (LibrariesLoaded()) return true;
    const std::string exe = ExecutableFolder();
    return LoadLibraries(exe + "lib", lastErrorMessage) || LoadLibraries(exe + "../lib", lastErrorMessage);
}

} // namespace mw
