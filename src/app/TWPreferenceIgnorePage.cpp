#include "app/TWPreferenceIgnorePage.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWFileSizeView.h"
#include "app/TWFolderReveal.h"
#include "app/TWPreferenceChooser.h"
#include "app/TWPreferencePage.h"
#include "platform/Executors.h"
#include "platform/Log.h"
#include "prefs/TWPreference.h"

namespace {
constexpr const char* kPlaceholderType = "xxxx";

}  // namespace

// --- TWIgnoredItemsModel ---

void TWIgnoredItemsModel::reloadData() {
    beginResetModel();
    paths_ = TWPreference::shared().filterFileFolders();
    endResetModel();
}

int TWIgnoredItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(paths_.size());
}

int TWIgnoredItemsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TWIgnoredItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= paths_.size()) return {};
    QString path = QString::fromStdString(paths_[size_t(index.row())]);
    if (index.column() == 0) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return path;
        if (role == Qt::DecorationRole) {
            static QFileIconProvider icons;
            QFileInfo info(path);
            // A path that is gone still gets the picture of its kind.
            return info.exists() ? icons.icon(info) : icons.icon(QFileIconProvider::File);
        }
    } else if (role == Qt::ToolTipRole) {
        return tr("Show in Folder");
    }
    return {};
}

QVariant TWIgnoredItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? tr("Ignored files and folders") : QVariant();
}

// --- TWShowInFinderDelegate ---

QRect TWShowInFinderDelegate::buttonRect(const QRect& cell) {
    return QRect(cell.center().x() - kSide / 2 + 1, cell.center().y() - kSide / 2 + 1, kSide, kSide);
}

void TWShowInFinderDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);
    bool hot = (option.state & QStyle::State_MouseOver) || (option.state & QStyle::State_Selected);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    TWArtwork::draw(*painter, hot ? QStringLiteral("openInFinder_selected") : QStringLiteral("openInFinder"),
                    buttonRect(option.rect));
    painter->restore();
}

bool TWShowInFinderDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonRelease) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    if (!buttonRect(option.rect).adjusted(-4, -4, 4, 4).contains(mouse->position().toPoint())) return false;
    emit buttonClicked(index.row());
    return true;
}

// --- TWPreferenceIgnorePage ---

