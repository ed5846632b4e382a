#include "app/TWPreferenceSmartPage.h"

#include <QButtonGroup>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>

#include "app/TWPreferenceChooser.h"
#include "app/TWPreferencePage.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPreferenceTypes.h"
#include "prefs/TWPrivilegeFolder.h"

namespace {
constexpr const char* kPrivilegeKey = "privilege";

// Whole numbers only, and an empty field (which keeps the privilege).
class PrivilegeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setAlignment(Qt::AlignCenter);
        editor->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d{0,18}")), editor));
        return editor;
    }
};

QButtonGroup* radioColumn(QWidget* parent, QVBoxLayout* layout, const std::vector<std::pair<int, QString>>& rows) {
    auto* group = new QButtonGroup(parent);
    group->setExclusive(true);
    for (const auto& [id, title] : rows) {
        auto* radio = new QRadioButton(title, parent);
        group->addButton(radio, id);
        layout->addWidget(radio);
    }
    return group;
}
}  // namespace

// --- TWPrivilegeFolderModel ---

void TWPrivilegeFolderModel::reloadData() {
    beginResetModel();
    grants_ = TWPreference::shared().foldersPrivilege();
    endResetModel();
}

int TWPrivilegeFolderModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(grants_.size());
}

int TWPrivilegeFolderModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TWPrivilegeFolderModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= grants_.size()) return {};
    const TWPrivilegeFolder& grant = *grants_[size_t(index.row())];
    if (index.column() == 0) {
        QString folder = QString::fromStdString(grant.folder());
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return folder;
        if (role == Qt::DecorationRole) {
            static QFileIconProvider icons;
            return icons.icon(QFileIconProvider::Folder);
        }
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) return QString::number(grant.privilege());
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

bool TWPrivilegeFolderModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 1 || size_t(index.row()) >= grants_.size()) return false;
    TWPrivilegeFolder& grant = *grants_[size_t(index.row())];
    QString text = value.toString().trimmed();
    if (text.isEmpty()) {
        grant.setValueForKey(std::nullopt, kPrivilegeKey);
    } else {
        bool number = false;
        qlonglong privilege = text.toLongLong(&number);
        if (!number) return false;
        // The grant posts TWPrivilegeChanged, and the store saves the list.
        grant.setValueForKey(int64_t(privilege), kPrivilegeKey);
    }
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TWPrivilegeFolderModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == 1) flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant TWPrivilegeFolderModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? tr("Folder") : tr("Privilege");
}

// --- TWPreferenceSmartPage ---

