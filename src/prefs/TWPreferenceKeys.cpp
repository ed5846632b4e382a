#include "prefs/TWPreferenceKeys.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/DefaultsStore.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPrivilegeFolder.h"

using json = nlohmann::json;
using Type = TWPreferenceKey::Type;

namespace {

std::string lowered(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<uint64_t> parseSize(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    unsigned long long n = strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE) return std::nullopt;
    std::string suffix = lowered(end);
    unsigned shift = 0;
    if (suffix == "k" || suffix == "kb" || suffix == "kib")
        shift = 10;
    else if (suffix == "m" || suffix == "mb" || suffix == "mib")
        shift = 20;
    else if (suffix == "g" || suffix == "gb" || suffix == "gib")
        shift = 30;
    else if (!suffix.empty() && suffix != "b")
        return std::nullopt;
    if (shift && n > (UINT64_MAX >> shift)) return std::nullopt;
    return static_cast<uint64_t>(n) << shift;
}

std::optional<int64_t> parseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long n = strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) return std::nullopt;
    return n;
}

tw::Status refuse(const TWPreferenceKey& key, const std::string& reason) {
    return tw::Status::failure(key.key, reason, EINVAL);
}

// Range rules of the integer settings that hold an enumeration.
std::optional<std::pair<int64_t, int64_t>> rangeOf(const std::string& key) {
    if (key == kSearchMode) return std::make_pair(0, 1);
    if (key == kDestType) return std::make_pair(0, 2);
    if (key == kSmartCheckMethodForDuplicateFiles) return std::make_pair(0, 3);
    if (key == kSmartCheckMethodForSimilarImages) return std::make_pair(4, 8);
    if (key == kSimilarMethod) return std::make_pair(0, 1);
    return std::nullopt;
}

}  // namespace

const std::vector<TWPreferenceKey>& TWPreferenceKeys::all() {
    static const std::vector<TWPreferenceKey> keys = {
        {kSearchMode, Type::Integer, "how files match: 0 by content, 1 by name and size"},
        {kVerifyFullContent, Type::Bool, "compare whole contents before grouping (off trusts sampled hashes)"},
        {kMinSizeIgnored, Type::UnsignedInteger, "files smaller than this many bytes are ignored"},
        {kMaxSizeIgnored, Type::UnsignedInteger, "files of this many bytes or more are ignored"},
        {kSkipHiddenItems, Type::Bool, "hidden files and folders are ignored"},
        {kSkipPackages, Type::Bool, "packages (application bundles) are ignored"},
        {kIgnoredFileTypes, Type::StringList, "file types (extensions) that are ignored"},
        {kIgnoredFileFolders, Type::StringList, "folders and files that are ignored"},
        {kSimilarityLevel, Type::Float, "how alike images must be, 0 (loosest) to 1 (strictest)"},
        {kSimilarMethod, Type::Integer, "how similar images are told: 0 by their colours, 1 by their look"},
        {kSmartCheckMethodForDuplicateFiles, Type::Integer,
         "rule that marks copies: 0 smart name, 1 folder privilege, 2 newer, 3 older"},
        {kSmartCheckMethodForSimilarImages, Type::Integer,
         "rule for images: 4 high quality, 5 lower quality, 6 high resolution, 7 low resolution, 8 best picture"},
        {kUsingDupFileChkMthForSimImg, Type::Bool, "images use the duplicate-files rule instead of their own"},
        {kFoldersPrivilegeArray, Type::GrantList, "folder privileges: [{\"folder\": PATH, \"privilege\": N}, ...]"},
        {kDestType, Type::Integer, "where removed files go: 0 Trash, 1 deleted permanently, 2 moved to a folder"},
        {kScanInBackground, Type::Bool, "scans run at a lower priority (slower while other programs are busy)"},
        {kRememberFiles, Type::Bool, "scans remember what they read of each file for the next scan"},
        {kPhotoLibraryLocation, Type::String, "where the photo library lives"},
        {kITunesMediaFolderLocation, Type::String, "where the music library's media files live"},
    };
    return keys;
}

const TWPreferenceKey* TWPreferenceKeys::find(const std::string& key) {
    for (const auto& k : all())
        if (key == k.key) return &k;
    return nullptr;
}

