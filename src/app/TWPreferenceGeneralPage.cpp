#include "app/TWPreferenceGeneralPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "app/TWAppStyle.h"
#include "app/TWPreferenceChooser.h"
#include "app/TWPreferencePage.h"
#include "files/TWScanCache.h"
#include "platform/LibraryLocations.h"
#include "platform/MediaLibraryService.h"
#include "prefs/TWPreference.h"

namespace {
QButtonGroup* radioGroup(QWidget* parent, QBoxLayout* layout, const QStringList& titles, const QString& name) {
    auto* group = new QButtonGroup(parent);
    group->setObjectName(name);
    group->setExclusive(true);
    for (int row = 0; row < titles.size(); ++row) {
        auto* radio = new QRadioButton(titles[row], parent);
        group->addButton(radio, row);
        layout->addWidget(radio);
    }
    return group;
}
}  // namespace

TWPreferenceGeneralPage::TWPreferenceGeneralPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("generalPage"));
    auto* grid = new QGridLayout(this);
    // Rows closer than the other pages' so that eight of them fit the window's height.
    grid->setContentsMargins(TWPreferencePage::kMargin, 22, TWPreferencePage::kMargin + 12, 18);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(18);
    grid->setColumnStretch(1, 1);
    int row = 0;

    auto* searchBox = new QVBoxLayout();
    searchBox->setSpacing(5);
    matrixSearchMethod_ =
        radioGroup(this, searchBox,
                   {tr("Content: same size and same content"), tr("Name: same size and same name, ignoring case")},
                   QStringLiteral("matrixSearchMethod"));
    grid->addWidget(TWPreferencePage::rowLabel(tr("Find duplicates by:"), this), row, 0);
    grid->addLayout(searchBox, row++, 1);

    auto* destBox = new QVBoxLayout();
    destBox->setSpacing(5);
    matrixRemoveDest_ = radioGroup(this, destBox,
                                   {tr("Moving them to the Trash"), tr("Deleting them permanently"),
                                    tr("Moving them to a folder chosen when removing")},
                                   QStringLiteral("matrixRemoveDest"));
    grid->addWidget(TWPreferencePage::rowLabel(tr("Remove duplicates by:"), this), row, 0);
    grid->addLayout(destBox, row++, 1);

    // Similarity: the slider with its percentage, and which end is which below it.
    auto* similarity = new QGridLayout();
    similarity->setHorizontalSpacing(10);
    similarity->setVerticalSpacing(0);
    slideSimilarity_ = new QSlider(Qt::Horizontal, this);
    slideSimilarity_->setObjectName(QStringLiteral("slideSimilarity"));
    slideSimilarity_->setRange(0, 100);
    slideSimilarity_->setPageStep(5);
    slideSimilarity_->setFixedWidth(280);
    similarLevelDescription_ = new QLabel(this);
    similarLevelDescription_->setObjectName(QStringLiteral("similarLevelDescription"));
    similarLevelDescription_->setMinimumWidth(44);
    similarLevelDescription_->setFont(TWAppStyle::systemFont(10, true));
    auto* ends = new QHBoxLayout();
    ends->addWidget(TWPreferencePage::hint(tr("Looser"), this));
    ends->addStretch();
    ends->addWidget(TWPreferencePage::hint(tr("Stricter"), this));
    auto* endsHolder = new QWidget(this);
    endsHolder->setLayout(ends);
    endsHolder->setFixedWidth(280);
    ends->setContentsMargins(0, 0, 0, 0);
    similarity->addWidget(slideSimilarity_, 0, 0);
    similarity->addWidget(similarLevelDescription_, 0, 1);
    similarity->addWidget(endsHolder, 1, 0);
    // Under the slider, side by side: what "alike" means (beside the slider the page
    // grew wider than its window). The ids are the stored TWSimilarMethod values.
    auto* methodBox = new QHBoxLayout();
    methodBox->setSpacing(18);
    methodBox->setContentsMargins(0, 10, 0, 0);
    matrixSimilarMethod_ = radioGroup(this, methodBox, {tr("By their colours"), tr("By their look")},
                                      QStringLiteral("matrixSimilarMethod"));
    methodBox->addStretch();
    similarity->addLayout(methodBox, 2, 0, 1, 3);
    similarity->setColumnStretch(2, 1);
    grid->addWidget(TWPreferencePage::rowLabel(tr("Similar images:"), this), row, 0);
    grid->addLayout(similarity, row++, 1);

    chkVerifyFullContent_ = new QCheckBox(tr("Compare whole files before grouping them"), this);
    chkVerifyFullContent_->setObjectName(QStringLiteral("chkVerifyFullContent"));
    grid->addWidget(TWPreferencePage::rowLabel(tr("Verification:"), this), row, 0);
    grid->addLayout(
        checkWithHint(chkVerifyFullContent_, tr("Turned off, a scan trusts the hashes of sampled parts: faster, "
                                                "but it can group different files.")),
        row++, 1);

    // The cost goes under the box, as verification's does: on one line the box alone
    // made the page wider than its window.
    chkScanInBackground_ = new QCheckBox(tr("Scan in the background"), this);
    chkScanInBackground_->setObjectName(QStringLiteral("chkScanInBackground"));
    grid->addWidget(TWPreferencePage::rowLabel(tr("Priority:"), this), row, 0);
    grid->addLayout(checkWithHint(chkScanInBackground_, tr("Slower while other programs are busy.")), row++, 1);

    auto* rememberRow = new QHBoxLayout();
    rememberRow->setSpacing(8);
    chkRememberFiles_ = new QCheckBox(tr("Remember files between scans"), this);
    chkRememberFiles_->setObjectName(QStringLiteral("chkRememberFiles"));
    clearRememberedButton_ = new QPushButton(tr("Clear"), this);
    clearRememberedButton_->setObjectName(QStringLiteral("clearRememberedButton"));
    clearRememberedButton_->setToolTip(tr("Forget what earlier scans read of the files"));
    rememberRow->addWidget(chkRememberFiles_);
    rememberRow->addWidget(clearRememberedButton_);
    rememberRow->addStretch(1);
    grid->addWidget(TWPreferencePage::rowLabel(tr("Memory:"), this), row, 0);
    grid->addLayout(rememberRow, row++, 1);

    libraryWidgets_ = {TWPreferencePage::rowLabel(tr("Photos library:"), this),
                       libraryRow(photosLibraryField_, changePhotosButton_, tr("Choose the Photos library")),
                       TWPreferencePage::rowLabel(tr("Music media folder:"), this),
                       libraryRow(musicMediaField_, changeMusicButton_, tr("Choose the music media folder"))};
    for (int i = 0; i < libraryWidgets_.size(); ++i) grid->addWidget(libraryWidgets_[i], row + i / 2, i % 2);
    row += 2;
    grid->setRowStretch(row, 1);

    connect(matrixSearchMethod_, &QButtonGroup::idClicked, this, [this] { searchMethodChanged(); });
    connect(matrixRemoveDest_, &QButtonGroup::idClicked, this, [this] { removeDestChanged(); });
    connect(matrixSimilarMethod_, &QButtonGroup::idClicked, this, [this] { similarMethodChanged(); });
    connect(slideSimilarity_, &QSlider::valueChanged, this, &TWPreferenceGeneralPage::similarityChanged);
    connect(chkVerifyFullContent_, &QCheckBox::toggled, this, [this] { verifyFullContentChanged(); });
    connect(chkScanInBackground_, &QCheckBox::toggled, this, [this] { scanInBackgroundChanged(); });
    connect(chkRememberFiles_, &QCheckBox::toggled, this, [this] { rememberFilesChanged(); });
    connect(clearRememberedButton_, &QPushButton::clicked, this, [this] { clearRememberedFiles(); });
    connect(changePhotosButton_, &QPushButton::clicked, this, [this] { changePhotoLibraryLocation(); });
    connect(changeMusicButton_, &QPushButton::clicked, this, [this] { changeItunesMediaLocation(); });
    reloadData();
}

