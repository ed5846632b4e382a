#pragma once
// The Smart selection page of the preferences window: the rule that marks the copies
// of duplicate groups, the rule for similar images (or the same rule), and the
// privileged folders that the folder-privilege rule ranks by. Main thread only.
//
// The selectBy... properties are bound to the radio buttons: reading one compares
// the stored rule, setting it to true stores that rule (false does nothing, except
// for selectSameAsDupFiles, which stores the value given). Choosing an image rule
// also turns "use the duplicate rule for images" off, so the pair stays consistent.

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QTableView;
class QToolButton;
class TWPrivilegeFolder;

// The folder grants as the store held them at the last reload: column 0 the folder,
// column 1 its privilege, which can be edited. An empty edit leaves the privilege as
// it was; so does text that is not a whole number.
class TWPrivilegeFolderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void reloadData();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<std::shared_ptr<TWPrivilegeFolder>> grants_;
};

class TWPreferenceSmartPage : public QWidget {
    Q_OBJECT
public:
    explicit TWPreferenceSmartPage(QWidget* parent = nullptr);

    // Sets the radio buttons, the table and the Remove button from the store.
    void reloadData();

    // --- bound properties ---
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
    // The folder-privilege rule is chosen and some row is selected.
    bool canRemovePrivilegeFolder() const;

    // --- actions ---
    void addPrivilegeFolder();  // opens the chooser
    void didChoosePrivilegeFolders(const std::vector<std::string>& folders);
    void removePrivilegeFolder();

    QButtonGroup* duplicateRules() const { return duplicateRules_; }  // ids: the rule, 0-3
    QButtonGroup* imageRules() const { return imageRules_; }          // ids: the rule, 4-8; 9 "same"
    QTableView* privilegeFolderTableView() const { return privilegeFolderTableView_; }
    TWPrivilegeFolderModel* privilegeModel() const { return privilegeModel_; }
    QToolButton* addFolderButton() const { return addFolderButton_; }
    QToolButton* removeFolderButton() const { return removeFolderButton_; }

    static constexpr int kSameAsDuplicatesId = 9;

signals:
    // A rule was stored, or the selection of the table changed.
    void propertiesChanged();

private:
    void setDuplicateRule(bool select, int32_t method);
    void setImageRule(bool select, int32_t method);
    bool imageRuleIs(int32_t method) const;
    void refresh();

    QButtonGroup* duplicateRules_ = nullptr;
    QButtonGroup* imageRules_ = nullptr;
    QTableView* privilegeFolderTableView_ = nullptr;
    TWPrivilegeFolderModel* privilegeModel_ = nullptr;
    QToolButton* addFolderButton_ = nullptr;
    QToolButton* removeFolderButton_ = nullptr;
};
