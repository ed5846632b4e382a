#include "TWCleanMediaLibraryWndCtrl.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "TWAppStyle.h"
#include "TWArtwork.h"

namespace {

TWCleanMediaLibraryWndCtrl*& sharedCtrl() {
    static TWCleanMediaLibraryWndCtrl* ctrl = nullptr;
    return ctrl;
}

// A guide picture with the application's name in place of "@APPLICATION@".
QPixmap guidePicture(const QString& name, const QString& application) {
    TWArtwork::ensureLoaded();
    QFile file(TWArtwork::resourcePath(name));
    QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    svg.replace("@APPLICATION@", application.toHtmlEscaped().toUtf8());
    QSvgRenderer renderer(svg);
    const qreal ratio = 2.0;
    QPixmap pixmap(QSize(240, 344) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, 240, 344));
    return pixmap;
}

// The picture area's frames have their origin at the bottom left.
QRect toWidgetFrame(const TWRect& frame, int areaHeight) {
    return QRect(int(frame.x), int(areaHeight - frame.y - frame.height), int(frame.width), int(frame.height));
}

}  // namespace

TWCleanMediaLibraryWndCtrl* TWCleanMediaLibraryWndCtrl::shareCleanMediaLibraryWndCtrl() {
    if (!sharedCtrl()) sharedCtrl() = new TWCleanMediaLibraryWndCtrl();
    return sharedCtrl();
}

void TWCleanMediaLibraryWndCtrl::resetShared() {
    delete sharedCtrl();
    sharedCtrl() = nullptr;
}

TWCleanMediaLibraryWndCtrl::TWCleanMediaLibraryWndCtrl() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("TWCleanMediaLibraryWndCtrl"));
    setWindowTitle(tr("Finish the Removal"));
    setAutoFillBackground(true);

    promptLabel_ = new QLabel(this);
    promptLabel_->setObjectName(QStringLiteral("prompt"));
    promptLabel_->setWordWrap(true);
    promptLabel_->setFont(TWAppStyle::systemFont(10.5));
    promptLabel_->setStyleSheet(QStringLiteral("color: #24292F;"));
    promptLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    pictureArea_ = new QWidget(this);
    pictureArea_->setFixedSize(kPictureAreaSize);
    imgViewForPhotos_ = new QLabel(pictureArea_);
    imgViewForPhotos_->setObjectName(QStringLiteral("imgViewForPhotos"));
    imgViewForiTunes_ = new QLabel(pictureArea_);
    imgViewForiTunes_->setObjectName(QStringLiteral("imgViewForiTunes"));
    drawPictures();
    // Where the pictures sit before any flag moves them: side by side.
    imgViewForPhotos_->setGeometry(20, 20, 240, 344);
    imgViewForiTunes_->setGeometry(280, 20, 240, 344);

    auto* close = new QPushButton(tr("OK"), this);
    close->setObjectName(QStringLiteral("okButton"));
    close->setDefault(true);
    close->setStyleSheet(QStringLiteral(
        "QPushButton { border: none; border-radius: 6px; background: #3A86DE; color: white; padding: 5px 24px; }"
        "QPushButton:hover { background: #2F78D0; }"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(4);
    layout->addWidget(promptLabel_);
    layout->addWidget(pictureArea_, 0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    setFixedWidth(kPictureAreaSize.width() + 40);
    updateFace();
}

void TWCleanMediaLibraryWndCtrl::setCleanPhotos(bool clean) {
    guide_.cleanPhotos = clean;
    promptChanged();
}

void TWCleanMediaLibraryWndCtrl::setCleanItunes(bool clean) {
    guide_.cleanItunes = clean;
    promptChanged();
}

void TWCleanMediaLibraryWndCtrl::setGroupNameInPhotos(const QString& name) {
    guide_.groupNameInPhotos = name.toStdString();
    promptChanged();
}

void TWCleanMediaLibraryWndCtrl::setAlbumNameInPhotos(const QString& name) {
    guide_.albumNameInPhotos = name.toStdString();
    promptChanged();
}

void TWCleanMediaLibraryWndCtrl::setPlaylistNameInItunes(const QString& name) {
    guide_.playlistNameInItunes = name.toStdString();
    promptChanged();
}

void TWCleanMediaLibraryWndCtrl::setLibraryNames(const std::string& photos, const std::string& music) {
    guide_.photosLibraryName = photos;
    guide_.musicLibraryName = music;
    drawPictures();
    promptChanged();
}

void TWCleanMediaLibraryWndCtrl::drawPictures() {
    // Without a name the pictures show the applications this system hands items to.
    const QString photos =
        QString::fromStdString(guide_.photosLibraryName.empty() ? std::string("Shotwell") : guide_.photosLibraryName);
    const QString music =
        QString::fromStdString(guide_.musicLibraryName.empty() ? std::string("Rhythmbox") : guide_.musicLibraryName);
    imgViewForPhotos_->setPixmap(guidePicture(QStringLiteral("guide_photos"), photos));
    imgViewForPhotos_->setAccessibleName(tr("How to finish in %1: open the tag, select its photos, move them to "
                                            "the Trash")
                                             .arg(photos));
    imgViewForiTunes_->setPixmap(guidePicture(QStringLiteral("guide_itunes"), music));
    imgViewForiTunes_->setAccessibleName(tr("How to finish in %1: open the playlist, select its songs, move them "
                                            "to the Trash")
                                             .arg(music));
}

QString TWCleanMediaLibraryWndCtrl::prompt() const {
    return QString::fromStdString(guide_.prompt());
}

void TWCleanMediaLibraryWndCtrl::promptChanged() {
    promptLabel_->setText(prompt());
}

void TWCleanMediaLibraryWndCtrl::updateFace() {
    const int height = pictureArea_->height();
    if (auto frame = guide_.photosPictureFrame()) imgViewForPhotos_->setGeometry(toWidgetFrame(*frame, height));
    if (auto frame = guide_.iTunesPictureFrame()) imgViewForiTunes_->setGeometry(toWidgetFrame(*frame, height));
    // A library that was not touched keeps its picture out of the way.
    imgViewForPhotos_->setVisible(guide_.cleanPhotos || !guide_.cleanItunes);
    imgViewForiTunes_->setVisible(guide_.cleanItunes || !guide_.cleanPhotos);
    promptChanged();
}

QRect TWCleanMediaLibraryWndCtrl::pictureFrame(QLabel* picture) const {
    const QRect g = picture->geometry();
    return QRect(g.x(), pictureArea_->height() - g.y() - g.height(), g.width(), g.height());
}
