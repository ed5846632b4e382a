#include "app/TWLoadFileDragView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "files/TWFileUtility.h"
#include "prefs/TWPreference.h"

namespace {

constexpr double kBackgroundInset = 15;
constexpr double kSideMargin = 16;
constexpr double kLabelBand = 17;
constexpr double kSlotInset = 4;
constexpr double kTitleBand = 21;
constexpr double kArrowSide = 32;
constexpr double kRemoveButtonSide = 18;
constexpr int kFadeMilliseconds = 300;
constexpr double kCaptionGap = 15;

}  // namespace

TWLoadFileDragView::TWLoadFileDragView(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setMouseTracking(true);
    setAccessibleName(tr("Folders to scan"));
    updateTrackingAreas();
}

TWLoadFileDragView::~TWLoadFileDragView() = default;

int64_t TWLoadFileDragView::status() {
    return dataSource_ ? dataSource_->TWLoadFileStatus(*this) : 0;
}

int64_t TWLoadFileDragView::numberOfFolders() {
    return dataSource_ ? std::max<int64_t>(0, dataSource_->TWLoadFileDragViewNumberOfFolder(*this)) : 0;
}

void TWLoadFileDragView::reload() {
    uint64_t pages = numberOfPages(static_cast<uint64_t>(numberOfFolders()));
    uint64_t last = pages == 0 ? 0 : pages - 1;
    if (curIndexOfPages_ > last) curIndexOfPages_ = last;
    updateTrackingAreas();
    update();
}

QRectF TWLoadFileDragView::flipped(double x, double y, double w, double h) const {
    return QRectF(x, height() - y - h, w, h);
}

QRectF TWLoadFileDragView::backgroundSquare() const {
    // Centred in the view (for the square view the scan view uses, the same square as
    // at ((M - m) / 2, 0)).
    double side = std::min(width(), height());
    QRectF square((width() - side) / 2, (height() - side) / 2, side, side);
    return square.adjusted(kBackgroundInset, kBackgroundInset, -kBackgroundInset, -kBackgroundInset);
}

std::vector<TWLoadFileDragView::Slot> TWLoadFileDragView::visibleSlots() const {
    std::vector<Slot> pageSlots;
    auto* self = const_cast<TWLoadFileDragView*>(this);
    if (self->status() != 0) return pageSlots;
    int64_t folders = self->numberOfFolders();
    int64_t first = static_cast<int64_t>(curIndexOfPages_) * kFoldersPerPage;
    int64_t onPage = std::min<int64_t>(kFoldersPerPage, folders - first);
    if (onPage <= 0) return pageSlots;

    const double W = width(), H = height();
    const double areaWidth = W - 2 * kSideMargin;
    const double slotWidth = areaWidth / 3;
    const double slotHeight = H / 3;
    // Left edges within the area: one folder sits in the middle third, two at A/6 and
    // A/2, three fill the thirds.
    std::vector<double> lefts;
    if (onPage == 1) lefts = {areaWidth / 3};
    if (onPage == 2) lefts = {areaWidth / 6, areaWidth / 2};
    if (onPage == 3) lefts = {0, areaWidth / 3, 2 * areaWidth / 3};
    for (int64_t i = 0; i < onPage; ++i) {
        Slot slot;
        slot.folderIndex = first + i;
        slot.frame = flipped(kSideMargin + lefts[i], H / 3, slotWidth, slotHeight);
        QRectF iconArea(slot.frame.x(), slot.frame.y(), slotWidth, slotHeight - kLabelBand);
        slot.iconRect = iconArea.adjusted(kSlotInset, kSlotInset, -kSlotInset, -kSlotInset);
        slot.labelRect = QRectF(slot.frame.x() + kSlotInset, slot.frame.bottom() - kLabelBand,
                                slotWidth - 2 * kSlotInset, kLabelBand);
        pageSlots.push_back(slot);
    }
    return pageSlots;
}

QRectF TWLoadFileDragView::previousPageRect() const {
    return flipped(width() / 2.0 - kArrowSide, height() / 3.0 - kArrowSide, kArrowSide, kArrowSide);
}

