#pragma once
// The Ignore page of the preferences window: the size window of the files a scan
// keeps, whether packages and hidden items are skipped, the ignored file types and
// the ignored files and folders. Every change is written to the preference store at
// once. Main thread only.

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "TWFileTypeView.h"

class QCheckBox;
class QLabel;
class QTableView;
class QToolButton;
class TWFileSizeView;

// The ignored files and folders ("archiveHiddenFiles"), as the store held them at the
// last reload: column 0 the item's icon and path, column 1 its Show in Folder button.
class TWIgnoredItemsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void reloadData();
    const std::vector<std::string>& paths() const { return paths_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<std::string> paths_;
};

// Draws the row's Show in Folder button ("openInFinder", "openInFinder_selected" under
// the pointer) and reports a click on it.
class TWShowInFinderDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kSide = 16;
    static QRect buttonRect(const QRect& cell);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

signals:
    void buttonClicked(int row);
};

class TWPreferenceIgnorePage : public QWidget, public TWFileTypeViewDataSource {
    Q_OBJECT
public:
    // Shows paths in the desktop's file manager; the default asks the file manager
    // off the main thread and logs a failure.
    using Revealer = std::function<void(const std::vector<std::string>& paths)>;

    explicit TWPreferenceIgnorePage(QWidget* parent = nullptr);

    // Sets every control from the store.
    void reloadData();
    void reloadIgnoredTable();

    // --- actions ---
    void skipPageChanged();
    void skipHiddenChecked();
    void addFilterFileType();
    void removeSelectedFileType();
    void addFilterFileFolders();  // opens the chooser
    // The chooser's OK: the chosen paths join the ignore list.
    void didChooseFilterFileFolders(const std::vector<std::string>& paths);
    void removeFilterFileAndFolders();
    void showInFinder(int row);
    void selectAll();
    void setRevealer(Revealer revealer) { revealer_ = std::move(revealer); }

    TWFileSizeView* fileSizeView() const { return fileSizeView_; }
    QLabel* sizeSummary() const { return sizeSummary_; }
    QCheckBox* chkSkipPage() const { return chkSkipPage_; }
    QCheckBox* chkSkipHiddenItems() const { return chkSkipHiddenItems_; }
    TWFileTypeView* fileTypeView() const { return fileTypeView_; }
    QToolButton* addFileTypeButton() const { return addFileTypeButton_; }
    QToolButton* removeFileTypeButton() const { return removeFileTypeButton_; }
    QTableView* tableView() const { return tableView_; }
    TWIgnoredItemsModel* ignoredModel() const { return ignoredModel_; }
    QToolButton* addItemsButton() const { return addItemsButton_; }
    QToolButton* removeItemsButton() const { return removeItemsButton_; }

    // --- TWFileTypeViewDataSource ---
    size_t numberOfFilterFileType(const TWFileTypeView&) const override;
    std::optional<std::string> filterFileTypePathAt(const TWFileTypeView&, int64_t index) const override;
    void fileTypeChanged(TWFileTypeView&, int64_t index, const std::string& text) override;

private:
    QWidget* buildSizeSection();
    QWidget* buildFileTypeSection();
    QWidget* buildItemsSection();
    void updateSizeSummary();
    void updateRemoveButtons();

    TWFileSizeView* fileSizeView_ = nullptr;
    QLabel* sizeSummary_ = nullptr;
    QCheckBox* chkSkipPage_ = nullptr;
    QCheckBox* chkSkipHiddenItems_ = nullptr;
    TWFileTypeView* fileTypeView_ = nullptr;
    QToolButton* addFileTypeButton_ = nullptr;
    QToolButton* removeFileTypeButton_ = nullptr;
    QTableView* tableView_ = nullptr;
    TWIgnoredItemsModel* ignoredModel_ = nullptr;
    QToolButton* addItemsButton_ = nullptr;
    QToolButton* removeItemsButton_ = nullptr;
    Revealer revealer_;
};
