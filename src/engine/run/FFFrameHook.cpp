#include "engine/run/FFFrameHook.h"

#include "engine/job/FFJob.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <vector>

namespace mw {

namespace {

constexpr size_t MaxWords = 254;

// Plug-in libraries stay loaded for the life of the process: hooks of finished jobs may have
// left state in them, and unloading under a running job would be fatal.
std::mutex GLibrariesMutex;
std::map<std::string, void*> GLibraries;

void* LoadLibraryOnce(const std::string& path) {
    std::lock_guard lock(GLibrariesMutex);
    if (auto it = GLibraries.find(path); it != GLibraries.end()) return it->second;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) GLibraries.emplace(path, handle);
    return handle;
}

std::vector<std::string> SplitWords(const std::string& commandLine) {
    const char separator = commandLine.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= commandLine.size() && words.size() < MaxWords) {
        const size_t end = std::min(commandLine.find(separator, start), commandLine.size());
        if (end > start) words.push_back(commandLine.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

void LogError(const std::string& text) {
    FFApi.av_log(nullptr, AV_LOG_ERROR, "%s", text.c_str());
}

} // namespace

TFrameHook::~TFrameHook() {
    if (Release) Release(Context);
}

bool AddFrameHook(TTranscodeJob& job, const std::string& commandLine) {
    auto fail = [&job, &commandLine](const std::string& logText) {
        LogError(logText);
        job.BuildErrorText = "Failed to add video hook function: " + commandLine;
        return false;
    };
    std::vector<std::string> words = SplitWords(commandLine);
    if (words.empty()) return fail("Failed to add video hook function: no library named\n");
    const std::string& library = words[0];
    void* handle = LoadLibraryOnce(library);
    if (!handle) {
        const char* reason = ::dlerror();
        return fail(std::string(reason ? reason : "cannot load library") + "\n");
    }
    auto process = reinterpret_cast<TFrameHookProcess>(::dlsym(handle, "Process"));
    auto configure = reinterpret_cast<TFrameHookConfigure>(::dlsym(handle, "Configure"));
    if (!process) return fail("Failed to find Process entrypoint in " + library + "\n");
    if (!configure && words.size() > 1)
        return fail("Failed to find Configure entrypoint in " + library + "\n");

    auto hook = std::make_unique<TFrameHook>();
    hook->CommandLine = commandLine;
    hook->Process = process;
    if (configure) {
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        if (configure(&hook->Context, static_cast<int>(words.size()), argv.data()) != 0)
            return fail("Failed to Configure " + library + "\n");
    }
    // Only a configured hook is released.
    hook->Release = reinterpret_cast<TFrameHookRelease>(::dlsym(handle, "Release"));
    job.VideoHooks.push_back(std::move(hook));
    return true;
}

} // namespace mw
