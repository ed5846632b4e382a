#pragma once
// The files of the selected groups as one flat list of rows (every member of the first
// selected group, then of the next, ...), the selection among those rows, and the
// per-file actions of the views: check, ignore, reveal, and the selection rules and
// "uncheck all" on the selected groups.
//
// The list follows the results manager's group selection: every change there discards
// it (this object is that manager's default delegate) and the next access rebuilds it.
// Edits inside the groups do not rebuild it, so a row's isFirst keeps the value it had
// when the row was made.
//
// Threading: the list is guarded by a mutex of its own, never held while a group is
// called. Building the list asks the results manager for its selection, so the
// operations that may build it ("built first when absent" below) are main-thread only;
// the row selection and the actions run on the caller's thread, the main thread in
// practice, and the notification is delivered on it.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/TWDuplicateFilesManager.h"
#include "model/TWFileUtilityMgr.h"
#include "prefs/TWPreferenceTypes.h"

// Posted with no object on the default centre whenever the row selection is set.
inline constexpr const char* TWDuplicateSingleFileSelectionChangedNotification =
    "TWDuplicateSingleFileSelectionChangedNotification";

class TWFilesListManager : public TWDuplicateFilesManagerDelegate {
public:
    using FilePtr = std::shared_ptr<TWFileUtility>;
    using GroupPtr = TWDuplicateFile::Ptr;
    using RowPtr = std::shared_ptr<TWFileUtilityMgr>;
    using IndexSet = std::set<size_t>;
    // Shows files in the desktop's file manager. Runs on a worker thread: the request to
    // the file manager may take seconds.
    using Revealer = std::function<void(const std::vector<std::string>& paths)>;

    static TWFilesListManager& shareFilesListManager();
    // Replaces the singleton by a fresh one (tests); the results manager's default
    // delegate becomes the new one. Main thread.
    static void resetShareFilesListManager();

    TWFilesListManager();
    ~TWFilesListManager() override;
    TWFilesListManager(const TWFilesListManager&) = delete;
    TWFilesListManager& operator=(const TWFilesListManager&) = delete;

    // --- rows (each built first when absent) ---
    std::vector<RowPtr> arrayFileUtilityMgr();  // a copy
    size_t numberOfFilesItem();
    RowPtr fileUtilityMgrAtIndex(size_t index);  // null past the end
    FilePtr fileItemAtIndex(size_t index);       // the row's record, or null
    // The row's record, and its isFirst through `isFirst` when given; past the end null
    // and `isFirst` untouched.
    FilePtr fileItemAtIndex(size_t index, bool* isFirst);
    // True for index 0 whatever the rows; otherwise the row's isFirst (false past the end).
    bool isFirstFileItemAtIndex(size_t index);
    // The row's group, and through `basedDuplicateFileIndex` the record's position in it
    // now (TWDuplicateFile::kNotFound once it left); past the end null, nothing written.
    GroupPtr duplicateFileAtFileItemIndex(size_t index, size_t* basedDuplicateFileIndex = nullptr);
    // Removes the row when the index is in range; never builds the list.
    void removeFileUtilityMgrAtIndex(size_t index);

    // --- row selection ---
    IndexSet selection() const;
    // Replaces the selection, then posts TWDuplicateSingleFileSelectionChangedNotification.
    void setSelection(IndexSet indexes);
    void defaultSelection();     // {0} when there are rows, else nothing; posts either way
    FilePtr fileItemSelected();  // the first selected row's record, or null

    // --- actions ---
    // Sets the check flag of the row's file through its group. Answers whether a flag
    // changed: false past the end, for a record that left its group, or for an equal flag.
    bool checkedFileItem(bool checked, size_t index);
    // Hides the row's file in its group (and the group's similar group), which adds its
    // path to the ignore list, and removes the row. Answers false past the end.
    bool ignoreFileItemAtIndex(size_t index);
    // Asks the file manager to show the row's file; nothing past the end. Returns at once.
    void showInFinderFileItemAtIndex(size_t index);
    void setRevealer(Revealer revealer);  // empty: the desktop's file manager
    // Whether a selected group of the results manager is a similar group.
    bool containSimilarItem();
    // Applies the rule to each selected group of the results manager, in selection order.
    void smartCheckWithMethod(TWCheckMethod method);
    void uncheckedAll();  // on each selected group

    // Discards the rows; the row selection stays as it is.
    void TWDuplicateFilesManagerSelectionDidChanged(TWDuplicateFilesManager& manager) override;

private:
    // Runs `fn` on the current rows under the mutex, building them first from the
    // results manager's selection when absent (with the mutex released meanwhile).
    template <typename Fn>
    auto withRows(Fn&& fn);
    static std::vector<RowPtr> buildRows(const std::vector<GroupPtr>& groups);

    mutable std::mutex mutex_;  // guards the members below
    std::optional<std::vector<RowPtr>> cacheFileUnitiyMgr_;
    // Bumped by every discard, so that rows built from an older selection are not kept.
    uint64_t generation_ = 0;
    IndexSet selections_;
    Revealer revealer_;
};
