// Opening on folders: the command line, --help and --version without a display, and
// the desktop entry that lets a file manager open folders with the app.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include "TWAppInfo.h"
#include "TWCommandLine.h"
#include "TestSupport.h"

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// The app run with no display at all: no DISPLAY, no Wayland, no platform chosen.
QProcess* runWithoutDisplay(const QStringList& arguments) {
    auto* process = new QProcess();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(TWINSIFT_APP_PATH), arguments);
    process->waitForFinished(60000);
    return process;
}

QMap<QString, QString> desktopEntry(const QString& name) {
    QFile file(QStringLiteral(TWINSIFT_SOURCE_DIR "/src/app/resources/") + name);
    QMap<QString, QString> keys;
    if (!file.open(QIODevice::ReadOnly)) return keys;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0) keys[line.left(eq)] = line.mid(eq + 1);
    }
    return keys;
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void foldersAreAddedFilesAndMissingPathsIgnored();
    void optionsEndAtDoubleDashAndUnknownOnesAreErrors();
    void helpAndVersionNeedNoDisplay();
    void aWrongOptionFailsWithoutDisplay();
    void desktopEntriesOpenFoldersButOnlyTheHiddenOneClaimsThem();
    void helpIsTheShippedPageNeverTheReadme();
};

void CommandLineTest::foldersAreAddedFilesAndMissingPathsIgnored() {
    twtest::TempDir tree;
    const QString photos = q(tree.mkdir("Photos"));
    const QString music = q(tree.mkdir("Music"));
    tree.write("notes.txt", "x");
    const TWCommandLine line = TWCommandLine::parse({QStringLiteral("Photos"), music, QStringLiteral("notes.txt"),
                                                     QStringLiteral("gone"), QStringLiteral("./Photos/")},
                                                    q(tree.path()));
    QCOMPARE(line.action, TWCommandLine::Action::run);
    // Relative paths resolve against the working folder; the same folder counts once.
    QCOMPARE(line.folders, (QStringList{photos, music}));
    QCOMPARE(line.ignored, (QStringList{"notes.txt is not a folder", "gone does not exist"}));
    QCOMPARE(line.ignoredNotice(), QStringLiteral("Not added: notes.txt is not a folder; gone does not exist."));
    QVERIFY(TWCommandLine::parse({}, q(tree.path())).ignoredNotice().isEmpty());
}

void CommandLineTest::optionsEndAtDoubleDashAndUnknownOnesAreErrors() {
    twtest::TempDir tree;
    const QString dashed = q(tree.mkdir("--help"));
    TWCommandLine line = TWCommandLine::parse({QStringLiteral("--"), QStringLiteral("--help")}, q(tree.path()));
    QCOMPARE(line.action, TWCommandLine::Action::run);
    QCOMPARE(line.folders, QStringList{dashed});

    line = TWCommandLine::parse({QStringLiteral("--bogus"), QStringLiteral("--help")}, q(tree.path()));
    QCOMPARE(line.action, TWCommandLine::Action::usageError);
    QCOMPARE(line.badOption, QStringLiteral("--bogus"));
    QCOMPARE(TWCommandLine::parse({QStringLiteral("-v")}, q(tree.path())).action, TWCommandLine::Action::version);
    QCOMPARE(TWCommandLine::parse({QStringLiteral("x"), QStringLiteral("-h")}, q(tree.path())).action,
             TWCommandLine::Action::help);
}

void CommandLineTest::helpAndVersionNeedNoDisplay() {
    std::unique_ptr<QProcess> help(runWithoutDisplay({QStringLiteral("--help")}));
    QCOMPARE(help->exitStatus(), QProcess::NormalExit);
    QCOMPARE(help->exitCode(), 0);
    QVERIFY(help->readAllStandardOutput().startsWith("Usage: twinsift [OPTION...] [FOLDER...]"));

    std::unique_ptr<QProcess> version(runWithoutDisplay({QStringLiteral("--version")}));
    QCOMPARE(version->exitCode(), 0);
    const QString out = QString::fromUtf8(version->readAllStandardOutput());
    QVERIFY2(out.startsWith(QStringLiteral("twinsift " TWINSIFT_VERSION "\n")), qPrintable(out));
    // The build's own image module is found and named.
    QVERIFY2(out.contains(QStringLiteral("image module: /")) && out.contains(QStringLiteral("libtwinsift_media.so")),
             qPrintable(out));
}

void CommandLineTest::aWrongOptionFailsWithoutDisplay() {
    std::unique_ptr<QProcess> wrong(runWithoutDisplay({QStringLiteral("--bogus")}));
    QCOMPARE(wrong->exitStatus(), QProcess::NormalExit);
    QCOMPARE(wrong->exitCode(), 2);
    QVERIFY(wrong->readAllStandardError().contains("unknown option --bogus"));
}

void CommandLineTest::desktopEntriesOpenFoldersButOnlyTheHiddenOneClaimsThem() {
    const auto main = desktopEntry(QStringLiteral("org.twinsift.Twinsift.desktop"));
    QCOMPARE(main.value(QStringLiteral("Exec")), QStringLiteral("twinsift %F"));
    // The launcher names no MIME type: desktops without a chosen folder handler take
    // the first entry by name that claims folders, and "org.t..." comes before most
    // file managers.
    QVERIFY(!main.contains(QStringLiteral("MimeType")));
    const auto folders = desktopEntry(QStringLiteral("twinsift-open-folder.desktop"));
    QCOMPARE(folders.value(QStringLiteral("Exec")), QStringLiteral("twinsift %F"));
    QCOMPARE(folders.value(QStringLiteral("MimeType")), QStringLiteral("inode/directory;"));
    QCOMPARE(folders.value(QStringLiteral("NoDisplay")), QStringLiteral("true"));
    QCOMPARE(folders.value(QStringLiteral("Name")), main.value(QStringLiteral("Name")));
}

void CommandLineTest::helpIsTheShippedPageNeverTheReadme() {
    const QString help = TWAppInfo::helpDocument();
    QVERIFY2(help.endsWith(QStringLiteral("/help/index.html")), qPrintable(help));
    QFile page(help);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("<title>Twinsift Help</title>"));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLine_test.moc"
