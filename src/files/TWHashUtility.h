#pragma once
// MD5 of bytes or of UTF-8 text as 32 upper-case hexadecimal digits. Safe from any thread.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// An MD5 digest as its 16 bytes.
using TWMD5 = std::array<unsigned char, 16>;

class TWHashUtility {
public:
    static TWMD5 md5OfData(const void* bytes, size_t length);
    static std::string hexStringOfMD5(const TWMD5& digest);  // 32 upper-case digits

    static std::optional<std::string> hashStringWithData(const std::optional<std::vector<unsigned char>>& data);
    static std::string hashStringWithData(const void* bytes, size_t length);
    // Text is taken as the byte string it is (file names need not be valid UTF-8 on
    // Linux; their bytes are hashed as they stand).
    static std::string hashStringWithString(const std::string& text);
};
