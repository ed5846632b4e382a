#include "TWCommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "TWAppInfo.h"

namespace {

bool isOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

void addPath(TWCommandLine& line, const QString& argument, const QString& workingFolder) {
    const QString path = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument));
    const QFileInfo info(path);
    if (!info.exists()) {
        line.ignored << QCoreApplication::translate("TWCommandLine", "%1 does not exist").arg(argument);
    } else if (!info.isDir()) {
        line.ignored << QCoreApplication::translate("TWCommandLine", "%1 is not a folder").arg(argument);
    } else if (!line.folders.contains(path)) {
        line.folders << path;
    }
}

}  // namespace

TWCommandLine TWCommandLine::parse(const QStringList& arguments, const QString& workingFolder) {
    TWCommandLine line;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (optionsEnded || !isOption(argument)) {
            addPath(line, argument, workingFolder);
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.action = Action::help;
            return line;
        } else if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            line.action = Action::version;
            return line;
        } else {
            line.action = Action::usageError;
            line.badOption = argument;
            line.error = QCoreApplication::translate("TWCommandLine", "unknown option %1").arg(argument);
            return line;
        }
    }
    return line;
}

QString TWCommandLine::helpText() {
    return QCoreApplication::translate("TWCommandLine",
                                       "Usage: twinsift [OPTION...] [FOLDER...]\n"
                                       "Finds duplicate files and similar images in folders.\n"
                                       "\n"
                                       "The folders given are added to the scan. When %1 is already running, they are\n"
                                       "added to its window instead of opening a second one.\n"
                                       "\n"
                                       "  -h, --help      show this help and exit\n"
                                       "  -v, --version   show the version and exit\n"
                                       "\n"
                                       "The command-line tool twinsift-cli scans and removes without a window.\n")
        .arg(TWAppInfo::displayName());
}

QString TWCommandLine::versionText() {
    return QStringLiteral("twinsift %1\n").arg(TWAppInfo::version());
}

QString TWCommandLine::ignoredNotice() const {
    if (ignored.isEmpty()) return {};
    return QCoreApplication::translate("TWCommandLine", "Not added: %1.").arg(ignored.join(QStringLiteral("; ")));
}
