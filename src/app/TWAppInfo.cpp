#include "TWAppInfo.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>

#include "MediaModule.h"

QString TWAppInfo::displayName() {
    return QStringLiteral("Twinsift");
}

QString TWAppInfo::version() {
    return QStringLiteral(TWINSIFT_VERSION);
}

QString TWAppInfo::desktopId() {
    return QStringLiteral(TWINSIFT_APP_ID);
}

QString TWAppInfo::productWebPage() {
    return QStringLiteral(TWINSIFT_HOMEPAGE);
}

QString TWAppInfo::helpDocument() {
    // Beside an installed executable (<prefix>/bin/../share/...), else in the source tree.
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../" TWINSIFT_HELP_DOCUMENT);
    for (const QString& path : {installed, QStringLiteral(TWINSIFT_SOURCE_HELP_DOCUMENT)}) {
        if (QFileInfo(path).isFile()) return QFileInfo(path).canonicalFilePath();
    }
    return {};
}

QString TWAppInfo::imageModuleLine() {
    const TWMediaFunctions* functions = tw::mediaModule();
    Dl_info info{};
    if (!functions || !dladdr(reinterpret_cast<void*>(functions->pixelSize), &info) || !info.dli_fname)
        return QStringLiteral("image module: not found, images are treated as unreadable\n");
    return QStringLiteral("image module: %1\n")
        .arg(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath());
}
