#pragma once
// One formatted line per anomaly, to standard error, through one function.
// Safe from any thread: each line is written whole.

#include <functional>
#include <string>
#include <vector>

namespace tw {

// printf-style; a trailing newline is added. Never throws.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Number of lines logged since the process started (tests read it to see that an
// anomaly was absorbed rather than silently skipped).
unsigned long logLineCount();

// Collects every line logged while it lives (lines still go to standard error unless
// `silent`). Safe from any thread; at most one capture is active at a time.
class LogCapture {
public:
    explicit LogCapture(bool silent = true);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    // Number of captured lines equal to `line`.
    size_t count(const std::string& line) const;
    // Whether some captured line contains `fragment`.
    bool contains(const std::string& fragment) const;
    void clear();
};

}  // namespace tw
