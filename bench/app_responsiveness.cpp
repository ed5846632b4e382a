// How responsive the app's GUI thread stays while a large scan runs: builds a tree of
// generated files (200,000 by default), scans it through the app's own controllers on
// the offscreen platform, and reports the longest gap between the ticks of a 10 ms
// timer on the GUI thread (the goal: never above 100 ms).
//
//   app_responsiveness [FILES] [FOLDER]
//
// FOLDER (default: a fresh folder under $TMPDIR) receives the tree and is removed
// afterwards unless it was given; a given folder keeps its tree for the next run.

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWQtMainQueue.h"
#include "app/TWQtThumbnailProvider.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFilesPerFolder = 200;

// Small text files, every tenth one a copy of an earlier one, so that the scan finds
// duplicates as it goes.
void buildTree(const fs::path& root, long files) {
    for (long i = 0; i < files; ++i) {
        fs::path folder = root / ("d" + std::to_string(i / kFilesPerFolder));
        if (i % kFilesPerFolder == 0) fs::create_directories(folder);
        long content = (i % 10 == 9) ? i - 7 : i;
        std::ofstream(folder / ("f" + std::to_string(i) + ".txt"))
            << "generated file " << content << " " << std::string(64 + content % 512, 'x') << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    long files = argc > 1 ? std::atol(argv[1]) : 200000;
    bool ownFolder = argc <= 2;
    fs::path root = ownFolder ? fs::temp_directory_path() / ("twinsift-responsiveness-" + std::to_string(getpid()))
                              : fs::path(argv[2]);
    if (files <= 0) {
        std::fprintf(stderr, "usage: %s [FILES] [FOLDER]\n", argv[0]);
        return 2;
    }

    // A given folder keeps its tree between runs; the marker says how many files it holds.
    fs::path marker = root / (".twinsift-bench-" + std::to_string(files));
    if (ownFolder || !fs::exists(marker)) {
        std::printf("building %ld files under %s\n", files, root.c_str());
        std::fflush(stdout);
        fs::remove_all(root);
        buildTree(root, files);
        std::ofstream{marker};
    } else {
        std::printf("scanning the %ld files already under %s\n", files, root.c_str());
    }

    TWQtMainQueue mainQueue;
    TWQtThumbnailProvider::installShared();
    int status = 0;
    {
        AppDelegate delegate;
        delegate.showMainWindow();
        TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
        ctrl->addFolder({root.string()});
        ctrl->reloadData();

        QElapsedTimer clock;
        qint64 lastTick = -1;
        qint64 longestGap = 0;
        qint64 longestGapAt = 0;
        qint64 finishedAt = -1;
        std::vector<qint64> gaps;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            qint64 now = clock.elapsed();
            if (lastTick >= 0) {
                if (now - lastTick > longestGap) longestGapAt = lastTick;
                longestGap = std::max(longestGap, now - lastTick);
                gaps.push_back(now - lastTick);
            }
            lastTick = now;
        });
        QObject::connect(ctrl, &TWLoadFilesCtrl::faceChanged, [&] {
            if (ctrl->loadFilesStatus() != 2) return;
            finishedAt = clock.elapsed();
            // A little longer, so that handing the result over and switching views count too.
            QTimer::singleShot(500, &app, &QApplication::quit);
        });
        QTimer::singleShot(0, [&] {
            clock.start();
            ticker.start();
            ctrl->startOrStopSearch();
        });
        app.exec();
        ticker.stop();

        auto engine = ctrl->searchDuplicateFiles();
        std::sort(gaps.begin(), gaps.end());
        qint64 p99 = gaps.empty() ? 0 : gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
        std::printf("files scanned:      %llu\n", static_cast<unsigned long long>(engine->numberOfSearchFiles()));
        std::printf("duplicates found:   %llu\n", static_cast<unsigned long long>(engine->numberOfDuplicateFiles()));
        std::printf("scan time:          %.2f s\n", clock.elapsed() / 1000.0);
        std::printf("timer ticks:        %zu\n", gaps.size() + 1);
        auto above = [&](qint64 limit) { return gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), limit); };
        std::printf("99th percentile gap: %lld ms\n", static_cast<long long>(p99));
        std::printf("gaps over 50 ms:    %td, over 100 ms: %td\n", above(50), above(100));
        std::printf("longest gap:        %lld ms (goal: at most 100 ms), from %.2f s; the scan finished at %.2f s\n",
                    static_cast<long long>(longestGap), longestGapAt / 1000.0, finishedAt / 1000.0);
        status = longestGap <= 100 ? 0 : 1;
    }
    TWThumbnailProvider::install(nullptr);
    if (ownFolder) fs::remove_all(root);
    return status;
}
