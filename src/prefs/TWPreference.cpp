#include "prefs/TWPreference.h"

#include <string.h>
#include <sys/stat.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>

#include "files/TWBaseFunction.h"
#include "files/TWFileUtility.h"
#include "files/TWPrivilegeSource.h"
#include "platform/JsonBytes.h"
#include "platform/LibraryLocations.h"
#include "platform/Log.h"
#include "platform/MediaLibraryService.h"
#include "prefs/HiddenList.h"
#include "prefs/PathText.h"
#include "prefs/TWPreferenceImpl.h"
#include "prefs/TWPrivilegeFolder.h"
#include "prefs/UserDirs.h"

namespace pt = tw::pathtext;
using Json = tw::DefaultsStore::Value;

namespace {

constexpr float kDefaultSimilarityLevel = 0.7f;
constexpr uint64_t kDefaultMaxSize = UINT64_MAX;
// Pictures keep their best copy, told apart by their look: on the similar-picture
// benchmark it beats the colour histograms in both precision and recall at every level.
constexpr int32_t kDefaultCheckMethodForSimilarImages = TWCheckMethodBestPicture;
constexpr bool kDefaultUsingDupFilesChkMtdForSimImg = false;
constexpr int64_t kDefaultSimilarMethod = TWSimilarMethodLook;
// Library defaults follow the user-directories file at most this late.
constexpr std::chrono::seconds kDerivedLifetime{1};

std::mutex gSharedMutex;
std::atomic<TWPreference*> gShared{nullptr};
std::unique_ptr<TWPreference>& sharedOwner() {
    static auto* owner = new std::unique_ptr<TWPreference>();
    return *owner;
}
std::atomic<uint64_t> gNextSerial{1};

tw::DefaultsStore& store() {
    return tw::DefaultsStore::standard();
}

// A list setting as stored; an absent key reads as empty.
using StringList = std::vector<std::string>;

StringList readList(const char* key) {
    return store().stringArrayValue(key).value_or(StringList{});
}

// Changes one list setting under the store's lock. `change` edits the list and
// answers whether it changed; an emptied list removes the key when `emptyRemovesKey`.
// A stored value that is not a list of strings is left alone (and logged) rather than
// replaced.
void updateList(std::mutex& listMutex, const char* key, bool emptyRemovesKey,
                const std::function<bool(StringList&)>& change) {
    std::lock_guard<std::mutex> lock(listMutex);
    tw::Status status = store().updateValue(key, [&](const std::optional<Json>& stored) -> std::optional<Json> {
        StringList list;
        if (stored) {
            if (!stored->is_array()) throw std::runtime_error("the stored value is not a list");
            for (const auto& element : *stored) {
                auto bytes = tw::bytesFromJson(element);
                if (!bytes) throw std::runtime_error("the stored list holds something other than strings");
                list.push_back(std::move(*bytes));
            }
        }
        if (!change(list)) return stored;
        if (list.empty() && emptyRemovesKey) return std::nullopt;
        return Json(list);
    });
    if (!status) tw::log("cannot save setting %s: %s", key, status.message().c_str());
}

// A size setting as the store's uintValue reads it, from a stored document: a value of
// another type reads as the default.
uint64_t storedSize(const Json& stored, const char* key, uint64_t fallback) {
    auto it = stored.find(key);
    if (it == stored.end()) return fallback;
    if (it->is_number_unsigned()) return it->get<uint64_t>();
    if (it->is_number_integer() && it->get<int64_t>() >= 0) return static_cast<uint64_t>(it->get<int64_t>());
    return fallback;
}

// Writes a setting when `condition` holds for the stored values, as one step under the
// store's lock. False when the condition refused the value; a failed write is logged
// here and answers true (the value was not refused).
bool writeSettingIf(const char* key, const Json& value, const tw::DefaultsStore::Condition& condition) {
    bool written = false;
    tw::Status status = store().setValueIf(key, value, condition, &written);
    if (!status) tw::log("cannot save setting %s: %s", key, status.message().c_str());
    return written || !status;
}

bool removeIndexes(StringList& list, const std::set<size_t>& indexes) {
    bool removed = false;
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
        if (*it < list.size()) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(*it));
            removed = true;
        }
    }
    return removed;
}

