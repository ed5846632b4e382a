#pragma once
// The user's defaults: a typed key-value store in
// $XDG_CONFIG_HOME/twinsift/defaults.json (~/.config when unset).
//
// Safe from any thread. One in-process copy is shared by all threads; reads are
// cheap (no parsing, no file access on the hot path) and pick up another process's
// changes: at most every `kReloadInterval` a read checks the file's identity and
// reloads it when it changed. An absent key is told apart from a stored value.
// Every write changes its one key under an advisory lock on the file (lock, re-read,
// change, write a temporary file, fsync, rename, unlock), so that two processes
// writing different keys never undo each other. A file that cannot be parsed is
// moved aside (never overwritten), logged, and the store starts from the defaults.
//
// The settings file may be a symbolic link: the store reads and writes the file it
// leads to, but creates and renames only inside the settings folder. A target in the
// folder is replaced as a plain file is; a target elsewhere is rewritten in place; a
// link to something damaged or unreadable is moved aside itself, its target untouched.
// The lock file is never followed when it is a link (writes then fail and say so).
//
// An argument layer overrides keys for this run only: overrides are read before the
// stored values and are never written.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace tw {

class DefaultsStore {
public:
    using Value = nlohmann::json;
    static constexpr std::chrono::milliseconds kReloadInterval{200};
    // The clock, in nanoseconds, by which the store (and what is derived from its values)
    // times how fresh it is: the monotonic clock to the kernel's tick (a few
    // milliseconds), read without the time-stamp counter. A scan asks the settings
    // several times for every file, and reading the precise clock each time was 1 % of a
    // second scan.
    static int64_t freshnessClockNs();

    // The store the whole application uses. Its path is fixed by the environment at
    // first use; resetStandard() re-reads the environment (tests point
    // XDG_CONFIG_HOME at a temporary folder and then reset).
    static DefaultsStore& standard();
    static void resetStandard();
    static std::string standardPath();
    // $XDG_CONFIG_HOME when it is set to an absolute path, else ~/.config.
    static std::string configHome();

    explicit DefaultsStore(std::string filePath);
    ~DefaultsStore();
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;

    const std::string& path() const;

    // The value of a key: the override when there is one, else the stored value,
    // else nullopt.
    std::optional<Value> value(const std::string& key) const;
    bool hasValue(const std::string& key) const { return value(key).has_value(); }

    // Typed reads: nullopt when absent or of another type (a wrong type is logged once
    // per key and treated as absent, so a damaged value falls back to the default).
    std::optional<bool> boolValue(const std::string& key) const;
    std::optional<int64_t> intValue(const std::string& key) const;
    std::optional<uint64_t> uintValue(const std::string& key) const;
    std::optional<double> doubleValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    std::optional<std::vector<std::string>> stringArrayValue(const std::string& key) const;

    // Durable writes of one key (flushed before they return). A failure leaves the
    // file and the values seen in this process as they were and is returned with its
    // reason. Strings that are not valid UTF-8 are stored as {"base64": ...} and read
    // back as the same bytes by stringValue() and stringArrayValue().
    Status setValue(const std::string& key, const Value& value);
    Status removeValue(const std::string& key);
    // Read-modify-write of one key under the file lock, so that a change computed from
    // the current value (appending to a list) loses no other thread's or process's
    // change. `change` gets the stored value (overrides are not applied) and returns
    // the new one, or nullopt to remove the key. It runs with the lock held: keep it
    // short and never call back into the store.
    using Change = std::function<std::optional<Value>(const std::optional<Value>& stored)>;
    Status updateValue(const std::string& key, const Change& change);
    // Compare-and-write under the file lock: `condition` sees every stored value (the
    // JSON object of the file as it is at that moment, overrides not applied) and
    // answers whether `value` is to be written under `key`; false leaves everything as
    // it is. `*written` tells which happened. So a check that involves other keys (the
    // minimum size below the maximum) and its write are one step that no other thread
    // or process can come between. `condition` runs with the lock held: keep it short
    // and never call back into the store.
    using Condition = std::function<bool(const Value& stored)>;
    Status setValueIf(const std::string& key, const Value& value, const Condition& condition, bool* written = nullptr);

    // The argument layer.
    void setOverride(const std::string& key, const Value& value);
    void clearOverride(const std::string& key);
    void clearOverrides();
    bool hasOverride(const std::string& key) const;

    // Counts every change a reader could see (own writes, reloads, overrides); lets
    // callers cache what they derive from the values.
    uint64_t generation() const;

    // Forces the next read to look at the file again (tests).
    void reloadNow();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw
