#include <plist/plist.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "SafeFile.h"
#include "TWFileUtility.h"
#include "TWHashUtility.h"
#include "TWPackageTree.h"

namespace {

// An information dictionary larger than this is not one.
constexpr size_t kInfoPlistLimit = 16u << 20;

struct PlistFree {
    void operator()(void* node) const {
        if (node) plist_free(static_cast<plist_t>(node));
    }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// The bundle's information dictionary: Contents/Info.plist, else Resources/Info.plist,
// else Info.plist at its top, XML or binary. Null when none of them is a readable
// dictionary.
PlistPtr infoDictionary(const std::string& bundle) {
    for (const char* relative : {"/Contents/Info.plist", "/Resources/Info.plist", "/Info.plist"}) {
        auto file = tw::SafeFile::open(bundle + relative);
        if (!file) continue;
        if (file->size() > kInfoPlistLimit) continue;
        auto bytes = file->readAll(kInfoPlistLimit);
        if (!bytes || bytes->empty()) continue;
        plist_t root = nullptr;
        plist_from_memory(reinterpret_cast<const char*>(bytes->data()), static_cast<uint32_t>(bytes->size()), &root);
        PlistPtr owner(root);
        if (root && plist_get_node_type(root) == PLIST_DICT) return owner;
    }
    return nullptr;
}

// Strings as they stand; numbers and booleans as their text (some bundles store a
// version as an integer); containers, data and dates have no text.
std::optional<std::string> textOf(plist_t node) {
    if (!node) return std::nullopt;
    char text[64];
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* value = plist_get_string_ptr(node, &length);
            if (!value) return std::nullopt;
            return std::string(value, static_cast<size_t>(length));
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            std::snprintf(text, sizeof text, "%" PRIu64, value);
            return std::string(text);
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            std::snprintf(text, sizeof text, "%g", value);
            return std::string(text);
        }
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return std::string(value ? "true" : "false");
        }
        default:
            return std::nullopt;
    }
}

std::optional<std::string> valueForKey(const PlistPtr& dictionary, const char* key) {
    if (!dictionary) return std::nullopt;
    return textOf(plist_dict_get_item(static_cast<plist_t>(dictionary.get()), key));
}

}  // namespace

std::shared_ptr<TWApplicationUtility> TWApplicationUtility::initWithPath(const std::string& path) {
    std::shared_ptr<TWApplicationUtility> record(new TWApplicationUtility(path));
    if (record->fileType() == TWFileTypePackage)
        if (auto sizes = TWPackageTree::sizesOf(record->filePath()))
            record->setContentSizes(sizes->size, sizes->sizeOnDisk);
    return record;
}

std::optional<TWContentDigest> TWApplicationUtility::treeDigest() {
    std::lock_guard lock(treeMutex_);
    if (!treeRead_) {
        tree_ = TWPackageTree::digestOf(filePath());
        treeRead_ = true;
    }
    return tree_;
}

std::optional<TWContentDigest> TWApplicationUtility::cachedTreeDigest() const {
    std::lock_guard lock(treeMutex_);
    return tree_;
}

std::optional<std::string> TWApplicationUtility::applicationInfoForKey(const std::string& key) const {
    return valueForKey(infoDictionary(filePath()), key.c_str());
}

std::optional<std::string> TWApplicationUtility::hashString() {
    std::lock_guard once(hashMutex_);
    if (auto stored = cachedHashString()) return stored;
    PlistPtr info = infoDictionary(filePath());
    auto identifier = valueForKey(info, "CFBundleIdentifier");
    if (!identifier) return std::nullopt;  // not stored: a later call looks again
    // The fields are kept apart by a separator that no identifier or version holds, so
    // that ("org.a1", "2") and ("org.a", "12") do not become the same identity.
    std::string identity = *identifier;
    identity += '\x1f';
    identity += valueForKey(info, "CFBundleShortVersionString").value_or("");
    identity += '\x1f';
    identity += valueForKey(info, "CFBundleVersion").value_or("");
    const TWMD5 hash = TWHashUtility::md5OfData(identity.data(), identity.size());
    std::lock_guard lock(lazyMutex_);
    storeHashLocked(hash);
    return TWHashUtility::hexStringOfMD5(hash);
}
