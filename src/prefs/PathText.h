#pragma once
// Textual path helpers for the settings' path tests. They work on bytes (a file name
// need not be valid UTF-8), never touch the file system and never allocate unless
// they return a string. Safe from any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::pathtext {

// `path` without trailing slashes; "/" stays "/".
std::string_view withoutTrailingSlashes(std::string_view path);
// The last component ("" for "" and for "/").
std::string_view lastComponent(std::string_view path);
// The text after the last "." of the last component; "" when it has none.
std::string_view extension(std::string_view path);
// The path without its last component: "/a/b" -> "/a", "/a" -> "/", "/" -> "/",
// "a" -> "", "a/b" -> "a".
std::string_view deletingLastComponent(std::string_view path);
// Components, counting a leading "/" as one: "/" -> 1, "/a/b" -> 3, "a/b" -> 2, "" -> 0.
size_t componentCount(std::string_view path);
// ASCII letters lower-cased; every other byte kept.
std::string asciiLower(std::string_view text);
// Characters of UTF-8 text (bytes that do not continue a sequence).
size_t characterCount(std::string_view text);

}  // namespace tw::pathtext