// The per-thread view of the derived settings: no lock and no shared counter on the
// hot path while nothing changed.
struct ThreadDerived {
    uint64_t serial = 0;
    std::shared_ptr<const TWPreferenceDerived> derived;
};
thread_local ThreadDerived tDerived;

}  // namespace

namespace twprefs {

void writeSetting(const char* key, const Json& value) {
    tw::Status status = store().setValue(key, value);
    if (!status) tw::log("cannot save setting %s: %s", key, status.message().c_str());
}

void removeSetting(const char* key) {
    tw::Status status = store().removeValue(key);
    if (!status) tw::log("cannot save setting %s: %s", key, status.message().c_str());
}

}  // namespace twprefs

using twprefs::removeSetting;
using twprefs::writeSetting;

// --- instance ---

namespace {

// The file records' folder grants, read from the shared preferences on every call.
class PreferencePrivilegeSource final : public TWPrivilegeSource {
public:
    int64_t privilegeAtPath(const std::string& path) const override {
        return TWPreference::shared().privilegeAtPath(path);
    }
};

// Installed before main, so that a record asks the stored grants even when nothing else
// has made the preferences yet. Every program that uses the preferences links this file.
[[maybe_unused]] const bool gPrivilegeSourceInstalled = [] {
    static const PreferencePrivilegeSource source;
    TWPrivilegeSource::install(&source);
    return true;
}();

}  // namespace

TWPreference& TWPreference::shared() {
    if (TWPreference* instance = gShared.load(std::memory_order_acquire)) return *instance;
    std::lock_guard<std::mutex> lock(gSharedMutex);
    if (TWPreference* instance = gShared.load(std::memory_order_acquire)) return *instance;
    sharedOwner().reset(new TWPreference());
    gShared.store(sharedOwner().get(), std::memory_order_release);
    return *sharedOwner();
}

void TWPreference::resetShared() {
    std::unique_ptr<TWPreference> old;
    {
        std::lock_guard<std::mutex> lock(gSharedMutex);
        gShared.store(nullptr, std::memory_order_release);
        old = std::move(sharedOwner());
    }
    // Destroyed outside the lock: its observer may be waiting for a notification
    // handler that calls shared().
}

TWPreference::TWPreference() : impl_(std::make_unique<Impl>()) {
    impl_->serial = gNextSerial.fetch_add(1);
    impl_->refreshGrants();
    impl_->privilegeObserver = tw::NotificationCenter::defaultCenter().addObserver(
        TWPrivilegeChanged, [this](const tw::Notification&) { privilegeChanged(); });
}

TWPreference::~TWPreference() {
    impl_->privilegeObserver.reset();
}

// --- derived settings ---

