#pragma once
// The private state of TWPreference, shared by its source files.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "DefaultsStore.h"
#include "NotificationCenter.h"
#include "TWPreference.h"

// What the scan's per-entry tests need, derived once from the settings and reused
// until the store's generation changes (or a second has passed, for the library
// defaults that come from the user-directories file).
struct TWPreferenceDerived {
    const tw::DefaultsStore* store = nullptr;
    uint64_t generation = 0;
    int64_t builtAt = 0;  // steady clock, nanoseconds

    bool skipHidden = true;
    bool skipPackages = false;
    uint64_t minSize = 0;
    uint64_t maxSize = UINT64_MAX;
    // Ignored extensions: lower-cased, one leading "." removed, never empty.
    std::unordered_set<std::string> types;
    // The folder list as given (exact matches) and, for the ancestry test, its
    // non-empty entries in order without repeats, less those that were files when the
    // list was derived.
    std::unordered_set<std::string> folderSet;
    std::vector<std::string> ancestryFolders;
    std::string iTunesMediaFolder;
    std::string photosLibrary;
    std::string iTunesMediaFolderLower;
    std::string photosLibraryLower;
};

struct TWPreference::Impl {
    uint64_t serial = 0;  // tells instances apart in the per-thread caches

    mutable std::mutex derivedMutex;
    mutable std::shared_ptr<const TWPreferenceDerived> derived;  // guarded by derivedMutex

    // Read-modify-write of one settings list in this process (the store's lock keeps
    // other processes apart).
    std::mutex listMutex;

    // Held across a change of the grant list and its save, so that saves land in the
    // order of the changes, and across a re-read of the list. Taken before grantsMutex.
    std::mutex saveMutex;
    mutable std::mutex grantsMutex;
    std::vector<std::shared_ptr<TWPrivilegeFolder>> grants;  // guarded by grantsMutex
    // The stored value the list was last read from or saved as (saveMutex), and the
    // store's generation when that was checked, so that a list that another process
    // stored is read again.
    std::optional<tw::DefaultsStore::Value> grantsStored;
    std::atomic<uint64_t> grantsGeneration{0};

    tw::NotificationCenter::Observer privilegeObserver;

    const TWPreferenceDerived& current() const;
    std::shared_ptr<const TWPreferenceDerived> build(const tw::DefaultsStore& store, uint64_t generation) const;
    void saveGrantsLocked();  // saveMutex held
    // Changes the list under both locks, then saves it.
    void editGrants(const std::function<void(std::vector<std::shared_ptr<TWPrivilegeFolder>>&)>& edit);
    // Reads the list again when the stored one is not what it was read from or saved
    // as; cheap while the store's values are unchanged.
    void refreshGrants();
    void refreshGrantsLocked();  // saveMutex held
};

namespace twprefs {
// A setting's write, logged when it fails (setters report nothing to their callers).
void writeSetting(const char* key, const tw::DefaultsStore::Value& value);
void removeSetting(const char* key);
}  // namespace twprefs
