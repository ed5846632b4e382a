// TWPreference: the list of folder grants and the lookup of a path's grant.

#include "Log.h"
#include "PathText.h"
#include "TWPreference.h"
#include "TWPreferenceImpl.h"
#include "TWPrivilegeFolder.h"

namespace pt = tw::pathtext;
using Json = tw::DefaultsStore::Value;
using GrantList = std::vector<std::shared_ptr<TWPrivilegeFolder>>;

std::vector<std::shared_ptr<TWPrivilegeFolder>> TWPreference::foldersPrivilege() const {
    std::lock_guard<std::mutex> lock(impl_->grantsMutex);
    return impl_->grants;
}

size_t TWPreference::countOfFoldersPrivilege() const {
    std::lock_guard<std::mutex> lock(impl_->grantsMutex);
    return impl_->grants.size();
}

void TWPreference::Impl::editGrants(const std::function<void(GrantList&)>& edit) {
    std::lock_guard<std::mutex> save(saveMutex);
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
    auto stored = tw::DefaultsStore::standard().value(kFoldersPrivilegeArray);
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
    if (list.empty())
        twprefs::removeSetting(kFoldersPrivilegeArray);
    else
        twprefs::writeSetting(kFoldersPrivilegeArray, list);
}

void TWPreference::savePrivilegeFolders() {
    std::lock_guard<std::mutex> save(impl_->saveMutex);
    impl_->saveGrantsLocked();
}

int64_t TWPreference::privilegeAtPath(const std::string& path) const {
    if (path.empty()) return -1;
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