std::shared_ptr<const TWPreferenceDerived> TWPreference::Impl::build(const tw::DefaultsStore& s,
                                                                     uint64_t generation) const {
    auto d = std::make_shared<TWPreferenceDerived>();
    d->store = &s;
    d->generation = generation;
    d->builtAt = tw::DefaultsStore::freshnessClockNs();
    d->skipHidden = s.boolValue(kSkipHiddenItems).value_or(true);
    d->skipPackages = s.boolValue(kSkipPackages).value_or(false);
    d->minSize = s.uintValue(kMinSizeIgnored).value_or(0);
    d->maxSize = s.uintValue(kMaxSizeIgnored).value_or(kDefaultMaxSize);
    for (const auto& type : s.stringArrayValue(kIgnoredFileTypes).value_or(StringList{})) {
        std::string_view t = type;
        if (!t.empty() && t.front() == '.') t.remove_prefix(1);
        // An entry that is only "." would otherwise match every name without an extension.
        if (!t.empty()) d->types.insert(pt::asciiLower(t));
    }
    for (auto& folder : s.stringArrayValue(kIgnoredFileFolders).value_or(StringList{})) {
        // An empty entry would contain every path textually: it ignores nothing.
        if (folder.empty()) continue;
        if (!d->folderSet.insert(folder).second) continue;
        // A single file hidden from the results contains nothing: the ancestry test
        // would answer no after resolving the entry's path, for every folder scanned.
        struct stat st {};
        if (stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) continue;
        d->ancestryFolders.push_back(folder);
    }
    auto itunes = s.stringValue(kITunesMediaFolderLocation);
    d->iTunesMediaFolder = itunes ? *itunes : TWPreference::defaultItunesMediaFolderLocation();
    auto photos = s.stringValue(kPhotoLibraryLocation);
    d->photosLibrary = photos ? *photos : TWPreference::defaultPhotoLibraryLocation();
    d->iTunesMediaFolderLower = pt::asciiLower(d->iTunesMediaFolder);
    d->photosLibraryLower = pt::asciiLower(d->photosLibrary);
    return d;
}

const TWPreferenceDerived& TWPreference::Impl::current() const {
    const tw::DefaultsStore& s = store();
    uint64_t generation = s.generation();
    int64_t now = tw::DefaultsStore::freshnessClockNs();
    auto fresh = [&](const std::shared_ptr<const TWPreferenceDerived>& d) {
        return d && d->store == &s && d->generation == generation &&
               now - d->builtAt < std::chrono::nanoseconds(kDerivedLifetime).count();
    };
    ThreadDerived& local = tDerived;
    if (local.serial == serial && fresh(local.derived)) return *local.derived;
    {
        std::lock_guard<std::mutex> lock(derivedMutex);
        if (!fresh(derived)) derived = nullptr;
        if (derived) {
            local.serial = serial;
            local.derived = derived;
            return *local.derived;
        }
    }
    auto built = build(s, generation);
    {
        std::lock_guard<std::mutex> lock(derivedMutex);
        derived = built;
    }
    local.serial = serial;
    local.derived = std::move(built);
    return *local.derived;
}

// --- scalar settings ---

float TWPreference::similarityLevel() const {
    auto level = store().doubleValue(kSimilarityLevel);
    return level ? static_cast<float>(*level) : kDefaultSimilarityLevel;
}
void TWPreference::setSimilarityLevel(float level) {
    if (!std::isfinite(level)) {
        tw::log("similarity level %f is not a number, ignored", static_cast<double>(level));
        return;
    }
    // Stored as the shortest decimal that reads back as the same float (0.85, not
    // 0.8500000238418579), so that the file stays readable by a person.
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, level).ptr;
    double decimal = level;
    std::from_chars(text, end, decimal);  // not strtod: the locale may use a decimal comma
    writeSetting(kSimilarityLevel, decimal);
}

bool TWPreference::skipHiddenItems() const {
    return store().boolValue(kSkipHiddenItems).value_or(true);
}
void TWPreference::setSkipHiddenItems(bool skip) {
    writeSetting(kSkipHiddenItems, skip);
}

uint64_t TWPreference::filterMinSize() const {
    return store().uintValue(kMinSizeIgnored).value_or(0);
}

void TWPreference::setFilterMinSize(uint64_t size) {
    uint64_t maximum = kDefaultMaxSize;
    auto belowMaximum = [&](const Json& stored) {
        maximum = storedSize(stored, kMaxSizeIgnored, kDefaultMaxSize);
        return size < maximum;
    };
    if (!writeSettingIf(kMinSizeIgnored, size, belowMaximum))
        tw::log("filter min size(%lu) over than max size(%lu), ignored", static_cast<unsigned long>(size),
                static_cast<unsigned long>(maximum));
}

