#include "prefs/TWPrivilegeFolder.h"

#include "platform/JsonBytes.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "prefs/TWPreference.h"

namespace {

constexpr const char* kFolderKey = "folder";
constexpr const char* kPrivilegeKey = "privilege";

}  // namespace

std::shared_ptr<TWPrivilegeFolder> TWPrivilegeFolder::initWithFolder(const std::string& folder, int64_t privilege) {
    if (folder.empty()) return nullptr;
    return std::make_shared<TWPrivilegeFolder>(folder, privilege);
}

std::shared_ptr<TWPrivilegeFolder> TWPrivilegeFolder::initWithCoder(const nlohmann::json& archive) {
    if (!archive.is_object()) return nullptr;
    auto folder = archive.find(kFolderKey);
    if (folder == archive.end()) return nullptr;
    auto path = tw::bytesFromJson(*folder);
    if (!path || path->empty()) return nullptr;
    // A missing rank reads as 0, as for a grant just added; a rank of another kind
    // means the archive is not one of ours.
    int64_t privilege = 0;
    if (auto rank = archive.find(kPrivilegeKey); rank != archive.end()) {
        if (rank->is_number_integer() && !rank->is_number_unsigned())
            privilege = rank->get<int64_t>();
        else if (rank->is_number_unsigned() && rank->get<uint64_t>() <= uint64_t(INT64_MAX))
            privilege = static_cast<int64_t>(rank->get<uint64_t>());
        else
            return nullptr;
    }
    return std::make_shared<TWPrivilegeFolder>(std::move(*path), privilege);
}

void TWPrivilegeFolder::encodeWithCoder(nlohmann::json& archive) const {
    if (!archive.is_object()) archive = nlohmann::json::object();
    archive[kFolderKey] = tw::jsonFromBytes(folder_);
    archive[kPrivilegeKey] = privilege();
}

void TWPrivilegeFolder::setPrivilege(int64_t privilege) {
    // exchange, so that of two threads setting the same new value only one posts.
    if (privilege_.exchange(privilege) == privilege) return;
    if (auto self = weak_from_this().lock())
        tw::NotificationCenter::defaultCenter().post(TWPrivilegeChanged, self);
    else
        tw::NotificationCenter::defaultCenter().post(TWPrivilegeChanged, static_cast<const TWPrivilegeFolder*>(this));
}

void TWPrivilegeFolder::setValueForKey(const std::optional<int64_t>& value, const std::string& key) {
    if (!value) {
        setNilValueForKey(key);
        return;
    }
    if (key == kPrivilegeKey) {
        setPrivilege(*value);
        return;
    }
    tw::log("grant for %s: key %s cannot be set, ignored", folder_.c_str(), key.c_str());
}

void TWPrivilegeFolder::setNilValueForKey(const std::string& key) {
    // Clearing the cell in the preferences window keeps the rank the folder had.
}
