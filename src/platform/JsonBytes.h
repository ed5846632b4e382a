#pragma once
// File names on Linux are byte strings and need not be valid UTF-8, but JSON text
// must be. These helpers carry any byte string through JSON without loss: valid UTF-8
// stays a plain JSON string, anything else becomes the object {"base64": "..."}.
// Pure functions, safe from any thread.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

std::string base64Encode(std::string_view bytes);
// nullopt when `text` is not canonical base64 (padding required, no whitespace).
std::optional<std::string> base64Decode(std::string_view text);

// A JSON value that holds `bytes` losslessly.
nlohmann::json jsonFromBytes(const std::string& bytes);
// The bytes held by a value made by jsonFromBytes (or a plain JSON string); nullopt
// for anything else.
std::optional<std::string> bytesFromJson(const nlohmann::json& value);

// A copy of `value` in which every string that is not valid UTF-8, at any depth, is
// replaced by its {"base64": ...} form, so that the result can always be serialised.
// Object keys are left as they are (callers check their own keys).
nlohmann::json withEncodedBytes(const nlohmann::json& value);

}  // namespace tw
