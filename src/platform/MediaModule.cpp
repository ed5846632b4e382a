#include "platform/MediaModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <mutex>
#include <optional>

#include "platform/Log.h"

#ifndef TWINSIFT_MEDIA_MODULE_NAME
#define TWINSIFT_MEDIA_MODULE_NAME "libtwinsift_media.so"
#endif

namespace tw {
namespace {

struct LoaderState {
    std::once_flag once;
    std::mutex mutex;  // guards testPaths against the start of the load
    bool started = false;
    std::optional<std::vector<std::string>> testPaths;
    const TWMediaFunctions* functions = nullptr;  // written once, under `once`
};

LoaderState& state() {
    static LoaderState* loader = new LoaderState;  // never destroyed: workers may still read it at exit
    return *loader;
}

void logLine(const char* line) {
    tw::log("%s", line);
}

const TWMediaHost kHost = {TW_MEDIA_ABI_VERSION, logLine};

// The module at `path`, or null with the reason appended to `reasons`.
const TWMediaFunctions* openModule(const std::string& path, std::string& reasons) {
    auto fail = [&](const char* why) {
        if (!reasons.empty()) reasons += "; ";
        reasons += path + ": " + (why ? why : "unknown error");
        return nullptr;
    };
    // RTLD_NOW: a module with unresolved symbols fails here, not at its first call.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return fail(dlerror());
    auto entry = reinterpret_cast<TWMediaEntry>(dlsym(handle, TW_MEDIA_ENTRY_NAME));
    if (!entry) {
        const char* why = dlerror();
        std::string text = why ? why : "no entry point";
        dlclose(handle);
        return fail(text.c_str());
    }
    const TWMediaFunctions* functions = entry(&kHost);
    if (!functions || functions->abiVersion != TW_MEDIA_ABI_VERSION) {
        // Its libraries may keep state that points into it: it stays mapped.
        return fail("built for another version of Twinsift");
    }
    return functions;
}

void load(LoaderState& loader) {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(loader.mutex);
        loader.started = true;
        paths = loader.testPaths ? *loader.testPaths : mediaModuleCandidates();
    }
    std::string reasons;
    for (const std::string& path : paths) {
        if ((loader.functions = openModule(path, reasons))) return;
    }
    tw::log("Image support is unavailable, images are treated as unreadable: cannot load the image module (%s)",
            reasons.empty() ? "no place to look for it" : reasons.c_str());
}

std::string executableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

long mediaReadAt(void* handle, uint64_t offset, void* buffer, size_t length) {
    return static_cast<const SafeFile*>(handle)->readAt(offset, buffer, length);
}

FILE* mediaOpenStream(void* handle) {
    return static_cast<const SafeFile*>(handle)->openStream().release();
}

}  // namespace

const TWMediaFunctions* mediaModule() {
    LoaderState& loader = state();
    std::call_once(loader.once, load, std::ref(loader));
    return loader.functions;
}

std::vector<std::string> mediaModuleCandidates() {
    std::vector<std::string> paths;
    const std::string folder = executableFolder();
    if (!folder.empty()) paths.push_back(folder + "/../lib/twinsift/" TWINSIFT_MEDIA_MODULE_NAME);
#ifdef TWINSIFT_MEDIA_MODULE_BUILD_PATH
    paths.push_back(TWINSIFT_MEDIA_MODULE_BUILD_PATH);
#endif
    return paths;
}

bool setMediaModulePathsForTesting(std::vector<std::string> paths) {
    LoaderState& loader = state();
    std::lock_guard lock(loader.mutex);
    if (loader.started) return false;
    loader.testPaths = std::move(paths);
    return true;
}

MediaFileView::MediaFileView(const SafeFile& file)
    : view_{const_cast<SafeFile*>(&file), file.size(), mediaReadAt, mediaOpenStream} {}

}  // namespace tw
