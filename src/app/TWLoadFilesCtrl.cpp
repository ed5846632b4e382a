#include "TWLoadFilesCtrl.h"

#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

#include "TWAppStyle.h"
#include "TWArtwork.h"
#include "TWFileUtility.h"
#include "TWFolderChooser.h"
#include "TWQtThumbnailProvider.h"
#include "TWScanAnimationView.h"

namespace {

TWLoadFilesCtrl*& sharedCtrl() {
    static TWLoadFilesCtrl* ctrl = nullptr;
    return ctrl;
}

constexpr int kRingSide = 316;
constexpr int kRingTop = 18;
constexpr int kButtonSide = 72;
constexpr int kCaptionHeight = 18;

}  // namespace

TWLoadFilesCtrl* TWLoadFilesCtrl::shareLoadFilesCtrl() {
    if (!sharedCtrl()) sharedCtrl() = new TWLoadFilesCtrl();
    return sharedCtrl();
}

void TWLoadFilesCtrl::resetShared() {
    delete sharedCtrl();
    sharedCtrl() = nullptr;
}

TWLoadFilesCtrl::TWLoadFilesCtrl() {
    buildView();
    loadFilesStatus_ = 0;
    loadfileview_->setDataSource(this);
    loadfileview_->setDelegate(this);
    saveFilesPathArray_.clear();
    updateFaceWithStatus();
}

TWLoadFilesCtrl::~TWLoadFilesCtrl() {
    if (loadfileview_) {
        loadfileview_->setDataSource(nullptr);
        loadfileview_->setDelegate(nullptr);
    }
    delete view_;
}

void TWLoadFilesCtrl::buildView() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWLoadFilesCtrl"));
    view_->installEventFilter(this);

    scanAnimationView_ = new TWScanAnimationView(view_);
    loadfileview_ = new TWLoadFileDragView(view_);

    auto makeButton = [this](const QString& name) {
        auto* button = new QToolButton(view_);
        button->setObjectName(name);
        button->setFixedSize(kButtonSide, kButtonSide);
        button->setIconSize(QSize(kButtonSide, kButtonSide));
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"));
        return button;
    };
    btnImportFolders_ = makeButton(QStringLiteral("btnImportFolders"));
    btnScan_ = makeButton(QStringLiteral("btnScan"));
    connect(btnImportFolders_, &QToolButton::clicked, this, &TWLoadFilesCtrl::loadFilesFromOpenpanel);

    auto makeCaption = [this] {
        auto* label = new QLabel(view_);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setFont(TWAppStyle::systemFont(9.5));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, TWAppStyle::secondaryText());
        label->setPalette(palette);
        return label;
    };
    importCaption_ = makeCaption();
    scanCaption_ = makeCaption();
    notice_ = makeCaption();
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setWordWrap(true);
    notice_->setFont(TWAppStyle::systemFont(10));
    layoutView();
}

bool TWLoadFilesCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::Resize) layoutView();
    return false;
}

void TWLoadFilesCtrl::layoutView() {
    // The ring and the drop area share one square in the middle; the add button sits
    // to its left, the scan button to its right, the notice line below it.
    const int W = view_->width();
    const int H = view_->height();
    const int side = std::min(kRingSide, std::max(120, H - kRingTop - 60));
    const QRect ring((W - side) / 2, kRingTop + std::max(0, (H - 400) / 2), side, side);
    scanAnimationView_->setGeometry(ring);
    loadfileview_->setGeometry(ring);

    const int gap = std::max(16, (ring.left() - kButtonSide) / 2);
    const int buttonTop = ring.center().y() - kButtonSide / 2 - kCaptionHeight / 2;
    btnImportFolders_->move(ring.left() - gap - kButtonSide, buttonTop);
    btnScan_->move(ring.right() + 1 + gap, buttonTop);
    const int captionWidth = kButtonSide + 2 * gap - 8;
    importCaption_->setGeometry(btnImportFolders_->x() + kButtonSide / 2 - captionWidth / 2,
                                buttonTop + kButtonSide + 6, captionWidth, kCaptionHeight);
    scanCaption_->setGeometry(btnScan_->x() + kButtonSide / 2 - captionWidth / 2, buttonTop + kButtonSide + 6,
                              captionWidth, kCaptionHeight);
    notice_->setGeometry(24, ring.bottom() + 12, W - 48, std::max(20, H - ring.bottom() - 18));
}

void TWLoadFilesCtrl::setButtonPicture(QToolButton* button, const QString& picture) {
    button->setIcon(TWArtwork::icon(picture));
    if (button == btnScan_) scanButtonPicture_ = picture;
    if (button == btnImportFolders_) addButtonPicture_ = picture;
}

QString TWLoadFilesCtrl::noticeText() const {
    return notice_->text();
}