TWPreferenceIgnorePage::TWPreferenceIgnorePage(QWidget* parent)
    : QWidget(parent),
      revealer_([this](const std::vector<std::string>& paths) { TWFolderReveal::reveal(paths, window()); }) {
    setObjectName(QStringLiteral("ignorePage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(TWPreferencePage::kMargin, 16, TWPreferencePage::kMargin, 16);
    layout->setSpacing(6);
    layout->addWidget(buildSizeSection());

    chkSkipPage_ = new QCheckBox(tr("Skip packages (application bundles and similar folders)"), this);
    chkSkipPage_->setObjectName(QStringLiteral("chkSkipPage"));
    chkSkipHiddenItems_ = new QCheckBox(tr("Skip hidden files and folders"), this);
    chkSkipHiddenItems_->setObjectName(QStringLiteral("chkSkipHiddenItems"));
    layout->addSpacing(4);
    layout->addWidget(chkSkipPage_);
    layout->addWidget(chkSkipHiddenItems_);
    layout->addSpacing(10);
    layout->addWidget(buildFileTypeSection());
    layout->addSpacing(10);
    layout->addWidget(buildItemsSection(), 1);

    connect(chkSkipPage_, &QCheckBox::clicked, this, [this] { skipPageChanged(); });
    connect(chkSkipHiddenItems_, &QCheckBox::clicked, this, [this] { skipHiddenChecked(); });
    reloadData();
}

QWidget* TWPreferenceIgnorePage::buildSizeSection() {
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* header = new QHBoxLayout();
    header->addWidget(TWPreferencePage::sectionTitle(tr("File size"), section));
    header->addStretch();
    sizeSummary_ = new QLabel(section);
    sizeSummary_->setObjectName(QStringLiteral("sizeSummary"));
    header->addWidget(sizeSummary_);
    layout->addLayout(header);
    fileSizeView_ = new TWFileSizeView(section);
    layout->addWidget(fileSizeView_);
    connect(fileSizeView_, &TWFileSizeView::sizesChanged, this, &TWPreferenceIgnorePage::updateSizeSummary);
    return section;
}

QWidget* TWPreferenceIgnorePage::buildFileTypeSection() {
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(TWPreferencePage::sectionTitle(tr("File types"), section));

    auto* panel = TWPreferencePage::panel(section);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    auto* scroll = new QScrollArea(panel);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    fileTypeView_ = new TWFileTypeView();
    scroll->setWidget(fileTypeView_);
    scroll->setFixedHeight(2 * TWFileTypeView::kRowHeight + 2);
    panelLayout->addWidget(scroll);
    layout->addWidget(panel);

    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(4);
    addFileTypeButton_ = TWPreferencePage::listButton(true, tr("Add a file type"), section);
    removeFileTypeButton_ = TWPreferencePage::listButton(false, tr("Remove the selected file type"), section);
    buttons->addWidget(addFileTypeButton_);
    buttons->addWidget(removeFileTypeButton_);
    buttons->addSpacing(8);
    buttons->addWidget(
        TWPreferencePage::hint(tr("Files with these extensions are skipped. Double-click one to edit it."), section),
        1);
    layout->addLayout(buttons);

    fileTypeView_->setDataSource(this);
    connect(fileTypeView_, &TWFileTypeView::selectionChanged, this, &TWPreferenceIgnorePage::updateRemoveButtons);
    connect(addFileTypeButton_, &QToolButton::clicked, this, [this] { addFilterFileType(); });
    connect(removeFileTypeButton_, &QToolButton::clicked, this, [this] { removeSelectedFileType(); });
    return section;
}

QWidget* TWPreferenceIgnorePage::buildItemsSection() {
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(TWPreferencePage::sectionTitle(tr("Files and folders"), section));

    ignoredModel_ = new TWIgnoredItemsModel(this);
    tableView_ = new QTableView(section);
    tableView_->setObjectName(QStringLiteral("tableView"));
    tableView_->setModel(ignoredModel_);
    tableView_->setStyleSheet(TWPreferencePage::tableStyle());
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setShowGrid(false);
    tableView_->setAlternatingRowColors(true);
    tableView_->setMouseTracking(true);
    tableView_->setTextElideMode(Qt::ElideMiddle);
    tableView_->setIconSize(QSize(16, 16));
    TWPreferencePage::fillLeftoverHeight(tableView_, 96);
    tableView_->verticalHeader()->hide();
    tableView_->horizontalHeader()->hide();  // the section title names the list
    tableView_->verticalHeader()->setDefaultSectionSize(24);
    tableView_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tableView_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    tableView_->horizontalHeader()->resizeSection(1, 36);
    tableView_->horizontalHeader()->setHighlightSections(false);
    auto* delegate = new TWShowInFinderDelegate(tableView_);
    tableView_->setItemDelegateForColumn(1, delegate);
    layout->addWidget(tableView_, 1);

    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(4);
    addItemsButton_ = TWPreferencePage::listButton(true, tr("Add files or folders to ignore"), section);
    removeItemsButton_ = TWPreferencePage::listButton(false, tr("Remove the selected items"), section);
    buttons->addWidget(addItemsButton_);
    buttons->addWidget(removeItemsButton_);
    buttons->addSpacing(8);
    buttons->addWidget(
        TWPreferencePage::hint(tr("Scans skip these items and everything inside these folders."), section), 1);
    layout->addLayout(buttons);

    connect(delegate, &TWShowInFinderDelegate::buttonClicked, this, &TWPreferenceIgnorePage::showInFinder);
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TWPreferenceIgnorePage::updateRemoveButtons);
    connect(ignoredModel_, &QAbstractItemModel::modelReset, this, &TWPreferenceIgnorePage::updateRemoveButtons);
    connect(addItemsButton_, &QToolButton::clicked, this, [this] { addFilterFileFolders(); });
    connect(removeItemsButton_, &QToolButton::clicked, this, [this] { removeFilterFileAndFolders(); });
    return section;
}

void TWPreferenceIgnorePage::reloadData() {
    const TWPreference& preferences = TWPreference::shared();
    chkSkipPage_->setChecked(preferences.filterPackage());
    chkSkipHiddenItems_->setChecked(preferences.skipHiddenItems());
    fileSizeView_->reloadData();
    fileTypeView_->reloadData();
    reloadIgnoredTable();
}

void TWPreferenceIgnorePage::reloadIgnoredTable() {
    ignoredModel_->reloadData();
}

void TWPreferenceIgnorePage::updateSizeSummary() {
    sizeSummary_->setText(
        tr("Scan files from <b>%1</b> to <b>%2</b>").arg(fileSizeView_->minSizeText(), fileSizeView_->maxSizeText()));
}

void TWPreferenceIgnorePage::updateRemoveButtons() {
    removeFileTypeButton_->setEnabled(fileTypeView_->selectedIndex() >= 0);
    removeItemsButton_->setEnabled(tableView_->selectionModel()->hasSelection());
}

// --- actions ---

void TWPreferenceIgnorePage::skipPageChanged() {
    TWPreference::shared().setFilterPackage(chkSkipPage_->isChecked());
}

void TWPreferenceIgnorePage::skipHiddenChecked() {
    TWPreference::shared().setSkipHiddenItems(chkSkipHiddenItems_->isChecked());
}

void TWPreferenceIgnorePage::addFilterFileType() {
    fileTypeView_->endEditing();
    TWPreference::shared().addFilterFileType(kPlaceholderType);
    fileTypeView_->reloadData();
    int last = int(fileTypeView_->count()) - 1;
    fileTypeView_->setSelectedIndex(last);
    fileTypeView_->startEditing(last);
}

void TWPreferenceIgnorePage::removeSelectedFileType() {
    fileTypeView_->endEditing();
    int selected = fileTypeView_->selectedIndex();
    if (selected < 0) return;
    TWPreference::shared().removeFilterFileTypeAtIndex(size_t(selected));
    fileTypeView_->reloadData();
    // The chip after the removed one takes its place; past the end, the last chip.
    int count = int(fileTypeView_->count());
    fileTypeView_->setSelectedIndex(selected < count ? selected : count - 1);
    updateRemoveButtons();
}

void TWPreferenceIgnorePage::addFilterFileFolders() {
    TWPreferenceChooser::chooseFilesAndFolders(
        window(), [this](const std::vector<std::string>& paths) { didChooseFilterFileFolders(paths); });
}

void TWPreferenceIgnorePage::didChooseFilterFileFolders(const std::vector<std::string>& paths) {
    TWPreference::shared().addFilterFileFolders(paths);
    reloadIgnoredTable();
}

void TWPreferenceIgnorePage::removeFilterFileAndFolders() {
    std::set<size_t> rows;
    for (const QModelIndex& index : tableView_->selectionModel()->selectedRows()) rows.insert(size_t(index.row()));
    if (rows.empty()) return;
    TWPreference::shared().removeFilterFileFoldersAtIndexes(rows);
    reloadIgnoredTable();
    tableView_->clearSelection();
    updateRemoveButtons();
}

void TWPreferenceIgnorePage::showInFinder(int row) {
    const auto& paths = ignoredModel_->paths();
    if (row < 0 || size_t(row) >= paths.size() || !revealer_) return;
    revealer_({paths[size_t(row)]});
}

void TWPreferenceIgnorePage::selectAll() {
    tableView_->selectAll();
}

// --- TWFileTypeViewDataSource ---

size_t TWPreferenceIgnorePage::numberOfFilterFileType(const TWFileTypeView&) const {
    return TWPreference::shared().numberOfFilterFileType();
}

std::optional<std::string> TWPreferenceIgnorePage::filterFileTypePathAt(const TWFileTypeView&, int64_t index) const {
    return TWPreference::shared().filterFileTypePathAt(index);
}

void TWPreferenceIgnorePage::fileTypeChanged(TWFileTypeView&, int64_t index, const std::string& text) {
    if (index >= 0) TWPreference::shared().updateFilterFileTypeAtIndex(size_t(index), text);
}
