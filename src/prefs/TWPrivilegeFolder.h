#pragma once
// A folder grant: a listed folder and its integer rank. It ranks folders for the
// folder-privilege selection rule; it has nothing to do with file permissions.
//
// Safe from any thread: folder() never changes, privilege is atomic. setPrivilege()
// posts "TWPrivilegeChanged" on the calling thread; its object is the grant as a
// std::shared_ptr<TWPrivilegeFolder> (a grant not owned by a shared_ptr posts a
// const TWPrivilegeFolder* instead).

#include <atomic>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

class TWPrivilegeFolder : public std::enable_shared_from_this<TWPrivilegeFolder> {
public:
    // There is no plain creation: a grant always has a folder (null for an empty one).
    static std::shared_ptr<TWPrivilegeFolder> initWithFolder(const std::string& folder, int64_t privilege);
    // Reads "folder" and "privilege" (a missing privilege reads as 0); null when the
    // archive lacks a folder string or holds a privilege that is not a 64-bit integer.
    // Posts nothing. Folder names that are not valid UTF-8 round-trip as bytes.
    static std::shared_ptr<TWPrivilegeFolder> initWithCoder(const nlohmann::json& archive);
    void encodeWithCoder(nlohmann::json& archive) const;

    const std::string& folder() const { return folder_; }
    int64_t privilege() const { return privilege_.load(); }
    // Equal value: nothing. Different value: store it, then post "TWPrivilegeChanged".
    void setPrivilege(int64_t privilege);
    // Key-value access from the preferences window: an empty value leaves the privilege
    // unchanged and posts nothing.
    void setValueForKey(const std::optional<int64_t>& value, const std::string& key);
    void setNilValueForKey(const std::string& key);

    TWPrivilegeFolder(std::string folder, int64_t privilege) : folder_(std::move(folder)), privilege_(privilege) {}

private:
    const std::string folder_;
    std::atomic<int64_t> privilege_;
};
