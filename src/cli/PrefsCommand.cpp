// twinsift-cli prefs [KEY [VALUE]]: list, read or store settings.

#include "cli/Commands.h"
#include "platform/DefaultsStore.h"
#include "prefs/TWPreferenceKeys.h"

namespace twcli {

namespace {

std::string show(const nlohmann::json& value) {
    if (value.is_string()) return printablePath(value.get<std::string>());
    // Lists and numbers as JSON; invalid UTF-8 inside lists is replaced, not fatal.
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string keyList() {
    std::string text = "Settings:\n";
    for (const auto& k : TWPreferenceKeys::all())
        text += "  " + std::string(k.key) + " (" + TWPreferenceKeys::typeName(k.type) + "): " + k.summary + "\n";
    return text;
}

}  // namespace

Runner addPrefsCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("prefs", "List, read or change settings");
    cmd->description(
        "Without arguments, list every setting with its value; values that are not stored are defaults and "
        "are marked so. With KEY, print that setting's value. With KEY and VALUE, store the value after "
        "checking its type (booleans: true/false; sizes: bytes with an optional K, M or G suffix; lists: a "
        "JSON array). Settings are kept in " +
        tw::DefaultsStore::standardPath() + ".");
    cmd->footer(keyList());
    auto key = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();
    cmd->add_option("KEY", *key, "A setting's name");
    auto* valueOption = cmd->add_option("VALUE", *value, "The value to store");
    return [key, value, valueOption]() {
        if (key->empty()) {
            for (const auto& k : TWPreferenceKeys::all()) {
                printf("%s = %s%s\n", k.key, show(TWPreferenceKeys::currentValue(k)).c_str(),
                       TWPreferenceKeys::isStored(k) ? "" : "  (default)");
            }
            return 0;
        }
        const TWPreferenceKey* k = TWPreferenceKeys::find(*key);
        if (!k) {
            fprintf(stderr, "twinsift-cli: unknown setting: %s\nRun 'twinsift-cli prefs --help' for the list.\n",
                    printablePath(*key).c_str());
            return 2;
        }
        if (valueOption->count() == 0) {
            printf("%s\n", show(TWPreferenceKeys::currentValue(*k)).c_str());
            return 0;
        }
        std::string reason;
        auto parsed = TWPreferenceKeys::parse(*k, *value, &reason);
        if (!parsed) {
            fprintf(stderr, "twinsift-cli: %s: %s (%s); nothing was written\n", k->key, reason.c_str(),
                    printablePath(*value).c_str());
            return 2;
        }
        tw::Status status = TWPreferenceKeys::store(*k, *parsed);
        if (!status) {
            fprintf(stderr, "twinsift-cli: %s: %s; nothing was written\n", k->key, status.reason.c_str());
            return 2;
        }
        return 0;
    };
}

}  // namespace twcli
