#include "app/TWQuickLookViewCtrl.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWElidedPathLabel.h"
#include "app/TWThumbnailCache.h"
#include "files/TWFileUtility.h"
#include "platform/MainQueue.h"
#include "platform/SafeFile.h"

// Draws one image scaled to fit its bounds, centred, never enlarged past 2x.
class TWPreviewImageView : public QWidget {
public:
    explicit TWPreviewImageView(QWidget* parent) : QWidget(parent) {}
    void setImage(const QImage& image, const QString& artwork = QString()) {
        image_ = image;
        artwork_ = artwork;
        update();
    }
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect area = rect().adjusted(16, 16, -16, -16);
        if (!artwork_.isEmpty()) {
            const int side = std::min({area.width(), area.height(), 200});
            QRect target(0, 0, side, side);
            target.moveCenter(area.center());
            TWArtwork::draw(painter, artwork_, target);
            return;
        }
        if (image_.isNull()) return;
        QSize size = image_.size();
        if (size.width() > area.width() || size.height() > area.height() || size.width() * 2 < area.width())
            size = size.scaled(area.size().boundedTo(image_.size() * 2), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), size);
        target.moveCenter(area.center());
        painter.fillRect(target.adjusted(2, 3, 2, 3), QColor(0, 0, 0, 24));
        painter.drawImage(target, image_);
    }

private:
    QImage image_;
    QString artwork_;
};

namespace {

// Big enough for a full-screen preview; the view scales down from it.
constexpr int kPreviewImageSide = 2048;

bool pathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

TWQuickLookViewCtrl* TWQuickLookViewCtrl::shareQuickLookViewCtrl() {
    return TWSharedInstance<TWQuickLookViewCtrl>::get();
}

TWQuickLookViewCtrl* TWQuickLookViewCtrl::existing() {
    return TWSharedInstance<TWQuickLookViewCtrl>::existing();
}

void TWQuickLookViewCtrl::resetShared() {
    TWSharedInstance<TWQuickLookViewCtrl>::reset();
}

TWQuickLookViewCtrl::TWQuickLookViewCtrl() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("quickLookView"));
    view_->setAutoFillBackground(true);
    view_->setBackgroundRole(QPalette::AlternateBase);  // a pale grey, or dark in the dark scheme

    titleLabel_ = new TWElidedPathLabel(view_);
    titleLabel_->setObjectName(QStringLiteral("previewTitle"));
    titleLabel_->setFont(TWAppStyle::systemFont(10, true));
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titleLabel_->setStyleSheet(QStringLiteral("color: #3C4350; padding: 6px 10px;"));
    titleLabel_->setMinimumWidth(1);

    stack_ = new QStackedWidget(view_);
    imageView_ = new TWPreviewImageView(stack_);
    textView_ = new QPlainTextEdit(stack_);
    textView_->setReadOnly(true);
    textView_->setFrameShape(QFrame::NoFrame);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSizeF(9.5);
    textView_->setFont(mono);
    textView_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: white; margin: 0 12px 12px 12px; "
                       "border: 1px solid #E1E4E8; border-radius: 6px; padding: 6px; }"));
    infoView_ = new QWidget(stack_);
    auto* infoLayout = new QHBoxLayout(infoView_);
    infoLayout->addStretch(1);
    infoIcon_ = new QLabel(infoView_);
    infoLayout->addWidget(infoIcon_);
    infoLabel_ = new QLabel(infoView_);
    infoLabel_->setTextFormat(Qt::RichText);
    infoLabel_->setFont(TWAppStyle::systemFont(10));
    infoLayout->addSpacing(16);
    infoLayout->addWidget(infoLabel_);
    infoLayout->addStretch(1);
    stack_->addWidget(imageView_);
    stack_->addWidget(textView_);
    stack_->addWidget(infoView_);

    auto* layout = new QVBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(titleLabel_);
    layout->addWidget(stack_, 1);
    view_->setMinimumHeight(0);
    showDefault(tr("No item selected"));
}

TWQuickLookViewCtrl::~TWQuickLookViewCtrl() {
    delete view_;
}

void TWQuickLookViewCtrl::quickLookPathfile(std::optional<std::string> path) {
    if (!tw::MainQueue::shared().isMainThread()) {
        tw::MainQueue::shared().post([path = std::move(path)]() mutable {
            if (auto* ctrl = TWSharedInstance<TWQuickLookViewCtrl>::existing())
                ctrl->quickLookPathfile(std::move(path));
        });
        return;
    }
    pathfile_ = std::move(path);
    reload();
}

QString TWQuickLookViewCtrl::title() const {
    return titleLabel_->fullText();
}

QString TWQuickLookViewCtrl::text() const {
    return textView_->toPlainText();
}

QImage TWQuickLookViewCtrl::image() const {
    return imageView_->image();
}

