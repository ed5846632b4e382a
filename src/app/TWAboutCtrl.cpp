#include "TWAboutCtrl.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "TWAppInfo.h"
#include "TWAppStyle.h"
#include "TWArtwork.h"
#include "TWScreenFit.h"

namespace {
QPointer<TWAboutCtrl>& sharedAbout() {
    static QPointer<TWAboutCtrl> about;
    return about;
}
}  // namespace

TWAboutCtrl* TWAboutCtrl::shared(QWidget* parent) {
    if (!sharedAbout()) sharedAbout() = new TWAboutCtrl(parent);
    return sharedAbout();
}

void TWAboutCtrl::resetShared() {
    delete sharedAbout().data();
}

TWAboutCtrl::TWAboutCtrl(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TWAboutCtrl"));
    setWindowTitle(tr("About %1").arg(TWAppInfo::displayName()));
    setWindowModality(Qt::WindowModal);

    auto* icon = new QLabel(this);
    icon->setPixmap(TWArtwork::pixmap(QStringLiteral("app_icon"), QSize(96, 96), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(TWAppInfo::displayName(), this);
    name->setFont(TWAppStyle::systemFont(16, true));
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(tr("Version %1").arg(TWAppInfo::version()), this);
    version->setAlignment(Qt::AlignCenter);
    auto* legal = new QLabel(tr("Finds duplicate files and similar images.\nCopyright © 2025 the %1 developers.")
                                 .arg(TWAppInfo::displayName()),
                             this);
    legal->setAlignment(Qt::AlignCenter);
    legal->setFont(TWAppStyle::systemFont(9));

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    if (!TWAppInfo::productWebPage().isEmpty()) {
        auto* more = new QPushButton(tr("More Info…"), this);
        connect(more, &QPushButton::clicked, this,
                [] { QDesktopServices::openUrl(QUrl(TWAppInfo::productWebPage())); });
        buttons->addWidget(more);
    }
    auto* close = new QPushButton(tr("Close"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 20);
    layout->setSpacing(8);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(6);
    layout->addWidget(legal);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    TWScreenFit::capFixedSize(this, sizeHint());
}

void TWAboutCtrl::showWindow() {
    open();
}
