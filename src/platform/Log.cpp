#include "platform/Log.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace tw {
namespace {

std::mutex gLogMutex;
std::atomic<unsigned long> gLineCount{0};
std::vector<std::string>* gCaptured = nullptr;  // guarded by gLogMutex
bool gCaptureSilent = false;

}  // namespace

void log(const char* format, ...) {
    char stackBuffer[1024];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = vsnprintf(stackBuffer, sizeof stackBuffer, format, args);
    va_end(args);
    std::string line;
    if (needed < 0) {
        line = format;
    } else if (static_cast<size_t>(needed) < sizeof stackBuffer) {
        line.assign(stackBuffer, static_cast<size_t>(needed));
    } else {
        line.resize(static_cast<size_t>(needed) + 1);
        vsnprintf(line.data(), line.size(), format, copy);
        line.resize(static_cast<size_t>(needed));
    }
    va_end(copy);
    // One line is one line: an embedded newline (a file name may hold one) is escaped.
    for (size_t pos = 0; (pos = line.find('\n', pos)) != std::string::npos; pos += 2) line.replace(pos, 1, "\\n");

    gLineCount.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gCaptured) {
        gCaptured->push_back(line);
        if (gCaptureSilent) return;
    }
    line.push_back('\n');
    fwrite(line.data(), 1, line.size(), stderr);
    fflush(stderr);
}

unsigned long logLineCount() { return gLineCount.load(std::memory_order_relaxed); }

LogCapture::LogCapture(bool silent) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    delete gCaptured;
    gCaptured = new std::vector<std::string>();
    gCaptureSilent = silent;
}

LogCapture::~LogCapture() {
    std::lock_guard<std::mutex> lock(gLogMutex);
    delete gCaptured;
    gCaptured = nullptr;
    gCaptureSilent = false;
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard<std::mutex> lock(gLogMutex);
    return gCaptured ? *gCaptured : std::vector<std::string>{};
}

size_t LogCapture::count(const std::string& line) const {
    auto all = lines();
    return static_cast<size_t>(std::count(all.begin(), all.end(), line));
}

bool LogCapture::contains(const std::string& fragment) const {
    auto all = lines();
    return std::any_of(all.begin(), all.end(), [&](const std::string& l) { return l.find(fragment) != std::string::npos; });
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gCaptured) gCaptured->clear();
}

}  // namespace tw
