#include "engine/FFVersions.h"

#include "app/ProductConfig.h"
#include "engine/FFEntries.h"
#include "engine/FFLoad.h"

#include <dlfcn.h>

namespace mw {

namespace {

using TVersionEntry = unsigned (*TFFEntries::*)();

// Each library's own version function, by library index.
const TVersionEntry VersionEntries[LibraryCount] = {
    &TFFEntries::avutil_version,   &TFFEntries::swresample_version, &TFFEntries::swscale_version,
    &TFFEntries::avcodec_version,  &TFFEntries::avformat_version,   &TFFEntries::avfilter_version,
    &TFFEntries::avdevice_version,
};

// The file the function was loaded from, as the dynamic loader reports it.
std::string LoadedFrom(void* function) {
    Dl_info info{};
    if (::dladdr(function, &info) == 0 || !info.dli_fname) return {};
    return info.dli_fname;
}

} // namespace

std::vector<TComponentVersion> FindLibraryVersions() {
    std::string error;
    LoadLibrariesBesideExecutable(error);
    TFFLoader& loader = FFLoader();
    std::vector<TComponentVersion> found;
    for (int i = 0; i < LibraryCount; ++i) {
        TComponentVersion c{std::string("lib") + LibraryItem(i).BaseName, "", ""};
        // The encoder's set comes as a whole; report each library on its own when that failed.
        if (!loader.Loaded(i) && !loader.Load(i)) {
            c.Note = loader.LastError();
        } else if (const auto entry = FFApi.*VersionEntries[i]) {
            c.Version = PackedVersionText(entry());
            c.Note = LoadedFrom(reinterpret_cast<void*>(entry));
        }
        found.push_back(c);
    }
    return found;
}

TProgramVersion CollectProgramVersion(const std::string& program) {
    TProgramVersion v;
    v.Program = program;
    ReadEditionVersion(ProductConfigFile(), v);
    v.Libraries = FindLibraryVersions();
    return v;
}

} // namespace mw