const char* TWPreferenceKeys::typeName(Type type) {
    switch (type) {
        case Type::Bool:
            return "boolean";
        case Type::Integer:
            return "integer";
        case Type::UnsignedInteger:
            return "size in bytes";
        case Type::Float:
            return "number";
        case Type::String:
            return "path";
        case Type::StringList:
            return "list of strings";
        case Type::GrantList:
            return "list of folder privileges";
    }
    return "value";
}

json TWPreferenceKeys::currentValue(const TWPreferenceKey& key) {
    auto& p = TWPreference::shared();
    const std::string k = key.key;
    if (k == kSimilarityLevel) return std::round(p.similarityLevel() * 1000.0) / 1000.0;
    if (k == kSkipHiddenItems) return p.skipHiddenItems();
    if (k == kMinSizeIgnored) return p.filterMinSize();
    if (k == kMaxSizeIgnored) return p.filterMaxSize();
    if (k == kSkipPackages) return p.filterPackage();
    if (k == kSearchMode) return p.searchMode();
    if (k == kDestType) return p.destType();
    if (k == kSmartCheckMethodForDuplicateFiles) return p.checkMethodForDuplicateFiles();
    if (k == kSmartCheckMethodForSimilarImages) return p.checkMethodForSimilarImages();
    if (k == kUsingDupFileChkMthForSimImg) return p.usingDupFilesChkMtdForSimImg();
    if (k == kVerifyFullContent) return p.verifyFullContent();
    if (k == kSimilarMethod) return p.similarMethod();
    if (k == kScanInBackground) return p.scanInBackground();
    if (k == kRememberFiles) return p.rememberFiles();
    if (k == kIgnoredFileTypes) return p.filterFileTypeArray();
    if (k == kIgnoredFileFolders) return p.filterFileFolders();
    if (k == kITunesMediaFolderLocation) return p.iTunesMediaFolderLocation();
    if (k == kPhotoLibraryLocation) return p.PhotosLibraryLocation();
    if (k == kFoldersPrivilegeArray) {
        json list = json::array();
        for (const auto& grant : p.foldersPrivilege())
            list.push_back({{"folder", grant->folder()}, {"privilege", grant->privilege()}});
        return list;
    }
    return nullptr;
}

bool TWPreferenceKeys::isStored(const TWPreferenceKey& key) {
    return tw::DefaultsStore::standard().hasValue(key.key);
}

std::optional<json> TWPreferenceKeys::parse(const TWPreferenceKey& key, const std::string& text, std::string* reason) {
    auto fail = [&](const std::string& why) -> std::optional<json> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    switch (key.type) {
        case Type::Bool: {
            std::string t = lowered(text);
            if (t == "true" || t == "yes" || t == "1" || t == "on") return json(true);
            if (t == "false" || t == "no" || t == "0" || t == "off") return json(false);
            return fail("expected true or false");
        }
        case Type::Integer: {
            auto n = parseInteger(text);
            if (!n) return fail("expected a whole number");
            if (auto range = rangeOf(key.key); range && (*n < range->first || *n > range->second))
                return fail("expected a number from " + std::to_string(range->first) + " to " +
                            std::to_string(range->second));
            return json(*n);
        }
        case Type::UnsignedInteger: {
            auto n = parseSize(text);
            if (!n) return fail("expected a size in bytes, optionally with a K, M or G suffix");
            return json(*n);
        }
        case Type::Float: {
            errno = 0;
            char* end = nullptr;
            double d = strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(d)) return fail("expected a number");
            if (key.key == std::string(kSimilarityLevel) && (d < 0 || d > 1))
                return fail("expected a number from 0 to 1");
            return json(d);
        }
        case Type::String:
            if (text.empty()) return fail("expected a path");
            return json(text);
        case Type::StringList:
        case Type::GrantList: {
            json parsed = json::parse(text, nullptr, false);
            if (parsed.is_discarded() || !parsed.is_array()) return fail("expected a JSON array");
            for (const auto& item : parsed) {
                if (key.type == Type::StringList && !item.is_string()) return fail("expected a JSON array of strings");
                if (key.type == Type::GrantList &&
                    (!item.is_object() || !item.contains("folder") || !item["folder"].is_string() ||
                     (item.contains("privilege") && !item["privilege"].is_number_integer())))
                    return fail("expected a JSON array of {\"folder\": PATH, \"privilege\": N}");
            }
            return parsed;
        }
    }
    return fail("unsupported setting");
}