uint64_t TWPreference::filterMaxSize() const {
    return store().uintValue(kMaxSizeIgnored).value_or(kDefaultMaxSize);
}

void TWPreference::setFilterMaxSize(uint64_t size) {
    uint64_t minimum = 0;
    auto aboveMinimum = [&](const Json& stored) {
        minimum = storedSize(stored, kMinSizeIgnored, 0);
        return size > minimum;
    };
    if (!writeSettingIf(kMaxSizeIgnored, size, aboveMinimum))
        tw::log("filter max size(%lu) low than min size(%lu), ignored", static_cast<unsigned long>(size),
                static_cast<unsigned long>(minimum));
}

bool TWPreference::filterPackage() const {
    return store().boolValue(kSkipPackages).value_or(false);
}
void TWPreference::setFilterPackage(bool skip) {
    writeSetting(kSkipPackages, skip);
}

int64_t TWPreference::searchMode() const {
    return store().intValue(kSearchMode).value_or(TWSearchModeContent);
}
void TWPreference::setSearchMode(int64_t mode) {
    writeSetting(kSearchMode, mode);
}

int64_t TWPreference::destType() const {
    return store().intValue(kDestType).value_or(TWDestTypeTrash);
}
void TWPreference::setDestType(int64_t type) {
    writeSetting(kDestType, type);
}

namespace {
int32_t int32Setting(const char* key, int32_t fallback) {
    auto value = store().intValue(key);
    if (!value) return fallback;
    if (*value < INT32_MIN || *value > INT32_MAX) {
        tw::log("setting %s holds %lld, out of range: using its default", key, static_cast<long long>(*value));
        return fallback;
    }
    return static_cast<int32_t>(*value);
}
}  // namespace

int32_t TWPreference::checkMethodForDuplicateFiles() const {
    return int32Setting(kSmartCheckMethodForDuplicateFiles, TWCheckMethodSmartName);
}
void TWPreference::setCheckMethodForDuplicateFiles(int32_t method) {
    writeSetting(kSmartCheckMethodForDuplicateFiles, method);
}

int32_t TWPreference::checkMethodForSimilarImages() const {
    return int32Setting(kSmartCheckMethodForSimilarImages, kDefaultCheckMethodForSimilarImages);
}
void TWPreference::setCheckMethodForSimilarImages(int32_t method) {
    writeSetting(kSmartCheckMethodForSimilarImages, method);
}

bool TWPreference::usingDupFilesChkMtdForSimImg() const {
    return store().boolValue(kUsingDupFileChkMthForSimImg).value_or(kDefaultUsingDupFilesChkMtdForSimImg);
}
void TWPreference::setUsingDupFilesChkMtdForSimImg(bool use) {
    writeSetting(kUsingDupFileChkMthForSimImg, use);
}

int64_t TWPreference::similarMethod() const {
    const int64_t method = store().intValue(kSimilarMethod).value_or(kDefaultSimilarMethod);
    if (method == TWSimilarMethodColours || method == TWSimilarMethodLook) return method;
    tw::log("setting %s holds %lld, not a method: using its default", kSimilarMethod, static_cast<long long>(method));
    return kDefaultSimilarMethod;
}
void TWPreference::setSimilarMethod(int64_t method) {
    writeSetting(kSimilarMethod, method);
}

bool TWPreference::verifyFullContent() const {
    return store().boolValue(kVerifyFullContent).value_or(true);
}
void TWPreference::setVerifyFullContent(bool verify) {
    writeSetting(kVerifyFullContent, verify);
}

bool TWPreference::scanInBackground() const {
    return store().boolValue(kScanInBackground).value_or(false);
}
void TWPreference::setScanInBackground(bool background) {
    writeSetting(kScanInBackground, background);
}