TWPreferenceSmartPage::TWPreferenceSmartPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("smartPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(TWPreferencePage::kMargin, 18, TWPreferencePage::kMargin, 16);
    layout->setSpacing(6);

    auto* rules = new QGridLayout();
    rules->setHorizontalSpacing(28);
    rules->setVerticalSpacing(6);
    rules->addWidget(TWPreferencePage::sectionTitle(tr("Duplicate files: select"), this), 0, 0);
    rules->addWidget(TWPreferencePage::sectionTitle(tr("Similar images: select"), this), 0, 1);
    auto* duplicates = new QVBoxLayout();
    duplicates->setSpacing(5);
    duplicateRules_ = radioColumn(this, duplicates,
                                  {{TWCheckMethodSmartName, tr("Copies with longer names (smart name)")},
                                   {TWCheckMethodFolderPrivilege, tr("Copies in lower-ranked folders (privilege)")},
                                   {TWCheckMethodNewer, tr("Newer copies, keeping the oldest")},
                                   {TWCheckMethodOlder, tr("Older copies, keeping the newest")}});
    duplicates->addStretch();
    auto* images = new QVBoxLayout();
    images->setSpacing(5);
    imageRules_ = radioColumn(this, images,
                              {{TWCheckMethodBestPicture, tr("All but the best picture")},
                               {kSameAsDuplicatesId, tr("As for duplicate files")},
                               {TWCheckMethodHighQuality, tr("Larger files, keeping the smallest")},
                               {TWCheckMethodLowerQuality, tr("Smaller files, keeping the largest")},
                               {TWCheckMethodHighResolution, tr("Higher resolutions, keeping the lowest")},
                               {TWCheckMethodLowResolution, tr("Lower resolutions, keeping the highest")}});
    // What "best" means goes under its row, where it wraps: in the row it made the page
    // wider than its window.
    QLabel* best = TWPreferencePage::hint(tr("The best has the highest resolution, then the largest size."), this);
    best->setContentsMargins(24, 0, 0, 2);  // under the row's text
    images->insertWidget(1, best);
    rules->addLayout(duplicates, 1, 0);
    rules->addLayout(images, 1, 1);
    rules->setColumnStretch(0, 1);
    rules->setColumnStretch(1, 1);
    layout->addLayout(rules);
    layout->addSpacing(14);

    layout->addWidget(TWPreferencePage::sectionTitle(tr("Privileged folders"), this));
    layout->addWidget(TWPreferencePage::hint(
        tr("With the privilege rule, the copy in the folder of the lowest privilege is kept and the others are "
           "selected. Files outside these folders count as -1. Double-click a privilege to change it."),
        this));
    privilegeModel_ = new TWPrivilegeFolderModel(this);
    privilegeFolderTableView_ = new QTableView(this);
    privilegeFolderTableView_->setObjectName(QStringLiteral("privilegeFolderTableView"));
    privilegeFolderTableView_->setModel(privilegeModel_);
    privilegeFolderTableView_->setStyleSheet(TWPreferencePage::tableStyle());
    privilegeFolderTableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    privilegeFolderTableView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    privilegeFolderTableView_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    privilegeFolderTableView_->setShowGrid(false);
    TWPreferencePage::fillLeftoverHeight(privilegeFolderTableView_, 96);
    privilegeFolderTableView_->setAlternatingRowColors(true);
    privilegeFolderTableView_->setTextElideMode(Qt::ElideMiddle);
    privilegeFolderTableView_->setIconSize(QSize(16, 16));
    privilegeFolderTableView_->verticalHeader()->hide();
    privilegeFolderTableView_->verticalHeader()->setDefaultSectionSize(24);
    privilegeFolderTableView_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    privilegeFolderTableView_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    privilegeFolderTableView_->horizontalHeader()->resizeSection(1, 90);
    privilegeFolderTableView_->horizontalHeader()->setHighlightSections(false);
    privilegeFolderTableView_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    privilegeFolderTableView_->setItemDelegateForColumn(1, new PrivilegeDelegate(privilegeFolderTableView_));
    layout->addWidget(privilegeFolderTableView_, 1);

    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(4);
    addFolderButton_ = TWPreferencePage::listButton(true, tr("Add privileged folders"), this);
    removeFolderButton_ = TWPreferencePage::listButton(false, tr("Remove the selected folders"), this);
    buttons->addWidget(addFolderButton_);
    buttons->addWidget(removeFolderButton_);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(duplicateRules_, &QButtonGroup::idClicked, this, [this](int id) { setDuplicateRule(true, id); });
    connect(imageRules_, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == kSameAsDuplicatesId)
            setSelectSameAsDupFiles(true);
        else
            setImageRule(true, id);
    });
    connect(privilegeFolderTableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TWPreferenceSmartPage::refresh);
    connect(addFolderButton_, &QToolButton::clicked, this, [this] { addPrivilegeFolder(); });
    connect(removeFolderButton_, &QToolButton::clicked, this, [this] { removePrivilegeFolder(); });
    reloadData();
}

void TWPreferenceSmartPage::reloadData() {
    privilegeModel_->reloadData();
    refresh();
}

// Every property is read again after any change, as bindings would.
void TWPreferenceSmartPage::refresh() {
    auto show = [](QButtonGroup* group, int id) {
        if (QAbstractButton* button = group->button(id)) {
            button->setChecked(true);
            return;
        }
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons()) b->setChecked(false);
        group->setExclusive(true);
    };
    int duplicateRule = -1;
    if (selectBySmartName()) duplicateRule = TWCheckMethodSmartName;
    if (selectByFolderPrivilege()) duplicateRule = TWCheckMethodFolderPrivilege;
    if (selectByNewer()) duplicateRule = TWCheckMethodNewer;
    if (selectByOlder()) duplicateRule = TWCheckMethodOlder;
    show(duplicateRules_, duplicateRule);
    int imageRule = -1;
    if (selectSameAsDupFiles()) imageRule = kSameAsDuplicatesId;
    if (selectByBestPicture()) imageRule = TWCheckMethodBestPicture;
    if (selectByHighQuality()) imageRule = TWCheckMethodHighQuality;
    if (selectByLowerQuality()) imageRule = TWCheckMethodLowerQuality;
    if (selectByHighResolution()) imageRule = TWCheckMethodHighResolution;
    if (selectByLowResolution()) imageRule = TWCheckMethodLowResolution;
    show(imageRules_, imageRule);
    removeFolderButton_->setEnabled(canRemovePrivilegeFolder());
    emit propertiesChanged();
}

// --- bound properties ---

void TWPreferenceSmartPage::setDuplicateRule(bool select, int32_t method) {
    if (!select) return;
    TWPreference::shared().setCheckMethodForDuplicateFiles(method);
    refresh();
}

void TWPreferenceSmartPage::setImageRule(bool select, int32_t method) {
    if (!select) return;
    TWPreference& preferences = TWPreference::shared();
    preferences.setCheckMethodForSimilarImages(method);
    preferences.setUsingDupFilesChkMtdForSimImg(false);
    refresh();
}