QVBoxLayout* TWPreferenceGeneralPage::checkWithHint(QCheckBox* box, const QString& hint) {
    auto* layout = new QVBoxLayout();
    layout->setSpacing(3);
    layout->addWidget(box);
    QLabel* label = TWPreferencePage::hint(hint, this);  // wraps: never wider than the page
    label->setContentsMargins(24, 0, 0, 0);              // under the box's text
    layout->addWidget(label);
    return layout;
}

QWidget* TWPreferenceGeneralPage::libraryRow(QLineEdit*& field, QPushButton*& button, const QString& tip) {
    auto* holder = new QWidget(this);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    field = new QLineEdit(holder);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background: #F4F5F7; border: 1px solid #DDE0E5;"
                       " border-radius: 4px; padding: 2px 6px; color: #3B424C; }"));
    button = new QPushButton(tr("Change…"), holder);
    button->setToolTip(tip);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return holder;
}

QString TWPreferenceGeneralPage::percentText(float level) {
    return QLocale().toString(std::lround(double(level) * 100)) + QLocale().percent();
}

void TWPreferenceGeneralPage::reloadData() {
    loading_ = true;
    const TWPreference& preferences = TWPreference::shared();
    auto check = [](QButtonGroup* group, int64_t value) {
        if (QAbstractButton* button = group->button(int(value))) {
            button->setChecked(true);
            return;
        }
        // A stored value no row stands for: no row is chosen.
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons()) b->setChecked(false);
        group->setExclusive(true);
    };
    check(matrixSearchMethod_, preferences.searchMode());
    check(matrixRemoveDest_, preferences.destType());
    check(matrixSimilarMethod_, preferences.similarMethod());
    float level = preferences.similarityLevel();
    slideSimilarity_->setValue(int(std::lround(double(level) * 100)));
    similarLevelDescription_->setText(percentText(level));
    chkVerifyFullContent_->setChecked(preferences.verifyFullContent());
    chkScanInBackground_->setChecked(preferences.scanInBackground());
    chkRememberFiles_->setChecked(preferences.rememberFiles());
    // The locations matter only to a media-library backend; without one they are hidden.
    const bool libraries = tw::MediaLibraryService::installed() != nullptr;
    for (QWidget* widget : libraryWidgets_) widget->setVisible(libraries);
    photosLibraryField_->setText(QString::fromStdString(preferences.PhotosLibraryLocation()));
    photosLibraryField_->setCursorPosition(0);
    musicMediaField_->setText(QString::fromStdString(preferences.iTunesMediaFolderLocation()));
    musicMediaField_->setCursorPosition(0);
    loading_ = false;
}