bool TWPreference::rememberFiles() const {
    return store().boolValue(kRememberFiles).value_or(true);
}
void TWPreference::setRememberFiles(bool remember) {
    writeSetting(kRememberFiles, remember);
}

std::string TWPreference::iTunesMediaFolderLocation() const {
    return impl_->current().iTunesMediaFolder;
}

void TWPreference::setITunesMediaFolderLocation(const std::string& path) {
    if (pt::characterCount(path) < 3) return;
    writeSetting(kITunesMediaFolderLocation, path);
}

std::string TWPreference::PhotosLibraryLocation() const {
    return impl_->current().photosLibrary;
}

void TWPreference::setPhotosLibraryLocation(const std::string& path) {
    if (pt::characterCount(path) < 2) return;
    writeSetting(kPhotoLibraryLocation, path);
}

std::string TWPreference::chosenLibraryLocation(const std::string& sourceIdentifier) const {
    const char* key = sourceIdentifier == MLMediaSourcePhotosIdentifier   ? kPhotoLibraryLocation
                      : sourceIdentifier == MLMediaSourceiTunesIdentifier ? kITunesMediaFolderLocation
                                                                          : nullptr;
    return key ? store().stringValue(key).value_or("") : "";
}

// --- library locations ---

// The libraries found on this system (LibraryLocations.h): the folder of the Shotwell
// library, else digiKam's database, else where Shotwell would keep one; Rhythmbox's folder.
std::string TWPreference::defaultItunesMediaFolderLocation() {
    return tw::userdirs::resolveSymlinks(tw::libraries::rhythmboxFolder());
}

std::string TWPreference::defaultPhotoLibraryLocation() {
    const std::string shotwell = tw::libraries::shotwellFolder();
    if (tw::libraries::shotwellDatabaseIn(shotwell).empty())
        if (std::string digikam = tw::libraries::digikamDatabase().file; tw::libraries::isRegularFile(digikam))
            return tw::userdirs::resolveSymlinks(digikam);
    return tw::userdirs::resolveSymlinks(shotwell);
}

std::vector<std::string> TWPreference::defaultIgnoreTypes() {
    return {".DS_Store"};
}

// --- path predicates ---

bool TWPreference::folderIsParentOfFolder(const std::string& a, const std::string& b) {
    std::string_view parent = pt::withoutTrailingSlashes(a);
    if (parent.empty()) return false;
    // The scan asks this of every entry: the search for the text, which mostly fails,
    // comes before counting components, and it is memmem's (std::string::find compares
    // at every '/' of the path when the text begins with one).
    const auto find = [&](size_t from) {
        const void* at =
            from > b.size() ? nullptr : memmem(b.data() + from, b.size() - from, parent.data(), parent.size());
        return at ? static_cast<size_t>(static_cast<const char*>(at) - b.data()) : std::string::npos;
    };
    size_t pos = find(0);
    if (pos == std::string::npos || pt::componentCount(parent) >= pt::componentCount(b)) return false;
    // Anywhere in b (a library on another volume keeps its path below the mount point),
    // but only as whole components: /x/Music does not contain /x/Music2/a.
    for (; pos != std::string::npos; pos = find(pos + 1)) {
        bool startsAtComponent = pos == 0 || parent.front() == '/' || b[pos - 1] == '/';
        size_t end = pos + parent.size();
        bool endsAtComponent = end == b.size() || b[end] == '/' || parent.back() == '/';
        if (startsAtComponent && endsAtComponent) return true;
    }
    return false;
}

bool TWPreference::containedByItunesMediaFolder(const std::string& path) const {
    return folderIsParentOfFolder(impl_->current().iTunesMediaFolder, path);
}

bool TWPreference::containedByPhotoLibraryPath(const std::string& path) const {
    return folderIsParentOfFolder(impl_->current().photosLibrary, path);
}

bool TWPreference::containItunesMediaFolder(const std::string& path) const {
    return folderIsParentOfFolder(path, impl_->current().iTunesMediaFolder);
}