tw::Status TWPreferenceKeys::store(const TWPreferenceKey& key, const json& value) {
    auto& p = TWPreference::shared();
    const std::string k = key.key;
    if (k == kSimilarityLevel) {
        p.setSimilarityLevel(value.get<float>());
    } else if (k == kSkipHiddenItems) {
        p.setSkipHiddenItems(value.get<bool>());
    } else if (k == kMinSizeIgnored || k == kMaxSizeIgnored) {
        // The setter checks the pair again as it writes (another process may write the
        // other size meanwhile); asked once more after it, the check explains its refusal.
        const bool isMin = k == kMinSizeIgnored;
        const uint64_t v = value.get<uint64_t>();
        auto refused = [&] { return isMin ? v >= p.filterMaxSize() : v <= p.filterMinSize(); };
        if (!refused() && isMin) p.setFilterMinSize(v);
        if (!refused() && !isMin) p.setFilterMaxSize(v);
        if (refused())
            return refuse(key, isMin ? "must be below the maximum size (" + std::to_string(p.filterMaxSize()) + ")"
                                     : "must be above the minimum size (" + std::to_string(p.filterMinSize()) + ")");
    } else if (k == kSkipPackages) {
        p.setFilterPackage(value.get<bool>());
    } else if (k == kSearchMode) {
        p.setSearchMode(value.get<int64_t>());
    } else if (k == kDestType) {
        p.setDestType(value.get<int64_t>());
    } else if (k == kSmartCheckMethodForDuplicateFiles) {
        p.setCheckMethodForDuplicateFiles(value.get<int32_t>());
    } else if (k == kSmartCheckMethodForSimilarImages) {
        p.setCheckMethodForSimilarImages(value.get<int32_t>());
    } else if (k == kUsingDupFileChkMthForSimImg) {
        p.setUsingDupFilesChkMtdForSimImg(value.get<bool>());
    } else if (k == kVerifyFullContent) {
        p.setVerifyFullContent(value.get<bool>());
    } else if (k == kSimilarMethod) {
        p.setSimilarMethod(value.get<int64_t>());
    } else if (k == kScanInBackground) {
        p.setScanInBackground(value.get<bool>());
    } else if (k == kRememberFiles) {
        p.setRememberFiles(value.get<bool>());
    } else if (k == kIgnoredFileTypes) {
        p.setFilterFileTypeArray(value.get<std::vector<std::string>>());
    } else if (k == kIgnoredFileFolders) {
        p.setFilterFileFolders(value.get<std::vector<std::string>>());
    } else if (k == kITunesMediaFolderLocation) {
        std::string v = value.get<std::string>();
        if (v.size() < 3) return refuse(key, "must be at least 3 characters long");
        p.setITunesMediaFolderLocation(v);
    } else if (k == kPhotoLibraryLocation) {
        std::string v = value.get<std::string>();
        if (v.size() < 2) return refuse(key, "must be at least 2 characters long");
        p.setPhotosLibraryLocation(v);
    } else if (k == kFoldersPrivilegeArray) {
        std::vector<std::shared_ptr<TWPrivilegeFolder>> grants;
        for (const auto& item : value)
            grants.push_back(TWPrivilegeFolder::initWithFolder(item["folder"].get<std::string>(),
                                                               item.value("privilege", int64_t{0})));
        p.setFoldersPrivilege(grants);
    } else {
        return refuse(key, "unknown setting");
    }
    // The setters write through at once; a value they dropped is a refusal.
    if (currentValue(key) != value && key.type != Type::Float)
        return refuse(key, "the value could not be stored in " + tw::DefaultsStore::standard().path());
    return tw::Status::success();
}

void TWPreferenceKeys::override(const TWPreferenceKey& key, const json& value) {
    tw::DefaultsStore::standard().setOverride(key.key, value);
}
