// The automatic selection rules of a duplicate group. Each walks the members once in
// list order with a keeper K (initially the first member): a member that "replaces" K
// becomes the new keeper and K is checked; any other member is checked. At the end the
// keeper alone is unchecked, so the outcome never depends on the flags set before.
//
// The best-picture rule (8) keeps the picture of the highest resolution, then the larger
// file, then the one the duplicate-files rule keeps; a group whose members are all the
// same bytes simply follows the duplicate-files rule.

#include <climits>
#include <functional>
#include <string>

#include "TWDuplicateFile.h"
#include "TWPreference.h"

namespace {

using FilePtr = TWDuplicateFile::FilePtr;

// UTF-16 code units of a UTF-8 name, the units in which name lengths are counted and
// names compared. A byte that is not part of valid UTF-8 becomes one unit of its own
// (0xDC00 + byte, as lone low surrogates), so different names stay different.
std::u16string utf16Units(const std::string& text) {
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t cp = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = length != 0 && i + length <= n;
        for (size_t k = 1; valid && k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            out.push_back(static_cast<char16_t>(0xDC00 + lead));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

// The integer a name starts with: leading white space skipped, an optional sign, then
// decimal digits, saturating at the 64-bit limits; 0 when no digit follows.
int64_t leadingInteger(const std::u16string& name) {
    size_t i = 0;
    while (i < name.size() && (name[i] == u' ' || (name[i] >= u'\t' && name[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < name.size() && (name[i] == u'+' || name[i] == u'-')) negative = name[i++] == u'-';
    int64_t value = 0;
    for (; i < name.size() && name[i] >= u'0' && name[i] <= u'9'; ++i) {
        const int digit = name[i] - u'0';
        if (!negative) {
            value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
        } else {
            value = value < (INT64_MIN + digit) / 10 ? INT64_MIN : value * 10 - digit;
        }
    }
    return value;
}

// Whether the next name takes the keeper's place: the shorter name wins; at equal
// lengths the smaller leading number wins (the later file on a tie) when both names
// start with one, else the name that sorts last by code unit (the earlier on a tie).
bool nameReplaces(const std::string& keeperName, const std::string& nextName) {
    const std::u16string kn = utf16Units(keeperName);
    const std::u16string en = utf16Units(nextName);
    if (en.size() != kn.size()) return en.size() < kn.size();
    const int64_t kv = leadingInteger(kn);
    const int64_t ev = leadingInteger(en);
    if (kv != 0 && ev != 0) return kv >= ev;
    return kn < en;
}

}  // namespace

void TWDuplicateFile::runSelectionWalk(const Replaces& replaces, bool privilegeFlags) {
    {
        std::lock_guard lock(mutex_);
        numberOfChecked_ = 0;
        sizeOfChecked_ = 0;
        if (!files_.empty()) {
            FilePtr keeper = files_.front();
            if (privilegeFlags) keeper->setIsChecked(false);
            for (size_t i = 1; i < files_.size(); ++i) {
                const FilePtr& next = files_[i];
                const bool nextReplaces = replaces(keeper, next);
                FilePtr checked = nextReplaces ? keeper : next;
                // A file no removal may touch stays unchecked where the rule would check
                // it, so its group may keep two.
                if (!checked->refusesRemoval()) {
                    checked->setIsChecked(true);
                    ++numberOfChecked_;
                    sizeOfChecked_ += checked->fileSize();
                }
                if (nextReplaces) {
                    keeper = next;
                    if (privilegeFlags) keeper->setIsChecked(false);
                }
            }
            if (keeper->isChecked()) keeper->setIsChecked(false);
        }
    }
    flagsChanged();
}

namespace {

using Rule = std::function<bool(const FilePtr& keeper, const FilePtr& next)>;

// When the next file takes the keeper's place under rules 0 to 7, and nothing for other
// values.
Rule replacesFor(int32_t method) {
    switch (method) {
        case TWCheckMethodSmartName:
            return [](const FilePtr& k, const FilePtr& e) { return nameReplaces(k->fileName(), e->fileName()); };
        case TWCheckMethodFolderPrivilege:
            return [](const FilePtr& k, const FilePtr& e) { return e->privilege() < k->privilege(); };
        case TWCheckMethodNewer:
        case TWCheckMethodOlder:
            return [keepNewest = method == TWCheckMethodOlder](const FilePtr& k, const FilePtr& e) {
                const std::optional<TWTime>& kt = k->createTime();
                const std::optional<TWTime>& et = e->createTime();
                // An undated member never displaces a keeper, and any dated one displaces an
                // undated keeper: we cannot tell its age, so a dated copy is the safer keep.
                if (!et) return false;
                if (!kt) return true;
                return keepNewest ? *kt < *et : *kt > *et;
            };
        case TWCheckMethodHighQuality:
        case TWCheckMethodLowerQuality:
            return [keepSmallest = method == TWCheckMethodHighQuality](const FilePtr& k, const FilePtr& e) {
                return keepSmallest ? k->fileSize() > e->fileSize() : k->fileSize() < e->fileSize();
            };
        case TWCheckMethodHighResolution:
        case TWCheckMethodLowResolution:
            return [keepLowest = method == TWCheckMethodHighResolution](const FilePtr& k, const FilePtr& e) {
                const bool higher = k->higherThanResolution(e->resolution());
                return keepLowest ? higher : !higher;
            };
        default:
            return nullptr;
    }
}

// The duplicate-files rule, which the best-picture rule falls back on; a stored value
// that is no such rule counts as the smart-name rule.
int32_t duplicateFilesRule() {
    const int32_t method = TWPreference::shared().checkMethodForDuplicateFiles();
    return method >= TWCheckMethodSmartName && method <= TWCheckMethodOlder ? method : TWCheckMethodSmartName;
}

// Whether every member holds the same bytes: equal sizes, then equal digests of the
// whole content (read here, for members whose digest is not known yet). A member that
// cannot be read is not known to be the same.
bool allByteIdentical(const std::vector<FilePtr>& files) {
    for (const FilePtr& file : files)
        if (file->fileSize() != files.front()->fileSize()) return false;
    std::optional<TWContentDigest> first;
    for (const FilePtr& file : files) {
        const std::optional<TWContentDigest> digest = file->contentDigest();
        if (!digest || (first && *digest != *first)) return false;
        if (!first) first = digest;
    }
    return true;
}

}  // namespace

void TWDuplicateFile::smartCheckedByMethod(int32_t method) {
    switch (method) {
        case TWCheckMethodSmartName:
            return smartCheckedByName();
        case TWCheckMethodFolderPrivilege:
            return smartCheckedByFolderPrivilege();
        case TWCheckMethodNewer:
            return smartCheckedByTime(false);
        case TWCheckMethodOlder:
            return smartCheckedByTime(true);
        case TWCheckMethodHighQuality:
            return smartCheckBySize(true);
        case TWCheckMethodLowerQuality:
            return smartCheckBySize(false);
        case TWCheckMethodHighResolution:
            return smartCheckedByResolution(true);
        case TWCheckMethodLowResolution:
            return smartCheckedByResolution(false);
        case TWCheckMethodBestPicture:
            return smartCheckedByBestPicture();
        default:
            return;
    }
}

void TWDuplicateFile::smartCheckedByName() {
    runSelectionWalk(replacesFor(TWCheckMethodSmartName), false);
}

void TWDuplicateFile::smartCheckedByFolderPrivilege() {
    runSelectionWalk(replacesFor(TWCheckMethodFolderPrivilege), true);
}

void TWDuplicateFile::smartCheckedByTime(bool keepNewest) {
    runSelectionWalk(replacesFor(keepNewest ? TWCheckMethodOlder : TWCheckMethodNewer), false);
}

void TWDuplicateFile::smartCheckBySize(bool keepSmallest) {
    runSelectionWalk(replacesFor(keepSmallest ? TWCheckMethodHighQuality : TWCheckMethodLowerQuality), false);
}

void TWDuplicateFile::smartCheckedByResolution(bool keepLowest) {
    // Resolutions not known yet come from the image headers: read them before taking the
    // lock, so the walk itself finds them stored (an unreadable image is read again).
    for (const FilePtr& file : itemsOfFileUtility()) file->resolution();
    runSelectionWalk(replacesFor(keepLowest ? TWCheckMethodHighResolution : TWCheckMethodLowResolution), false);
}

void TWDuplicateFile::smartCheckedByBestPicture() {
    // Headers and contents are read before the walk takes the lock.
    const std::vector<FilePtr> files = itemsOfFileUtility();
    const int32_t fallback = duplicateFilesRule();
    if (files.empty() || allByteIdentical(files)) return smartCheckedByMethod(fallback);
    for (const FilePtr& file : files) file->resolution();
    const Rule tie = replacesFor(fallback);
    runSelectionWalk(
        [&tie](const FilePtr& k, const FilePtr& e) {
            if (e->higherThanResolution(k->resolution())) return true;
            if (k->higherThanResolution(e->resolution())) return false;
            if (e->fileSize() != k->fileSize()) return e->fileSize() > k->fileSize();
            return tie(k, e);
        },
        fallback == TWCheckMethodFolderPrivilege);
}