bool TWPreference::containPhotoLibraryPath(const std::string& path) const {
    return folderIsParentOfFolder(path, impl_->current().photosLibrary);
}

namespace {

// Whether `path` lower-cased is `lower` (already lower-cased), without a copy.
bool equalsLowered(const std::string& path, const std::string& lower) {
    if (path.size() != lower.size()) return false;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != lower[i]) return false;
    }
    return true;
}

}  // namespace

bool TWPreference::isPhotosLibraryPath(const std::string& path) const {
    return equalsLowered(path, impl_->current().photosLibraryLower);
}

bool TWPreference::isItuneMediaFolderLocation(const std::string& path) const {
    return equalsLowered(path, impl_->current().iTunesMediaFolderLower);
}

bool TWPreference::isLibraryLocation(const std::string& path) const {
    const TWPreferenceDerived& d = impl_->current();
    return isiPhotoLibraryPath(path) || equalsLowered(path, d.photosLibraryLower) ||
           folderIsParentOfFolder(d.photosLibrary, path) || equalsLowered(path, d.iTunesMediaFolderLower) ||
           folderIsParentOfFolder(d.iTunesMediaFolder, path);
}

bool TWPreference::isiPhotoLibraryPath(const std::string& path) {
    static constexpr std::string_view kOldLibrary = "iPhoto Library.photolibrary";
    if (pt::extension(path) == "photolibrary") return true;
    if (path.find(kOldLibrary) == std::string::npos) return false;
    std::string_view rest = path;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view component = rest.substr(0, slash);
        if (component == kOldLibrary) return true;
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    return false;
}

// --- ignore test ---

bool TWPreference::isHiddenAtItem(const std::string& path) {
    std::string_view name = pt::lastComponent(path);
    if (name.empty()) return false;
    if (name.front() == '.') return true;
    std::string_view folder = pt::deletingLastComponent(path);
    return tw::hiddenlist::lists(folder.empty() ? std::string(".") : std::string(folder), name);
}

namespace {

// The part of the ignore test that depends on the item's kind; the size is read only
// for a file.
template <class Size>
bool isIgnoredByKind(const TWPreferenceDerived& d, const std::string& path, TWFileType type, Size sizeOf) {
    switch (type) {
        case TWFileTypePackage:
            return d.skipPackages;
        case TWFileTypeDirectory:
            for (const auto& folder : d.ancestryFolders)
                if (TWBaseFunction::pathIsParentOfPath(folder, path)) return true;
            return false;
        default: {
            const uint64_t size = sizeOf();
            return size < d.minSize || size >= d.maxSize;
        }
    }
}

// The rules that need only the path: hidden, ignored type, listed folder.
bool isIgnoredByPath(const TWPreferenceDerived& d, const std::string& path, bool folderHasHiddenList = true) {
    if (d.skipHidden) {
        const std::string_view name = pt::lastComponent(path);
        if (folderHasHiddenList ? TWPreference::isHiddenAtItem(path) : !name.empty() && name.front() == '.')
            return true;
    }
    if (!d.types.empty()) {
        std::string_view ext = pt::extension(path);
        if (!ext.empty() && d.types.count(pt::asciiLower(ext)) != 0) return true;
    }
    return d.folderSet.count(path) != 0;
}

}  // namespace

bool TWPreference::fileFolderIsIgnored(const std::string& path) const {
    const TWPreferenceDerived& d = impl_->current();
    if (isIgnoredByPath(d, path)) return true;
    return isIgnoredByKind(d, path, TWFileUtility::fileTypeOf(path), [&] { return TWFileUtility::sizeOfPath(path); });
}

bool TWPreference::fileFolderIsIgnored(const std::string& path, TWFileType type, uint64_t size,
                                       bool folderHasHiddenList) const {
    const TWPreferenceDerived& d = impl_->current();
    if (isIgnoredByPath(d, path, folderHasHiddenList)) return true;
    return isIgnoredByKind(d, path, type, [size] { return size; });
}

