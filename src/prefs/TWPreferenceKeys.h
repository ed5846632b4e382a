#pragma once
// Every settings key with its type and default, for front ends that list and edit
// settings by name (the command line's `prefs`). Safe from any thread.

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/Status.h"

struct TWPreferenceKey {
    enum class Type { Bool, Integer, UnsignedInteger, Float, String, StringList, GrantList };

    const char* key;
    Type type;
    const char* summary;  // one line for help texts
};

class TWPreferenceKeys {
public:
    static const std::vector<TWPreferenceKey>& all();
    static const TWPreferenceKey* find(const std::string& key);
    static const char* typeName(TWPreferenceKey::Type type);

    // The value the settings hold now (through TWPreference, so the default when the
    // key is absent), as JSON.
    static nlohmann::json currentValue(const TWPreferenceKey& key);
    // Whether the key has a stored (or overridden) value.
    static bool isStored(const TWPreferenceKey& key);

    // Parses text typed by a person into a value of the key's type: booleans as
    // true/false/yes/no/1/0, sizes with K, M, G suffixes (units of 1024), lists as a
    // JSON array. nullopt with a reason when the text does not fit.
    static std::optional<nlohmann::json> parse(const TWPreferenceKey& key, const std::string& text,
                                               std::string* reason);
    // Stores a parsed value through TWPreference's setter (so its rules hold); a value
    // the setter refuses (a minimum not below the maximum, a too short location) is
    // reported and nothing is written.
    static tw::Status store(const TWPreferenceKey& key, const nlohmann::json& value);
    // Puts a parsed value in the defaults store's argument layer (this run only).
    static void override(const TWPreferenceKey& key, const nlohmann::json& value);
};
