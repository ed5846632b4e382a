// TWPreference: the list of folder grants and the lookup of a path's grant.

#include "JsonBytes.h"
#include "Log.h"
#include "PathText.h"
#include "TWPreference.h"
#include "TWPreferenceImpl.h"
#include "TWPrivilegeFolder.h"

namespace pt = tw::pathtext;
using Json = tw::DefaultsStore::Value;
using GrantList = std::vector<std::shared_ptr<TWPrivilegeFolder>>;

namespace {

tw::DefaultsStore& store() {
    return tw::DefaultsStore::standard();
}

GrantList decodeGrants(const std::optional<Json>& stored) {
    GrantList grants;
    if (!stored || stored->is_null() || (stored->is_string() && stored->get_ref<const std::string&>().empty()))
        return grants;
    if (!stored->is_array()) {
        tw::log("folder grants under %s cannot be decoded, starting with none: %s", kFoldersPrivilegeArray,
                stored->dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
        return grants;
    }
    for (size_t i = 0; i < stored->size(); ++i) {
        const Json& archive = (*stored)[i];
        if (auto grant = TWPrivilegeFolder::initWithCoder(archive))
            grants.push_back(std::move(grant));
        else
            tw::log("folder grant %zu under %s cannot be decoded, left out: %s", i, kFoldersPrivilegeArray,
                    archive.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
    }
    return grants;
}

// The records of `fresh`, each replaced by an unused record of `old` with the same
// folder and privilege where there is one, so that a grant nobody changed stays the
// object that the preferences window holds.
GrantList keepingUnchangedRecords(GrantList fresh, const GrantList& old) {
    std::vector<bool> used(old.size(), false);
    for (auto& grant : fresh)
        for (size_t i = 0; i < old.size(); ++i)
            if (!used[i] && old[i]->folder() == grant->folder() && old[i]->privilege() == grant->privilege()) {
                used[i] = true;
                grant = old[i];
                break;
            }
    return fresh;
}

}  // namespace

std::vector<std::shared_ptr<TWPrivilegeFolder>> TWPreference::foldersPrivilege() const {
    impl_->refreshGrants();
    std::lock_guard<std::mutex> lock(impl_->grantsMutex);
    return impl_->grants;
}

size_t TWPreference::countOfFoldersPrivilege() const {
    impl_->refreshGrants();
    std::lock_guard<std::mutex> lock(impl_->grantsMutex);
    return impl_->grants.size();
}

void TWPreference::Impl::refreshGrants() {
    if (store().generation() == grantsGeneration.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> save(saveMutex);
    refreshGrantsLocked();
}

void TWPreference::Impl::refreshGrantsLocked() {
    // The generation first: a change after it is seen by the next call.
    const uint64_t generation = store().generation();
    auto stored = store().value(kFoldersPrivilegeArray);
    if (stored != grantsStored) {
        GrantList fresh = decodeGrants(stored);
        std::lock_guard<std::mutex> lock(grantsMutex);
        grants = keepingUnchangedRecords(std::move(fresh), grants);
        grantsStored = std::move(stored);
    }
    grantsGeneration.store(generation, std::memory_order_release);
}

void TWPreference::Impl::editGrants(const std::function<void(GrantList&)>& edit) {
    std::lock_guard<std::mutex> save(saveMutex);
    refreshGrantsLocked();  // the change applies to the list as stored now
    {
        std::lock_guard<std::mutex> lock(grantsMutex);
        edit(grants);
    }
    saveGrantsLocked();
}

void TWPreference::setFoldersPrivilege(const std::vector<std::shared_ptr<TWPrivilegeFolder>>& list) {
    impl_->editGrants([&](GrantList& grants) {
        grants.clear();
        for (const auto& grant : list)
            if (grant) grants.push_back(grant);
    });
}

// The list operations below take indexes of existing rows; a row past the end (or a
// missing grant) is not a reason to bring the application down, so such a request is
// logged and, for an insertion, appends.
void TWPreference::insertObject(const std::shared_ptr<TWPrivilegeFolder>& grant, size_t index) {
    if (!grant) return;
    impl_->editGrants([&](GrantList& grants) {
        if (index > grants.size()) {
            tw::log("folder grant inserted at %zu of %zu: appended", index, grants.size());
            index = grants.size();
        }
        grants.insert(grants.begin() + static_cast<std::ptrdiff_t>(index), grant);
    });
}

void TWPreference::removeObjectFromFoldersPrivilegeAtIndex(size_t index) {
    removeFoldersPrivilegeAtIndexes({index});
}

void TWPreference::removeFoldersPrivilegeAtIndexes(const std::set<size_t>& indexes) {
    if (indexes.empty()) return;
    impl_->editGrants([&](GrantList& grants) {
        for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
            if (*it < grants.size())
                grants.erase(grants.begin() + static_cast<std::ptrdiff_t>(*it));
            else
                tw::log("folder grant %zu of %zu cannot be removed: no such row", *it, grants.size());
        }
    });
}

void TWPreference::addPrivilegeFolder(const std::string& path) {
    auto grant = TWPrivilegeFolder::initWithFolder(path, 0);
    if (!grant) return;
    insertObject(grant, 0);
}

void TWPreference::addPrivilegeFoldersWithURLs(const std::vector<std::string>& paths) {
    GrantList added;
    for (const auto& path : paths)
        if (auto grant = TWPrivilegeFolder::initWithFolder(path, 0)) added.push_back(grant);
    if (added.empty()) return;
    impl_->editGrants([&](GrantList& grants) { grants.insert(grants.end(), added.begin(), added.end()); });
}

void TWPreference::cleanFolderPrivilege() {
    setFoldersPrivilege({});
}

std::vector<std::shared_ptr<TWPrivilegeFolder>> TWPreference::restorePrivilegeFolders() const {
    return decodeGrants(store().value(kFoldersPrivilegeArray));
}

void TWPreference::Impl::saveGrantsLocked() {
    Json list = Json::array();
    {
        std::lock_guard<std::mutex> lock(grantsMutex);
        for (const auto& grant : grants) {
            Json archive = Json::object();
            grant->encodeWithCoder(archive);
            list.push_back(std::move(archive));
        }
    }
    std::optional<Json> written;
    if (!list.empty()) written = tw::withEncodedBytes(list);
    tw::Status status =
        written ? store().setValue(kFoldersPrivilegeArray, *written) : store().removeValue(kFoldersPrivilegeArray);
    if (!status) {
        tw::log("cannot save setting %s: %s", kFoldersPrivilegeArray, status.message().c_str());
        return;
    }
    grantsStored = std::move(written);
}

void TWPreference::savePrivilegeFolders() {
    std::lock_guard<std::mutex> save(impl_->saveMutex);
    impl_->saveGrantsLocked();
}

int64_t TWPreference::privilegeAtPath(const std::string& path) const {
    if (path.empty()) return -1;
    impl_->refreshGrants();
    // Only the containing folder and its ancestors, nearest first; the first grant in
    // list order for a folder wins.
    std::string_view folder = pt::deletingLastComponent(path);
    std::lock_guard<std::mutex> lock(impl_->grantsMutex);
    while (pt::componentCount(folder) > 0) {
        for (const auto& grant : impl_->grants)
            if (grant->folder() == folder) return grant->privilege();
        if (pt::componentCount(folder) == 1) return -1;
        folder = pt::deletingLastComponent(folder);
    }
    return -1;
}

void TWPreference::privilegeChanged() {
    savePrivilegeFolders();
}
