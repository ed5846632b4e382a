// How the results browser copes with a large result: loads 100,000 groups into the
// results manager and times, each through the real widgets on the offscreen platform,
// showing the browser, switching the category, sorting and searching (goal: each under
// 200 ms); then scrolls the icon view through 5,000 images whose thumbnails are made
// meanwhile, and reports the longest time the GUI thread was busy in one go (goal:
// under 50 ms).
//
//   browser_responsiveness [GROUPS]

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/TWAppStyle.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWIconView.h"
#include "app/TWIconViewController.h"
#include "app/TWQtMainQueue.h"
#include "app/TWQtThumbnailProvider.h"
#include "app/TWThumbnailCache.h"
#include "app/TWToolBar.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"

namespace fs = std::filesystem;

namespace {

constexpr int kImages = 5000;

fs::path makeTempFolder(const char* name) {
    fs::path base = fs::temp_directory_path() / (std::string(name) + "-XXXXXX");
    std::string pattern = base.string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

// Records of paths that need not exist (documents, music); a group of two per name.
TWDuplicateFile::Ptr pairOf(const std::string& first, const std::string& second) {
    auto group = TWDuplicateFile::initWithFile(TWFileUtility::initWithPath(first));
    group->addFile(TWFileUtility::initWithPath(second));
    group->setChecked(true, 1);
    return group;
}

// 5,000 real JPEG files (small pictures of a few kinds), paired into groups.
std::vector<TWDuplicateFile::Ptr> imageGroups(const fs::path& folder) {
    std::vector<std::string> encoded;
    for (int kind = 0; kind < 16; ++kind) {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(kind * 22, 140, 220));
        for (int y = 0; y < 480; y += 40) image.setPixel(kind * 10 % 640, y, qRgb(0, 0, 0));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 85);
        encoded.push_back(bytes.toStdString());
    }
    std::vector<TWDuplicateFile::Ptr> groups;
    for (int i = 0; i < kImages; i += 2) {
        std::string a = (folder / ("photo-" + std::to_string(i) + ".jpg")).string();
        std::string b = (folder / ("photo-" + std::to_string(i + 1) + ".jpg")).string();
        for (const auto& path : {a, b})
            std::ofstream(path, std::ios::binary) << encoded[size_t(i / 2) % encoded.size()];
        groups.push_back(pairOf(a, b));
    }
    return groups;
}

// Runs `step`, lets the event loop deliver what it caused, paints, and answers the
// milliseconds it took.
template <typename Step>
double timed(QWidget* window, Step step) {
    QElapsedTimer timer;
    timer.start();
    step();
    QCoreApplication::processEvents();
    window->repaint();
    return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const long groups = argc > 1 ? std::atol(argv[1]) : 100000;
    const fs::path config = makeTempFolder("twinsift-bench-config");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    TWAppStyle::apply(app);
    TWQtMainQueue mainQueue;
    TWQtThumbnailProvider::installShared();
    const fs::path images = makeTempFolder("twinsift-bench-images");

    // The result: documents and music by the tens of thousands, and the images.
    std::vector<TWCategoryFiles::Ptr> containers;
    auto documents = TWCategoryFiles::initWithCategory(TWCategory_documents);
    auto music = TWCategoryFiles::initWithCategory(TWCategory_music);
    auto pictures = TWCategoryFiles::initWithCategory(TWCategory_images);
    const long others = std::max(0L, groups - kImages / 2);
    for (long i = 0; i < others; ++i) {
        const std::string name = "/nonexistent/bench/" + std::to_string(i % 997) + "/file " + std::to_string(i);
        if (i % 3 == 0)
            music->addDuplicateFile(pairOf(name + ".mp3", name + " copy.mp3"));
        else
            documents->addDuplicateFile(pairOf(name + ".pdf", name + " copy.pdf"));
    }
    for (auto& group : imageGroups(images)) pictures->addDuplicateFile(group);
    containers = {documents, pictures, music};
    TWDuplicateFilesManager::shared().updateDuplicateFiles(containers);
    std::printf("result: %zu groups\n", size_t(TWDuplicateFilesManager::shared().numberOfDuplicateFiles()));

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    window.resize(1000, 700);
    window.show();
    TWBrowserResoultViewCtrl* browser = TWBrowserResoultViewCtrl::shared();

    bool ok = true;
    auto report = [&](const char* what, double ms, double limit) {
        std::printf("%-28s %8.1f ms  (goal < %.0f ms)%s\n", what, ms, limit, ms < limit ? "" : "  OVER");
        ok = ok && ms < limit;
    };
    report("show the browser",
           timed(&window,
                 [&] {
                     layout->addWidget(browser->view());
                     browser->reloadData();
                 }),
           200);
    report("switch category",
           timed(&window,
                 [&] {
                     TWToolBar::shareToolBar()->categoryChanged(
                         TWToolBar::shareToolBar()->categoryButtons()[TWCategory_documents]);
                 }),
           200);
    report("sort by name", timed(&window, [&] { TWDuplicateFilesViewCtrl::shared()->sortChanged(TWSortTypeName); }),
           200);
    report("sort by size", timed(&window, [&] { TWDuplicateFilesViewCtrl::shared()->sortChanged(TWSortTypeSize); }),
           200);
    report("search",
           timed(&window,
                 [&] {
                     TWDuplicateFilesViewCtrl::shared()->setFilterString(QStringLiteral("file 4242"));
                     TWDuplicateFilesViewCtrl::shared()->searchAction();
                 }),
           200);

    // The icon view over every image: select all image groups, then scroll to the end.
    TWToolBar::shareToolBar()->categoryChanged(TWToolBar::shareToolBar()->categoryButtons()[TWCategory_images]);
    TWDuplicateFilesViewCtrl::shared()->setFilterString(QString());
    TWDuplicateFilesViewCtrl::shared()->searchAction();
    report("select all (2,500 groups)", timed(&window, [&] { browser->selectAll(); }), 200);
    TWIconView* icons = TWIconViewController::shared()->view();
    std::printf("icon view: %d files\n", icons->numberOfItems());
    QScrollBar* bar = icons->verticalScrollBar();
    double longest = 0;
    QElapsedTimer total;
    total.start();
    while (bar->value() < bar->maximum()) {
        longest = std::max(longest, timed(&window, [&] { bar->setValue(bar->value() + icons->itemHeight() / 2); }));
        // Give the workers a moment, as a person scrolling would.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 4) {
            QElapsedTimer busy;
            busy.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            longest = std::max(longest, busy.nsecsElapsed() / 1e6);
        }
    }
    std::printf("scrolled to the end in %.1f s, %zu thumbnails made\n", total.elapsed() / 1000.0,
                TWThumbnailCache::shared()->madeCount());
    report("longest GUI-thread block", longest, 50);

    TWBrowserResoultViewCtrl::resetShared();
    fs::remove_all(images);
    fs::remove_all(config);
    return ok ? 0 : 1;
}
