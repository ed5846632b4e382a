// One window per session: a second `twinsift FOLDER` hands its folder to the running
// app over D-Bus (a private bus here) and ends; the folder joins the scan view at once,
// or waits for the next scan while a scan or a result is on screen.

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "AppTestSupport.h"
#include "PrivateBus.h"
#include "TWLoadFilesCtrl.h"
#include "TWMainWindow.h"
#include "TWSingleInstance.h"

using apptest::LiveApp;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::vector<std::string> folderList() {
    return TWLoadFilesCtrl::shareLoadFilesCtrl()->saveFilesPathArray();
}

// The real app, launched as a second instance on `bus`; answers its exit code, or -1
// when it did not end in time. The event loop runs meanwhile, so that the first
// instance can answer.
int launchSecond(const twtest::PrivateBus& bus, const QStringList& arguments) {
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), q(bus.address()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(TWINSIFT_APP_PATH), arguments);
    if (!apptest::waitFor([&] { return second.state() == QProcess::NotRunning; }, 60000)) {
        second.kill();
        second.waitForFinished();
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void aSecondLaunchAddsItsFolderToTheRunningWindow();
    void aSecondLaunchWithoutFoldersRaisesTheWindow();
    void foldersWaitForTheNextScanWhileAResultIsShown();
};

void SingleInstanceTest::aSecondLaunchAddsItsFolderToTheRunningWindow() {
    twtest::PrivateBus bus;
    LiveApp app;
    QDBusConnection connection = QDBusConnection::connectToBus(q(bus.address()), QStringLiteral("primary"));
    {
        TWSingleInstance instance(connection);
        QCOMPARE(instance.start({}), TWSingleInstance::Role::primary);
        connect(&instance, &TWSingleInstance::openRequested, &app.delegate(),
                [&](const QStringList& folders) { app.delegate().openFolders(folders); });

        twtest::TempDir tree;
        const std::string photos = tree.mkdir("Photos");
        tree.write("notes.txt", "x");
        QCOMPARE(launchSecond(bus, {q(photos), q(tree / "notes.txt")}), 0);
        // The file stayed behind in the second launch; the folder arrived here.
        QCOMPARE(folderList(), std::vector<std::string>{photos});
        QCOMPARE(TWLoadFilesCtrl::shareLoadFilesCtrl()->scanButtonPicture(), QStringLiteral("btn_scan"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("primary"));
}

void SingleInstanceTest::aSecondLaunchWithoutFoldersRaisesTheWindow() {
    twtest::PrivateBus bus;
    QDBusConnection connection = QDBusConnection::connectToBus(q(bus.address()), QStringLiteral("raise"));
    {
        TWSingleInstance instance(connection);
        QCOMPARE(instance.start({}), TWSingleInstance::Role::primary);
        QSignalSpy raised(&instance, &TWSingleInstance::activateRequested);
        QCOMPARE(launchSecond(bus, {}), 0);
        QCOMPARE(raised.count(), 1);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("raise"));
}

void SingleInstanceTest::foldersWaitForTheNextScanWhileAResultIsShown() {
    LiveApp app;
    AppDelegate& d = app.delegate();
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    twtest::TempDir tree;
    const std::string first = tree.mkdir("first");
    const std::string later = tree.mkdir("later");
    d.openFolders({q(first)});
    QCOMPARE(folderList(), std::vector<std::string>{first});

    // A finished scan: the add button offers New Scan, so the folder waits.
    ctrl->startOrStopSearch();
    QVERIFY(apptest::waitFor([&] { return ctrl->loadFilesStatus() == 2; }));
    d.openFolders({q(later)});
    QCOMPARE(folderList(), std::vector<std::string>{first});
    QCOMPARE(d.pendingFolders(), QStringList{q(later)});
    QCOMPARE(d.wndMain()->noticeText(), QStringLiteral("“later” will be added to the next scan."));

    // While results show as well; the notice counts what waits.
    d.showResult();
    d.openFolders({q(tree.mkdir("third"))});
    QCOMPARE(d.wndMain()->noticeText(), QStringLiteral("2 folders will be added to the next scan."));
    d.backAction();

    // New Scan begins the next scan with them.
    ctrl->loadFilesFromOpenpanel();
    QCOMPARE(ctrl->loadFilesStatus(), 0);
    const auto folders = folderList();
    QVERIFY(std::find(folders.begin(), folders.end(), later) != folders.end());
    QVERIFY(std::find(folders.begin(), folders.end(), tree / "third") != folders.end());
    QVERIFY(d.pendingFolders().isEmpty());
}

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstance_test.moc"