QRectF TWLoadFileDragView::nextPageRect() const {
    return flipped(width() / 2.0, height() / 3.0 - kArrowSide, kArrowSide, kArrowSide);
}

void TWLoadFileDragView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    TWArtwork::draw(painter, QStringLiteral("loadbackgroundImage"), backgroundSquare());

    int64_t current = status();
    if (current == 0) {
        if (numberOfFolders() == 0) {
            QRectF picture((width() - 101) / 2.0, (height() - 123) / 2.0, 101, 123);
            TWArtwork::draw(painter, QStringLiteral("loadImage"), picture);
        } else {
            drawFolderPage(painter);
        }
        return;
    }
    if (current == 2 && dataSource_ && dataSource_->TWLoadFileDragViewNumberOfDupcaliteFiles(*this) <= 0 &&
        !dataSource_->TWLoadFileDragViewScanWasStopped(*this)) {
        TWArtwork::draw(painter, QStringLiteral("noduplicatesfound_bg"), backgroundSquare());
        return;
    }
    drawCounters(painter);
}

// Chosen by count: the app ships no translations, so tr's %n plurals would read "folder(s)".
QString TWLoadFileDragView::folderCountTitle(int64_t folders) {
    return folders == 1 ? tr("1 folder added") : tr("%1 folders added").arg(qlonglong(folders));
}

void TWLoadFileDragView::drawFolderPage(QPainter& painter) {
    const int64_t folders = numberOfFolders();
    const double W = width(), H = height();

    QFont titleFont = TWAppStyle::designFont(12);
    painter.setFont(titleFont);
    painter.setPen(TWAppStyle::grey(0.78));
    QRectF titleBand = flipped(kSideMargin, 2 * H / 3, W - 2 * kSideMargin, kTitleBand);
    const QString title = folderCountTitle(folders);
    painter.drawText(titleBand, Qt::AlignCenter,
                     painter.fontMetrics().elidedText(title, Qt::ElideMiddle, int(titleBand.width())));

    QFont labelFont = TWAppStyle::designFont(12);
    for (const Slot& slot : visibleSlots()) {
        QIcon icon = dataSource_ ? dataSource_->TWLoadFileDragViewIconAtIndex(*this, slot.folderIndex) : QIcon();
        if (!icon.isNull()) {
            QSize wanted = slot.iconRect.size().toSize();
            QSize actual = icon.actualSize(QSize(256, 256)).scaled(wanted, Qt::KeepAspectRatio);
            QRectF target(QPointF(0, 0), QSizeF(actual));
            target.moveCenter(slot.iconRect.center());
            painter.drawPixmap(target, icon.pixmap(actual, devicePixelRatioF()), QRectF());
        }
        QString label = dataSource_ ? dataSource_->TWLoadFileDragViewLabelAtIndex(*this, slot.folderIndex) : QString();
        painter.setFont(labelFont);
        painter.setPen(TWAppStyle::adapt(Qt::black));
        painter.drawText(slot.labelRect, Qt::AlignCenter,
                         painter.fontMetrics().elidedText(label, Qt::ElideMiddle, int(slot.labelRect.width())));
    }

    uint64_t pages = numberOfPages(static_cast<uint64_t>(folders));
    if (pages > 1) {
        bool first = curIndexOfPages_ == 0;
        bool last = curIndexOfPages_ + 1 >= pages;
        TWArtwork::draw(painter, first ? QStringLiteral("pageUp_disable") : QStringLiteral("pageUp"),
                        previousPageRect());
        TWArtwork::draw(painter, last ? QStringLiteral("pageDown_disable") : QStringLiteral("pageDown"),
                        nextPageRect());
    }
}

