#pragma once
// MD5 of bytes or of UTF-8 text as 32 upper-case hexadecimal digits. Safe from any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class TWHashUtility {
public:
    static std::optional<std::string> hashStringWithData(const std::optional<std::vector<unsigned char>>& data);
    static std::string hashStringWithData(const void* bytes, size_t length);
    // Text is taken as the byte string it is (file names need not be valid UTF-8 on
    // Linux; their bytes are hashed as they stand).
    static std::string hashStringWithString(const std::string& text);
};
