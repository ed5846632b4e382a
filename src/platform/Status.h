#pragma once
// The small result of an operation that a caller must handle (move, trash, write
// settings): success, or the path concerned and a reason a person can read.

#include <string>

namespace tw {

struct Status {
    bool ok = true;
    std::string path;
    std::string reason;
    int error = 0;  // errno where one applies, else 0

    static Status success() { return {}; }
    static Status failure(std::string path, std::string reason, int error = 0) {
        return Status{false, std::move(path), std::move(reason), error};
    }
    explicit operator bool() const { return ok; }
    // "path: reason", or "" on success.
    std::string message() const { return ok ? std::string() : path.empty() ? reason : path + ": " + reason; }
};

}  // namespace tw
