#include "TWAppInfo.h"

#include <QFileInfo>

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
    for (const char* candidate : {TWINSIFT_HELP_DOCUMENT, TWINSIFT_SOURCE_HELP_DOCUMENT}) {
        QString path = QString::fromUtf8(candidate);
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}
