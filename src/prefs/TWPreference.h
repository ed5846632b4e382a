#pragma once
// The one object through which every part reads and changes the user's settings,
// and which answers the scan's questions about paths (ignored? inside or above a
// library? which folder grant covers it?).
//
// Safe from any thread. Scalar settings are read through from the defaults store on
// every access (cheap: see DefaultsStore) with the default below when absent; every
// setter writes its key durably at once. Only the folder-grant list is held in
// memory; it is guarded by a mutex of its own.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"
#include "prefs/TWPreferenceTypes.h"

enum TWFileType : int64_t;  // TWFileUtility.h

class TWPrivilegeFolder;

// Settings keys, as stored.
inline constexpr const char* kSimilarityLevel = "kSimilarityLevel";
inline constexpr const char* kSkipHiddenItems = "kSkipHiddenItems";
inline constexpr const char* kMinSizeIgnored = "minsizeignored";
inline constexpr const char* kMaxSizeIgnored = "maxsizeignored";
inline constexpr const char* kSkipPackages = "isSkipPackages";
inline constexpr const char* kSearchMode = "findModeMatrixSeletedRow";
inline constexpr const char* kDestType = "trashMatrixSelectRow";
inline constexpr const char* kSmartCheckMethodForDuplicateFiles = "kSmartCheckMethodForDuplicateFiles";
inline constexpr const char* kSmartCheckMethodForSimilarImages = "kSmartCheckMethodForSimilarImages";
inline constexpr const char* kUsingDupFileChkMthForSimImg = "kUsingDupFileChkMthForSimImg";
inline constexpr const char* kFoldersPrivilegeArray = "kFoldersPrivilegeArray";
inline constexpr const char* kIgnoredFileTypes = "sortArray";
inline constexpr const char* kIgnoredFileFolders = "archiveHiddenFiles";
inline constexpr const char* kITunesMediaFolderLocation = "iTunesMediaFolderLocation";
inline constexpr const char* kPhotoLibraryLocation = "PhotoLibraryLocation";
inline constexpr const char* kVerifyFullContent = "kVerifyFullContent";
inline constexpr const char* kSimilarMethod = "kSimilarMethod";
inline constexpr const char* kScanInBackground = "kScanInBackground";
inline constexpr const char* kRememberFiles = "kRememberFiles";

inline constexpr const char* TWPrivilegeChanged = "TWPrivilegeChanged";

class TWPreference {
public:
    static TWPreference& shared();
    // Drops the instance so that the next shared() builds a new one from the store
    // (tests, after pointing the defaults store elsewhere).
    static void resetShared();

    // --- scalar settings ---
    float similarityLevel() const;
    void setSimilarityLevel(float level);
    bool skipHiddenItems() const;
    void setSkipHiddenItems(bool skip);
    uint64_t filterMinSize() const;
    void setFilterMinSize(uint64_t size);  // refused (and logged) unless below the maximum
    uint64_t filterMaxSize() const;
    void setFilterMaxSize(uint64_t size);  // refused (and logged) unless above the minimum
    bool filterPackage() const;
    void setFilterPackage(bool skip);
    int64_t searchMode() const;  // TWSearchMode; other stored values match nothing
    void setSearchMode(int64_t mode);
    int64_t destType() const;  // TWDestType
    void setDestType(int64_t type);
    int32_t checkMethodForDuplicateFiles() const;
    void setCheckMethodForDuplicateFiles(int32_t method);
    int32_t checkMethodForSimilarImages() const;
    void setCheckMethodForSimilarImages(int32_t method);
    bool usingDupFilesChkMtdForSimImg() const;
    void setUsingDupFilesChkMtdForSimImg(bool use);
    // TWSimilarMethod: how similar pictures are told (default colours); a stored value that
    // is no method reads as the default.
    int64_t similarMethod() const;
    void setSimilarMethod(int64_t method);
    // Whether a content match also compares the whole content (default true).
    bool verifyFullContent() const;
    void setVerifyFullContent(bool verify);
    // Whether scans and removals run their workers at a lowered CPU and I/O priority
    // (default false: at the process's own, as a person waits for them).
    bool scanInBackground() const;
    void setScanInBackground(bool background);
    // Whether scans keep what they learned of each file (hashes, digests, picture
    // signatures) for the next scan (default true).
    bool rememberFiles() const;
    void setRememberFiles(bool remember);
    // The stored location, else the default below (which follows a change of the
    // user-directories file within a second).
    std::string iTunesMediaFolderLocation() const;
    void setITunesMediaFolderLocation(const std::string& path);  // ignored below 3 characters
    std::string PhotosLibraryLocation() const;
    void setPhotosLibraryLocation(const std::string& path);  // ignored below 2 characters
    // The location the user chose for the photo or the music library (by
    // MLMediaSource*Identifier); "" while none is stored and the library found applies.
    std::string chosenLibraryLocation(const std::string& sourceIdentifier) const;

