#pragma once
// The preferences window: edits the settings of the preference store, each change
// written at once. One window for the app, shown by the Preferences menu item and the
// header bar's Settings button. Its own title bar chooses one of three pages:
// General, Ignore and Smart selection. Main thread only.
//
// The actions and bound properties of the pages are offered here under the window's
// names; the pages hold the controls.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "NotificationCenter.h"

class QAction;
class QScrollArea;
class QStackedWidget;
class TWPreferenceGeneralPage;
class TWPreferenceIgnorePage;
class TWPreferenceSmartPage;
class TWPreferencesWndTitleBarViewCtrl;
enum class TWMenuAction;

class TWPreferenceCtrl : public QObject {
    Q_OBJECT
public:
    static constexpr QSize kWindowSize{660, 600};
    enum Page { generalPage = 0, ignorePage = 1, smartPage = 2 };

    // The one preferences window controller, made on first use.
    static TWPreferenceCtrl* shared();
    static void resetShared();

    // Reloads the ignored table (a scan's results may have added to it), then shows
    // the window, raised and activated.
    void showWindow();
    QWidget* window() const { return window_; }
    TWPreferencesWndTitleBarViewCtrl* titleBar() const { return titleBar_; }
    TWPreferenceGeneralPage* general() const { return general_; }
    TWPreferenceIgnorePage* ignore() const { return ignore_; }
    TWPreferenceSmartPage* smart() const { return smart_; }
    // The index of the page shown (the title bar's buttonSelected).
    int currentPage() const;
    void showPage(int index);

    // --- menu ---
    // Only Select All, and only on the Ignore page, where it selects every ignored item.
    bool validateMenuItem(TWMenuAction action) const;
    void selectAll();
    QAction* selectAllAction() const { return selectAllAction_; }

    // --- actions ---
    void searchMethodChanged();
    void removeDestChanged();
    void skipPageChanged();
    void skipHiddenChecked();
    void changePhotoLibraryLocation();
    void changeItunesMediaLocation();
    void addFilterFileType();
    void removeSelectedFileType();
    void addFilterFileFolders();
    void removeFilterFileAndFolders();
    void showInFinder(int row);
    void addPrivilegeFolder();
    void removePrivilegeFolder();

    // --- bound properties (the Smart selection page) ---
    bool selectBySmartName() const;
    void setSelectBySmartName(bool select);
    bool selectByFolderPrivilege() const;
    void setSelectByFolderPrivilege(bool select);
    bool selectByNewer() const;
    void setSelectByNewer(bool select);
    bool selectByOlder() const;
    void setSelectByOlder(bool select);
    bool selectSameAsDupFiles() const;
    void setSelectSameAsDupFiles(bool select);
    bool selectByBestPicture() const;
    void setSelectByBestPicture(bool select);
    bool selectByHighQuality() const;
    void setSelectByHighQuality(bool select);
    bool selectByLowerQuality() const;
    void setSelectByLowerQuality(bool select);
    bool selectByHighResolution() const;
    void setSelectByHighResolution(bool select);
    bool selectByLowResolution() const;
    void setSelectByLowResolution(bool select);
    bool canRemovePrivilegeFolder() const;

private:
    TWPreferenceCtrl();
    ~TWPreferenceCtrl() override;
    void updateSelectAll();

    QPointer<QWidget> window_;
    TWPreferencesWndTitleBarViewCtrl* titleBar_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QScrollArea* scroller_ = nullptr;
    TWPreferenceGeneralPage* general_ = nullptr;
    TWPreferenceIgnorePage* ignore_ = nullptr;
    TWPreferenceSmartPage* smart_ = nullptr;
    QAction* selectAllAction_ = nullptr;
    tw::NotificationCenter::Observer pageObserver_;
};