void TWLoadFileDragView::drawCounter(QPainter& painter, const QString& number, int pointSize, double place,
                                     const QString& caption) {
    const double M = std::max(width(), height());
    QFont numberFont = TWAppStyle::counterFont(pointSize);
    QFontMetricsF numberMetrics(numberFont);
    QSizeF numberSize(numberMetrics.horizontalAdvance(number), numberMetrics.height());
    double y = (M - numberSize.height()) * place;
    painter.setFont(numberFont);
    painter.setPen(TWAppStyle::counterColor());
    painter.drawText(flipped((M - numberSize.width()) / 2, y, numberSize.width(), numberSize.height()), Qt::AlignCenter,
                     number);

    QFont captionFont = TWAppStyle::counterFont(15);
    QFontMetricsF captionMetrics(captionFont);
    QSizeF captionSize(captionMetrics.horizontalAdvance(caption), captionMetrics.height());
    painter.setFont(captionFont);
    painter.drawText(flipped((M - captionSize.width()) / 2, y - kCaptionGap, captionSize.width(), captionSize.height()),
                     Qt::AlignCenter, caption);
}

void TWLoadFileDragView::drawCounters(QPainter& painter) {
    int64_t duplicates = dataSource_ ? dataSource_->TWLoadFileDragViewNumberOfDupcaliteFiles(*this) : 0;
    int64_t scanned = dataSource_ ? dataSource_->TWLoadFileDragViewNumberOfScanFiles(*this) : 0;
    uint64_t size = dataSource_ ? dataSource_->TWLoadFileDragViewNumberOfScanSize(*this) : 0;
    drawCounter(painter, QString::asprintf("%ld", static_cast<long>(duplicates)), 36, 0.5, tr("Duplicates Found"));
    drawCounter(painter, QString::asprintf("%ld", static_cast<long>(scanned)), 24, 0.75, tr("Files Scanned"));
    drawCounter(painter, QString::fromStdString(TWFileUtility::stringWithSize(size)), 24, 0.25, tr("Found"));
    const QString reading = dataSource_ ? dataSource_->TWLoadFileDragViewReadingText(*this) : QString();
    if (!reading.isEmpty()) {
        const double M = std::max(width(), height());
        painter.setFont(TWAppStyle::counterFont(12));
        painter.drawText(flipped(0, M * 0.1, M, QFontMetricsF(painter.font()).height()), Qt::AlignCenter, reading);
    }
}

void TWLoadFileDragView::resizeEvent(QResizeEvent*) {
    updateTrackingAreas();
}

void TWLoadFileDragView::updateTrackingAreas() {
    trackingAreas_ = visibleSlots();
    hideRemoveButton();
    if (underMouse()) hoverAt(mapFromGlobal(QCursor::pos()), Qt::NoButton);
}

void TWLoadFileDragView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    if (status() != 0 || numberOfPages(static_cast<uint64_t>(numberOfFolders())) <= 1) return;
    if (previousPageRect().contains(event->position())) showPreviousPage();
    if (nextPageRect().contains(event->position())) showNextPage();
}

void TWLoadFileDragView::showPreviousPage() {
    if (curIndexOfPages_ == 0) return;
    --curIndexOfPages_;
    updateTrackingAreas();
    update();
}

void TWLoadFileDragView::showNextPage() {
    if (curIndexOfPages_ + 1 >= numberOfPages(static_cast<uint64_t>(numberOfFolders()))) return;
    ++curIndexOfPages_;
    updateTrackingAreas();
    update();
}

void TWLoadFileDragView::mouseMoveEvent(QMouseEvent* event) {
    hoverAt(event->position(), event->buttons());
}

void TWLoadFileDragView::leaveEvent(QEvent*) {
    // Moving onto the remove button (a child inside the slot) is no leave for Qt; a
    // real leave ends the hover.
    hideRemoveButton();
}

void TWLoadFileDragView::hoverAt(const QPointF& position, Qt::MouseButtons buttons) {
    const Slot* inside = nullptr;
    for (const Slot& slot : trackingAreas_) {
        if (slot.frame.contains(position)) inside = &slot;
    }
    if (!inside) {
        hideRemoveButton();
        return;
    }
    if (inside->folderIndex == hoveredFolder_) return;
    hideRemoveButton();
    if (buttons != Qt::NoButton) return;
    if (delegate_) {
        std::optional<bool> canRemove = delegate_->TWLoadFileDragViewCanRemove(*this);
        if (canRemove.has_value() && !*canRemove) return;
    }
    showRemoveButton(*inside);
}

