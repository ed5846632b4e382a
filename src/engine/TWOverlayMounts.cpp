#include "TWOverlayMounts.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

// The overlay's own escapes: a backslash keeps the next character as it is. With
// `colons`, the value is a list split at every unescaped ':' (empty parts, as between
// the lower folders and the data-only ones, are dropped).
std::vector<std::string> unescapeFolders(const std::string& value, bool colons) {
    std::vector<std::string> folders;
    std::string folder;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            folder += value[++i];
        } else if (colons && value[i] == ':') {
            if (!folder.empty()) folders.push_back(folder);
            folder.clear();
        } else {
            folder += value[i];
        }
    }
    if (!folder.empty()) folders.push_back(folder);
    return folders;
}

// The layer folders named by one of the overlay's options; none for other options.
std::vector<std::string> layersOfOption(const std::string& option) {
    const size_t equals = option.find('=');
    if (equals == std::string::npos) return {};
    const std::string key = option.substr(0, equals);
    const std::string value = TWOverlayMounts::decodeField(option.substr(equals + 1));
    if (key == "lowerdir") return unescapeFolders(value, true);
    if (key == "upperdir" || key == "workdir") return unescapeFolders(value, false);
    // The mount interface that adds one layer at a time lists each as it was given.
    if (key == "lowerdir+" || key == "datadir+") return {value};
    return {};
}

}  // namespace

std::string TWOverlayMounts::decodeField(const std::string& field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string decoded;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

std::vector<TWOverlayMount> TWOverlayMounts::parse(const std::string& mountInfo) {
    std::vector<TWOverlayMount> overlays;
    std::istringstream lines(mountInfo);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        const std::vector<std::string> fields = split(line, ' ');
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-") ++dash;
        if (dash + 3 >= fields.size()) continue;
        const std::string& type = fields[dash + 1];
        if (type != "overlay" && type != "overlayfs") continue;
        TWOverlayMount overlay{decodeField(fields[4]), {}};
        for (const std::string& option : split(fields[dash + 3], ','))
            for (std::string& layer : layersOfOption(option)) {
                if (!layer.empty() && layer[0] == '/')
                    overlay.layers.push_back(std::move(layer));
                else
                    overlay.hasUnplacedLayer = true;
            }
        overlays.push_back(std::move(overlay));
    }
    return overlays;
}

std::vector<TWOverlayMount> TWOverlayMounts::read() {
    std::ifstream in("/proc/self/mountinfo");
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

std::vector<std::string> TWOverlayMounts::mountPointsWithUnplacedLayers() {
    std::vector<std::string> mountPoints;
    for (const TWOverlayMount& overlay : read()) {
        if (!overlay.hasUnplacedLayer) continue;
        char* resolved = ::realpath(overlay.mountPoint.c_str(), nullptr);
        mountPoints.push_back(resolved ? std::string(resolved) : overlay.mountPoint);
        std::free(resolved);
    }
    return mountPoints;
}
