#include "TWMoveDestination.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string resolved(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) return fs::path(path).lexically_normal().string();
    fs::path real = fs::weakly_canonical(absolute, ec);
    std::string text = (ec ? absolute.lexically_normal() : real).string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

bool holds(const std::string& folder, const std::string& path) {
    if (folder == "/") return true;
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/');
}

}  // namespace

std::optional<std::string> TWMoveDestination::scannedFolderHolding(const std::string& destination,
                                                                   const std::vector<std::string>& scannedFolders) {
    const std::string where = resolved(destination);
    for (const auto& folder : scannedFolders)
        if (holds(resolved(folder), where)) return folder;
    return std::nullopt;
}
