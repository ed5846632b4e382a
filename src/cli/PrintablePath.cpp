#include <cstdio>

#include "cli/Commands.h"

namespace twcli {

namespace {
// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t utf8Length(const std::string& s, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = byte(i);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    if (n == 2 && c < 0xC2) return 0;                          // overlong
    if (n == 3 && c == 0xE0 && byte(i + 1) < 0xA0) return 0;   // overlong
    if (n == 3 && c == 0xED && byte(i + 1) >= 0xA0) return 0;  // surrogate
    if (n == 4 && (c > 0xF4 || (c == 0xF0 && byte(i + 1) < 0x90) || (c == 0xF4 && byte(i + 1) >= 0x90))) return 0;
    return n;
}
}  // namespace

bool isValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {  // most of a path: no call for it
            ++i;
            continue;
        }
        size_t n = utf8Length(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string printablePath(const std::string& path) {
    // Bytes that stand for themselves: printable ASCII but the backslash, which starts an
    // escape. Most paths are made of nothing else and are copied whole; the others are
    // copied run by run, each run in one piece.
    auto plain = [&path](size_t i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        return c >= 0x20 && c < 0x7F && c != '\\';
    };
    std::string out;
    char hex[8];
    for (size_t i = 0; i < path.size();) {
        const size_t run = i;
        while (i < path.size() && plain(i)) ++i;
        if (run == 0) {
            if (i == path.size()) return path;
            out.reserve(path.size() + 16);
        }
        out.append(path, run, i - run);
        if (i == path.size()) break;
        unsigned char c = static_cast<unsigned char>(path[i]);
        size_t n = utf8Length(path, i);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            switch (c) {
                case '\n':
                    out += "\\n";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                default:
                    snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
            }
            i += 1;
        } else if (c == '\\') {
            out += "\\\\";
            i += 1;
        } else {
            out.append(path, i, n);
            i += n;
        }
    }
    return out;
}

}  // namespace twcli