void TWPreferenceGeneralPage::searchMethodChanged() {
    int row = matrixSearchMethod_->checkedId();
    if (row >= 0) TWPreference::shared().setSearchMode(row);
}

void TWPreferenceGeneralPage::removeDestChanged() {
    int row = matrixRemoveDest_->checkedId();
    if (row >= 0) TWPreference::shared().setDestType(row);
}

void TWPreferenceGeneralPage::similarMethodChanged() {
    int row = matrixSimilarMethod_->checkedId();
    if (row >= 0) TWPreference::shared().setSimilarMethod(row);
}

void TWPreferenceGeneralPage::similarityChanged(int percent) {
    float level = float(percent) / 100.0f;
    similarLevelDescription_->setText(percentText(level));
    if (!loading_) TWPreference::shared().setSimilarityLevel(level);
}

void TWPreferenceGeneralPage::verifyFullContentChanged() {
    if (!loading_) TWPreference::shared().setVerifyFullContent(chkVerifyFullContent_->isChecked());
}

void TWPreferenceGeneralPage::scanInBackgroundChanged() {
    if (!loading_) TWPreference::shared().setScanInBackground(chkScanInBackground_->isChecked());
}

void TWPreferenceGeneralPage::rememberFilesChanged() {
    if (!loading_) TWPreference::shared().setRememberFiles(chkRememberFiles_->isChecked());
}

void TWPreferenceGeneralPage::clearRememberedFiles() {
    std::string error;
    const std::string path = TWScanCache::defaultPath();
    if (TWScanCache::clear(path, &error)) return;
    auto* alert = new QMessageBox(
        QMessageBox::Warning, tr("Cannot Clear"),
        tr("What earlier scans remembered in “%1” could not be cleared.").arg(QString::fromStdString(path)),
        QMessageBox::Ok, window());
    alert->setObjectName(QStringLiteral("cannotClearAlert"));
    alert->setInformativeText(QString::fromStdString(error));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

void TWPreferenceGeneralPage::changePhotoLibraryLocation() {
    TWPreferenceChooser::chooseLibraryFolder(
        window(), tr("Choose the Photos Library"), TWPreference::shared().PhotosLibraryLocation(),
        [this](const std::vector<std::string>& paths) {
            // The backends read the library chosen here: a folder without one is refused.
            if (tw::libraries::shotwellDatabaseIn(paths.front()).empty() &&
                tw::libraries::digikamDatabaseIn(paths.front()).empty())
                return refuseLibraryFolder(paths.front(), tr("No Shotwell or digiKam library is in “%1”."),
                                           tr("Choose Shotwell's folder (it holds data/photo.db) or the folder "
                                              "of digiKam's database (digikam4.db)."));
            TWPreference::shared().setPhotosLibraryLocation(paths.front());
            reloadData();
        });
}

void TWPreferenceGeneralPage::changeItunesMediaLocation() {
    TWPreferenceChooser::chooseLibraryFolder(
        window(), tr("Choose the Music Media Folder"), TWPreference::shared().iTunesMediaFolderLocation(),
        [this](const std::vector<std::string>& paths) {
            if (tw::libraries::rhythmboxFolderIn(paths.front()).empty())
                return refuseLibraryFolder(paths.front(), tr("No Rhythmbox library is in “%1”."),
                                           tr("Choose Rhythmbox's folder (it holds rhythmdb.xml)."));
            TWPreference::shared().setITunesMediaFolderLocation(paths.front());
            reloadData();
        });
}

void TWPreferenceGeneralPage::refuseLibraryFolder(const std::string& path, const QString& text,
                                                  const QString& informative) {
    auto* alert = new QMessageBox(QMessageBox::Warning, tr("No Library There"), text.arg(QString::fromStdString(path)),
                                  QMessageBox::Ok, window());
    alert->setObjectName(QStringLiteral("noLibraryAlert"));
    alert->setInformativeText(informative);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();  // window-modal, like the chooser; the location stays as it was
}
