#pragma once
// What the scan view controller tells the application delegate. Every message is
// optional: the defaults do nothing.

#include <memory>
#include <vector>

class TWCategoryFiles;
class TWLoadFilesCtrl;

class TWLoadFilesCtrlDelegate {
public:
    virtual ~TWLoadFilesCtrlDelegate() = default;
    // A scan has started (the status became 1).
    virtual void TWLoadFileCtrlStartSearch(TWLoadFilesCtrl& ctrl) {}
    // A scan ended having found at least one duplicate; `result` is the object of the
    // engine's finished notification, its per-category containers.
    virtual void TWLoadFileCtrlCompleteSearchWithResult(TWLoadFilesCtrl& ctrl,
                                                        const std::vector<std::shared_ptr<TWCategoryFiles>>& result) {}
    // The folder list was cleared or a new scan was begun.
    virtual void TWLoadFileCtrlReset(TWLoadFilesCtrl& ctrl) {}
    // The user pressed Show Results on a finished scan.
    virtual void TWLoadFileCtrlShowResultAgain(TWLoadFilesCtrl& ctrl) {}
};