    // --- library locations ---
    // The music library's folder (Rhythmbox's), and the photo library found (Shotwell's
    // folder, else digiKam's database, else Shotwell's default folder).
    static std::string defaultItunesMediaFolderLocation();
    static std::string defaultPhotoLibraryLocation();
    static std::vector<std::string> defaultIgnoreTypes();  // {".DS_Store"}

    // --- path predicates (textual; none touches the file system) ---
    // True when a has fewer components than b and a's text occurs in b as whole
    // components, anywhere (a library keeps its path below another volume's mount point).
    static bool folderIsParentOfFolder(const std::string& a, const std::string& b);
    bool containedByItunesMediaFolder(const std::string& path) const;
    bool containedByPhotoLibraryPath(const std::string& path) const;
    bool containItunesMediaFolder(const std::string& path) const;
    bool containPhotoLibraryPath(const std::string& path) const;
    bool isPhotosLibraryPath(const std::string& path) const;
    bool isItuneMediaFolderLocation(const std::string& path) const;
    static bool isiPhotoLibraryPath(const std::string& path);
    // Whether the walk leaves `path` to the media-library sources: an old photo library,
    // the photo library or the music folder, or a path inside either (the five tests
    // above, with the settings read once).
    bool isLibraryLocation(const std::string& path) const;

    // --- ignore test ---
    // A name that begins with "." or that the folder's .hidden file lists.
    static bool isHiddenAtItem(const std::string& path);
    // The test the scan applies to every entry it meets, first rule that applies:
    // hidden (when skipped), an ignored type (extension, any case, one leading "."
    // optional), an exact entry of the folder list, then by kind: a package by
    // filterPackage, a folder below an entry of the folder list, a file outside
    // [filterMinSize, filterMaxSize). Reads the settings each time without parsing or
    // copying lists.
    bool fileFolderIsIgnored(const std::string& path) const;
    // The same test for an item whose kind (TWFileUtility::fileTypeOf) and own size
    // (TWFileUtility::sizeOfPath) the caller has just read, without reading them again;
    // `folderHasHiddenList` false tells that the item's folder has no .hidden file (its
    // listing showed none), so that file need not be looked for.
    bool fileFolderIsIgnored(const std::string& path, TWFileType type, uint64_t size,
                             bool folderHasHiddenList = true) const;

    // --- ignored file types ("sortArray") ---
    std::vector<std::string> filterFileTypeArray() const;
    size_t numberOfFilterFileType() const;
    std::optional<std::string> filterFileTypePathAt(int64_t index) const;
    void addFilterFileType(const std::string& type);
    void removeFilterFileTypeAtIndex(size_t index);
    void updateFilterFileTypeAtIndex(size_t index, const std::string& type);
    void setFilterFileTypeArray(const std::optional<std::vector<std::string>>& types);

    // --- ignored folders and files ("archiveHiddenFiles") ---
    std::vector<std::string> filterFileFolders() const;
    size_t numberOfFilterFileFolders() const;
    std::optional<std::string> filterFileFolderAtIndex(size_t index) const;
    void addFilterFileFolder(const std::string& path);
    void addFilterFileFolders(const std::vector<std::string>& paths);
    void removeFilterFileFolder(const std::string& path);
    void removeFilterFileFolderAtIndex(size_t index);
    void removeFilterFileFoldersAtIndexes(const std::set<size_t>& indexes);
    void setFilterFileFolders(const std::vector<std::string>& paths);

    // --- folder grants ---
    // The records of the list, in order; the records are shared, so setPrivilege() on
    // one of them changes the stored list (through TWPrivilegeChanged).
    std::vector<std::shared_ptr<TWPrivilegeFolder>> foldersPrivilege() const;
    size_t countOfFoldersPrivilege() const;
    void setFoldersPrivilege(const std::vector<std::shared_ptr<TWPrivilegeFolder>>& list);
    void insertObject(const std::shared_ptr<TWPrivilegeFolder>& grant, size_t index);
    void removeObjectFromFoldersPrivilegeAtIndex(size_t index);
    void removeFoldersPrivilegeAtIndexes(const std::set<size_t>& indexes);
    void addPrivilegeFolder(const std::string& path);
    void addPrivilegeFoldersWithURLs(const std::vector<std::string>& paths);
    void cleanFolderPrivilege();
    std::vector<std::shared_ptr<TWPrivilegeFolder>> restorePrivilegeFolders() const;
    void savePrivilegeFolders();
    int64_t privilegeAtPath(const std::string& path) const;
    void privilegeChanged();

    ~TWPreference();

private:
    TWPreference();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