// --- ignored file types ---

std::vector<std::string> TWPreference::filterFileTypeArray() const {
    return readList(kIgnoredFileTypes);
}

size_t TWPreference::numberOfFilterFileType() const {
    return filterFileTypeArray().size();
}

std::optional<std::string> TWPreference::filterFileTypePathAt(int64_t index) const {
    auto types = filterFileTypeArray();
    if (index < 0 || static_cast<uint64_t>(index) >= types.size()) return std::nullopt;
    return types[static_cast<size_t>(index)];
}

void TWPreference::addFilterFileType(const std::string& type) {
    updateList(impl_->listMutex, kIgnoredFileTypes, false, [&](StringList& list) {
        list.push_back(type);
        return true;
    });
}

void TWPreference::removeFilterFileTypeAtIndex(size_t index) {
    updateList(impl_->listMutex, kIgnoredFileTypes, false, [&](StringList& list) {
        if (index >= list.size()) return false;
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
        return true;
    });
}

void TWPreference::updateFilterFileTypeAtIndex(size_t index, const std::string& type) {
    if (type.empty()) {
        removeFilterFileTypeAtIndex(index);
        return;
    }
    updateList(impl_->listMutex, kIgnoredFileTypes, false, [&](StringList& list) {
        if (index >= list.size()) return false;
        list[index] = type;
        return true;
    });
}

void TWPreference::setFilterFileTypeArray(const std::optional<std::vector<std::string>>& types) {
    std::lock_guard<std::mutex> lock(impl_->listMutex);
    if (types)
        writeSetting(kIgnoredFileTypes, *types);
    else
        removeSetting(kIgnoredFileTypes);
}

// --- ignored folders and files ---

std::vector<std::string> TWPreference::filterFileFolders() const {
    return readList(kIgnoredFileFolders);
}

size_t TWPreference::numberOfFilterFileFolders() const {
    return filterFileFolders().size();
}

std::optional<std::string> TWPreference::filterFileFolderAtIndex(size_t index) const {
    auto folders = filterFileFolders();
    if (index >= folders.size()) return std::nullopt;
    return folders[index];
}

void TWPreference::addFilterFileFolder(const std::string& path) {
    if (path.empty()) return;
    updateList(impl_->listMutex, kIgnoredFileFolders, true, [&](StringList& list) {
        list.push_back(path);
        return true;
    });
}

void TWPreference::addFilterFileFolders(const std::vector<std::string>& paths) {
    bool any = false;
    for (const auto& p : paths) any = any || !p.empty();
    if (!any) return;
    updateList(impl_->listMutex, kIgnoredFileFolders, true, [&](StringList& list) {
        for (const auto& p : paths)
            if (!p.empty()) list.push_back(p);
        return true;
    });
}

void TWPreference::removeFilterFileFolder(const std::string& path) {
    if (path.empty()) return;
    updateList(impl_->listMutex, kIgnoredFileFolders, true, [&](StringList& list) {
        std::erase(list, path);
        return true;
    });
}

void TWPreference::removeFilterFileFolderAtIndex(size_t index) {
    removeFilterFileFoldersAtIndexes({index});
}

void TWPreference::removeFilterFileFoldersAtIndexes(const std::set<size_t>& indexes) {
    if (indexes.empty()) return;
    updateList(impl_->listMutex, kIgnoredFileFolders, true,
               [&](StringList& list) { return removeIndexes(list, indexes); });
}

void TWPreference::setFilterFileFolders(const std::vector<std::string>& paths) {
    std::lock_guard<std::mutex> lock(impl_->listMutex);
    if (paths.empty())
        removeSetting(kIgnoredFileFolders);
    else
        writeSetting(kIgnoredFileFolders, paths);
}