QToolButton* TWLoadFileDragView::removeButtonForPosition(int position) {
    QPointer<QToolButton>& button = removeButtons_[position];
    if (!button) {
        button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setFixedSize(int(kRemoveButtonSide), int(kRemoveButtonSide));
        button->setIconSize(QSize(int(kRemoveButtonSide), int(kRemoveButtonSide)));
        button->setIcon(TWArtwork::icon(QStringLiteral("btn_clear")));
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; background: transparent; }"));
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(tr("Remove this folder"));
        button->setAccessibleName(tr("Remove folder"));
        button->setGraphicsEffect(new QGraphicsOpacityEffect(button));
        button->hide();
        QToolButton* raw = button;
        connect(raw, &QToolButton::clicked, this, [this, raw] {
            int64_t index = raw->property("kTWIndexOfFolder").toLongLong();
            hideRemoveButton();
            if (delegate_) delegate_->TWLoadFileDragViewRemoveFolderAtIndex(*this, index);
        });
    }
    return button;
}

void TWLoadFileDragView::showRemoveButton(const Slot& slot) {
    QToolButton* button = removeButtonForPosition(int(slot.folderIndex % kFoldersPerPage));
    button->setProperty("kTWIndexOfFolder", QVariant::fromValue<qlonglong>(slot.folderIndex));
    button->move(slot.iconRect.topLeft().toPoint());
    button->raise();
    button->show();
    fade(button, true);
    shownButton_ = button;
    hoveredFolder_ = slot.folderIndex;
}

void TWLoadFileDragView::hideRemoveButton() {
    hoveredFolder_ = -1;
    if (shownButton_) fade(shownButton_, false);
    shownButton_ = nullptr;
}

void TWLoadFileDragView::fade(QToolButton* button, bool in) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
    if (!effect) {
        button->setVisible(in);
        return;
    }
    auto* animation = new QPropertyAnimation(effect, "opacity", button);
    animation->setDuration(kFadeMilliseconds);
    animation->setStartValue(effect->opacity());
    animation->setEndValue(in ? 1.0 : 0.0);
    if (!in) {
        QPointer<QToolButton> guarded(button);
        connect(animation, &QPropertyAnimation::finished, button, [this, guarded] {
            if (guarded && guarded != shownButton_) guarded->hide();
        });
    }
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QToolButton* TWLoadFileDragView::visibleRemoveButton() const {
    return shownButton_;
}

// --- drag and drop ---

std::vector<std::string> TWLoadFileDragView::localPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

bool TWLoadFileDragView::acceptsDragOfPaths(const std::vector<std::string>& paths) {
    if (paths.empty() || status() != 0) return false;
    if (TWPreference::shared().filterPackage()) {
        // One bundle in the drag refuses the whole drag, so the user sees at once
        // that packages are being skipped.
        if (std::any_of(paths.begin(), paths.end(), TWFileUtility::isPackageName)) return false;
    }
    return true;
}

std::vector<std::string> TWLoadFileDragView::foldersToKeepFromDrop(const std::vector<std::string>& paths) const {
    bool skipPackages = TWPreference::shared().filterPackage();
    std::vector<std::string> kept;
    for (const std::string& path : paths) {
        QFileInfo info(QString::fromStdString(path));
        if (!info.exists() || !info.isDir()) continue;
        if (skipPackages && TWFileUtility::isPackageName(path)) continue;
        kept.push_back(path);
    }
    return kept;
}

void TWLoadFileDragView::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDragOfPaths(localPaths(event->mimeData()))) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TWLoadFileDragView::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TWLoadFileDragView::dropEvent(QDropEvent* event) {
    std::vector<std::string> kept = foldersToKeepFromDrop(localPaths(event->mimeData()));
    if (delegate_) delegate_->TWLoadFileDragViewDragFolders(*this, kept);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