bool TWPreferenceSmartPage::imageRuleIs(int32_t method) const {
    const TWPreference& preferences = TWPreference::shared();
    return !preferences.usingDupFilesChkMtdForSimImg() && preferences.checkMethodForSimilarImages() == method;
}

bool TWPreferenceSmartPage::selectBySmartName() const {
    return TWPreference::shared().checkMethodForDuplicateFiles() == TWCheckMethodSmartName;
}
void TWPreferenceSmartPage::setSelectBySmartName(bool select) {
    setDuplicateRule(select, TWCheckMethodSmartName);
}
bool TWPreferenceSmartPage::selectByFolderPrivilege() const {
    return TWPreference::shared().checkMethodForDuplicateFiles() == TWCheckMethodFolderPrivilege;
}
void TWPreferenceSmartPage::setSelectByFolderPrivilege(bool select) {
    setDuplicateRule(select, TWCheckMethodFolderPrivilege);
}
bool TWPreferenceSmartPage::selectByNewer() const {
    return TWPreference::shared().checkMethodForDuplicateFiles() == TWCheckMethodNewer;
}
void TWPreferenceSmartPage::setSelectByNewer(bool select) {
    setDuplicateRule(select, TWCheckMethodNewer);
}
bool TWPreferenceSmartPage::selectByOlder() const {
    return TWPreference::shared().checkMethodForDuplicateFiles() == TWCheckMethodOlder;
}
void TWPreferenceSmartPage::setSelectByOlder(bool select) {
    setDuplicateRule(select, TWCheckMethodOlder);
}
bool TWPreferenceSmartPage::selectSameAsDupFiles() const {
    return TWPreference::shared().usingDupFilesChkMtdForSimImg();
}
void TWPreferenceSmartPage::setSelectSameAsDupFiles(bool select) {
    TWPreference::shared().setUsingDupFilesChkMtdForSimImg(select);
    refresh();
}
bool TWPreferenceSmartPage::selectByBestPicture() const {
    return imageRuleIs(TWCheckMethodBestPicture);
}
void TWPreferenceSmartPage::setSelectByBestPicture(bool select) {
    setImageRule(select, TWCheckMethodBestPicture);
}
bool TWPreferenceSmartPage::selectByHighQuality() const {
    return imageRuleIs(TWCheckMethodHighQuality);
}
void TWPreferenceSmartPage::setSelectByHighQuality(bool select) {
    setImageRule(select, TWCheckMethodHighQuality);
}
bool TWPreferenceSmartPage::selectByLowerQuality() const {
    return imageRuleIs(TWCheckMethodLowerQuality);
}
void TWPreferenceSmartPage::setSelectByLowerQuality(bool select) {
    setImageRule(select, TWCheckMethodLowerQuality);
}
bool TWPreferenceSmartPage::selectByHighResolution() const {
    return imageRuleIs(TWCheckMethodHighResolution);
}
void TWPreferenceSmartPage::setSelectByHighResolution(bool select) {
    setImageRule(select, TWCheckMethodHighResolution);
}
bool TWPreferenceSmartPage::selectByLowResolution() const {
    return imageRuleIs(TWCheckMethodLowResolution);
}
void TWPreferenceSmartPage::setSelectByLowResolution(bool select) {
    setImageRule(select, TWCheckMethodLowResolution);
}

bool TWPreferenceSmartPage::canRemovePrivilegeFolder() const {
    return selectByFolderPrivilege() && privilegeFolderTableView_->selectionModel()->hasSelection();
}

// --- actions ---

void TWPreferenceSmartPage::addPrivilegeFolder() {
    TWPreferenceChooser::choosePrivilegeFolders(
        window(), [this](const std::vector<std::string>& folders) { didChoosePrivilegeFolders(folders); });
}

void TWPreferenceSmartPage::didChoosePrivilegeFolders(const std::vector<std::string>& folders) {
    if (folders.empty()) return;
    TWPreference::shared().addPrivilegeFoldersWithURLs(folders);
    reloadData();
}

void TWPreferenceSmartPage::removePrivilegeFolder() {
    // The store's removal trusts its indexes; pass only rows that still exist.
    const size_t count = TWPreference::shared().countOfFoldersPrivilege();
    std::set<size_t> rows;
    for (const QModelIndex& index : privilegeFolderTableView_->selectionModel()->selectedRows()) {
        if (size_t(index.row()) < count) rows.insert(size_t(index.row()));
    }
    if (rows.empty()) return;
    TWPreference::shared().removeFoldersPrivilegeAtIndexes(rows);
    privilegeFolderTableView_->clearSelection();
    reloadData();
}