void TWLoadFilesCtrl::updateFaceWithStatus() {
    const bool hasFolders = !saveFilesPathArray_.empty();
    switch (loadFilesStatus_) {
        case 0:
            scanAnimationView_->setWaringStatus(false);
            scanAnimationView_->stopAnimation();
            setButtonPicture(btnScan_, QStringLiteral("btn_scan"));
            btnScan_->setEnabled(hasFolders);
            setButtonPicture(btnImportFolders_, QStringLiteral("button_plus"));
            btnImportFolders_->setEnabled(true);
            importCaption_->setText(tr("Add Folders"));
            scanCaption_->setText(tr("Scan"));
            notice_->setText(hasFolders ? tr("Press Scan to look for duplicates, or add more folders.")
                                        : tr("Drop folders on the circle, or press + to choose them."));
            break;
        case 1:
            scanAnimationView_->setWaringStatus(false);
            scanAnimationView_->startAnimation();
            setButtonPicture(btnScan_, QStringLiteral("btn_stop"));
            btnScan_->setEnabled(true);
            setButtonPicture(btnImportFolders_, QStringLiteral("btn_plus_disabled"));
            btnImportFolders_->setEnabled(false);
            importCaption_->setText(tr("Add Folders"));
            scanCaption_->setText(tr("Stop"));
            notice_->setText(tr("Scanning…"));
            break;
        default:
            scanAnimationView_->stopAnimation();
            setButtonPicture(btnScan_, QStringLiteral("btn_showresults"));
            btnScan_->setEnabled(false);
            setButtonPicture(btnImportFolders_, QStringLiteral("btn_newScan"));
            btnImportFolders_->setEnabled(true);
            importCaption_->setText(tr("New Scan"));
            scanCaption_->setText(tr("Show Results"));
            break;
    }
    btnScan_->setToolTip(scanCaption_->text());
    btnScan_->setAccessibleName(scanCaption_->text());
    btnImportFolders_->setToolTip(importCaption_->text());
    btnImportFolders_->setAccessibleName(importCaption_->text());
    loadfileview_->reload();
    emit faceChanged();
}

void TWLoadFilesCtrl::reloadData() {
    updateFaceWithStatus();
    loadfileview_->reload();
}

void TWLoadFilesCtrl::loadFilesFromOpenpanel() {
    if (loadFilesStatus_ == 2) return newScan();
    if (loadFilesStatus_ != 0) return;
    openFolderChooser();
}

void TWLoadFilesCtrl::openFolderChooser() {
    QPointer<TWLoadFilesCtrl> self(this);
    TWFolderChooser::open(view_ ? view_->window() : nullptr, [self](const std::vector<std::string>& folders) {
        if (!self || self->loadFilesStatus_ != 0) return;
        self->addFolder(folders);
        self->updateFaceWithStatus();
    });
}

void TWLoadFilesCtrl::newScan() {
    loadFilesStatus_ = 0;
    saveFilesPathArray_.clear();
    updateFaceWithStatus();
    if (delegate_) delegate_->TWLoadFileCtrlReset(*this);
}

void TWLoadFilesCtrl::addFolder(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (std::find(saveFilesPathArray_.begin(), saveFilesPathArray_.end(), path) == saveFilesPathArray_.end()) {
            saveFilesPathArray_.push_back(path);
        }
    }
}

void TWLoadFilesCtrl::clearFolders() {
    if (!canClearFolder()) return;
    loadFilesStatus_ = 0;
    saveFilesPathArray_.clear();
    if (delegate_) delegate_->TWLoadFileCtrlReset(*this);
    updateFaceWithStatus();
}

// --- drop area ---

int64_t TWLoadFilesCtrl::TWLoadFileDragViewNumberOfFolder(TWLoadFileDragView&) {
    return static_cast<int64_t>(saveFilesPathArray_.size());
}

QIcon TWLoadFilesCtrl::TWLoadFileDragViewIconAtIndex(TWLoadFileDragView&, int64_t index) {
    if (index < 0 || size_t(index) >= saveFilesPathArray_.size()) return {};
    return TWQtThumbnailProvider::desktopIconForPath(QString::fromStdString(saveFilesPathArray_[size_t(index)]));
}

QString TWLoadFilesCtrl::TWLoadFileDragViewLabelAtIndex(TWLoadFileDragView&, int64_t index) {
    if (index < 0 || size_t(index) >= saveFilesPathArray_.size()) return {};
    return QString::fromStdString(TWFileUtility::lastPathComponent(saveFilesPathArray_[size_t(index)]));
}

void TWLoadFilesCtrl::TWLoadFileDragViewDragFolders(TWLoadFileDragView&, const std::vector<std::string>& paths) {
    addFolder(paths);
    updateFaceWithStatus();
}

void TWLoadFilesCtrl::TWLoadFileDragViewRemoveFolderAtIndex(TWLoadFileDragView&, int64_t index) {
    if (index >= 0 && size_t(index) < saveFilesPathArray_.size()) {
        saveFilesPathArray_.erase(saveFilesPathArray_.begin() + index);
    }
    updateFaceWithStatus();
}