QString TWQuickLookViewCtrl::infoText() const {
    return infoLabel_->text();
}

void TWQuickLookViewCtrl::showDefault(const QString& title) {
    kind_ = Kind::Default;
    loading_ = false;
    titleLabel_->setFullText(title);
    imageView_->setImage(QImage(), QStringLiteral("default_preview"));
    stack_->setCurrentWidget(imageView_);
}

void TWQuickLookViewCtrl::reload() {
    // Counted across instances, so that a late answer never matches a newer controller.
    static uint64_t lastGeneration = 0;
    const uint64_t generation = generation_ = ++lastGeneration;
    if (!pathfile_) {
        showDefault(tr("No item selected"));
        return;
    }
    const std::string path = *pathfile_;
    const QString title = QString::fromStdString(path);
    if (path.size() < 2 || !pathExists(path)) {
        showDefault(title);
        return;
    }
    titleLabel_->setFullText(title);
    loading_ = true;
    auto file = TWFileUtility::initWithPath(path);
    const bool image = TWThumbnailCache::isImageFile(*file);
    QThreadPool::globalInstance()->start([generation, path, image] {
        QImage picture;
        std::optional<QString> text;
        if (image) picture = TWThumbnailCache::readScaledImage(path, kPreviewImageSide);
        if (picture.isNull()) text = readTextPreview(path);
        QMetaObject::invokeMethod(
            qApp,
            [generation, path, picture, text] {
                TWQuickLookViewCtrl* ctrl = TWSharedInstance<TWQuickLookViewCtrl>::existing();
                if (!ctrl || ctrl->generation_ != generation) return;
                ctrl->loading_ = false;
                if (!picture.isNull()) {
                    ctrl->kind_ = Kind::Image;
                    ctrl->imageView_->setImage(picture);
                    ctrl->stack_->setCurrentWidget(ctrl->imageView_);
                } else if (text) {
                    ctrl->kind_ = Kind::Text;
                    ctrl->textView_->setPlainText(*text);
                    ctrl->stack_->setCurrentWidget(ctrl->textView_);
                } else {
                    ctrl->showInfo(path);
                }
            },
            Qt::QueuedConnection);
    });
}

void TWQuickLookViewCtrl::showInfo(const std::string& path) {
    kind_ = Kind::Info;
    auto file = TWFileUtility::initWithPath(path);
    const QString qpath = QString::fromStdString(path);
    QImage icon = TWThumbnailCache::shared()->iconForFile(*file, 128);
    infoIcon_->setPixmap(QPixmap::fromImage(icon));
    QFileInfo info(qpath);
    // Both dates in the locale's short format, so the view shows one date format.
    const QLocale locale;
    const std::optional<TWTime> createTime = file->createTime();
    const QString created =
        createTime ? locale.toString(QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(*createTime)),
                                     QLocale::ShortFormat)
                   : QString();
    const QString modified = locale.toString(info.lastModified(), QLocale::ShortFormat);
    QString html = QStringLiteral(
                       "<div style='color:#24292F'><b style='font-size:17px'>%1</b><br><br>"
                       "<span style='color:#6B7280'>Size:</span> %2<br>"
                       "<span style='color:#6B7280'>Created:</span> %3<br>"
                       "<span style='color:#6B7280'>Modified:</span> %4</div>")
                       .arg(QString::fromStdString(TWFileUtility::lastPathComponent(path)).toHtmlEscaped(),
                            QString::fromStdString(TWFileUtility::stringWithSize(file->fileSize())), created, modified);
    infoLabel_->setText(TWAppStyle::adaptStyleSheet(html));
    stack_->setCurrentWidget(infoView_);
}

std::optional<QString> TWQuickLookViewCtrl::readTextPreview(const std::string& path, size_t limit) {
    auto file = tw::SafeFile::open(path);
    if (!file) return std::nullopt;
    std::vector<unsigned char> bytes(std::min<uint64_t>(limit, file->size()));
    const long read = bytes.empty() ? 0 : file->readAt(0, bytes.data(), bytes.size());
    if (read < 0) return std::nullopt;
    bytes.resize(size_t(read));
    static QMimeDatabase database;
    const bool textByName =
        database.mimeTypeForFile(QString::fromStdString(path), QMimeDatabase::MatchExtension).inherits("text/plain");
    if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    // A cut at the limit may split the last character; only an error elsewhere rules
    // the content out as text.
    if (decoder.hasError() && !textByName) {
        const size_t cut = bytes.size() >= limit ? std::min<size_t>(bytes.size(), 3) : 0;
        QStringDecoder again(QStringDecoder::Utf8);
        again.decode(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size() - cut)));
        if (again.hasError()) return std::nullopt;
    }
    if (bytes.empty() && !textByName) return std::nullopt;
    return text;
}
