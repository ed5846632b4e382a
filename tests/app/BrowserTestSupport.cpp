#include "BrowserTestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QTest>
#include <QToolButton>
#include <random>

#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWLoadFilesCtrl.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"
#include "prefs/TWPreference.h"

namespace browsertest {

QImage landscape(int width, int height, int seed) {
    std::mt19937 random(unsigned(seed) * 7919u + 17u);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height * 0.7);
    // Day skies and sunsets.
    const bool sunset = pick(0, 2) == 0;
    const int hue = sunset ? pick(5, 35) : pick(185, 225);
    sky.setColorAt(0, QColor::fromHsv(sunset ? pick(250, 290) : hue, pick(90, 170), sunset ? 170 : 235));
    sky.setColorAt(1, QColor::fromHsv(hue, pick(60, 140), 250));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv(pick(30, 55), 170, 255));
    const int sun = height / pick(5, 8);
    painter.drawEllipse(QPoint(pick(width / 5, width * 4 / 5), pick(height / 6, height / 3)), sun, sun);
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hill;
        const int base = int(height * (0.55 + 0.13 * layer));
        hill.moveTo(0, height);
        hill.lineTo(0, base);
        for (int x = 0; x <= width; x += width / 6)
            hill.quadTo(x + width / 12, base - pick(10, height / 5), x + width / 6, base + pick(-10, 10));
        hill.lineTo(width, height);
        hill.closeSubpath();
        painter.setBrush(QColor::fromHsv(sunset ? pick(260, 300) : pick(70, 150), 90 + 30 * layer, 150 - 35 * layer));
        painter.drawPath(hill);
        if (layer == 1 && pick(0, 1)) {
            // A lake between the hills.
            QLinearGradient water(0, base + 10, 0, height);
            water.setColorAt(0, QColor::fromHsv(pick(190, 210), 120, 200));
            water.setColorAt(1, QColor::fromHsv(pick(200, 220), 160, 140));
            painter.setBrush(water);
            painter.drawRect(QRect(0, base + height / 12, width, height / 8));
        }
    }
    return image;
}

namespace {

std::string jpegBytes(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes.toStdString();
}

const char* kNotes =
    "Meeting notes, 14 March\n\n"
    "- Budget for the spring release approved.\n"
    "- Photos from the trade fair go to the shared folder.\n"
    "- Next review: first Monday of April.\n";

}  // namespace

std::vector<std::string> writeRealisticTree(const twtest::TempDir& tree) {
    const std::string beach = jpegBytes(landscape(640, 480, 1), 90);
    tree.write("Pictures/Holiday/Beach Sunset.jpg", beach);
    tree.write("Pictures/Backup/Beach Sunset.jpg", beach);
    const QImage hills = landscape(640, 480, 2);
    tree.write("Pictures/Holiday/Green Hills.jpg", jpegBytes(hills, 92));
    // The edited copy: a small mark painted in, saved smaller.
    QImage edited = hills;
    {
        QPainter painter(&edited);
        painter.fillRect(QRect(400, 120, 14, 10), QColor(40, 40, 40));
    }
    tree.write("Pictures/Edited/Green Hills (small).jpg", jpegBytes(edited, 80));
    tree.write("Pictures/Holiday/Lake Morning.jpg", jpegBytes(landscape(640, 480, 3), 90));

    const std::string report = twtest::randomBytes(48000, 11);
    tree.write("Documents/Quarterly Report.pdf", report);
    tree.write("Documents/Archive/Quarterly Report.pdf", report);
    tree.write("Documents/Old/Quarterly Report copy.pdf", report);
    const std::string invoice = twtest::randomBytes(21000, 12);
    tree.write("Documents/Invoice 2023-04.docx", invoice);
    tree.write("Documents/Archive/Invoice 2023-04.docx", invoice);
    tree.write("Documents/Meeting Notes.txt", kNotes);
    tree.write("Documents/Archive/Meeting Notes.txt", kNotes);
    tree.write("Documents/Letter.txt", "Dear reader,\nthis letter stands alone.\n");

    const std::string song = twtest::randomBytes(150000, 13);
    tree.write("Music/Morning Light.mp3", song);
    tree.write("Music/Downloads/Morning Light.mp3", song);
    tree.write("Music/Harbour Lights.mp3", twtest::randomBytes(90000, 14));
    return {tree / "Pictures", tree / "Documents", tree / "Music"};
}

bool scanAndShow(apptest::LiveApp& app, const std::vector<std::string>& roots) {
    // Each scan starts from a fresh view state (category, filter, sort).
    TWDuplicateFilesManager::resetShared();
    TWFilesListManager::resetShareFilesListManager();
    // The loosest level, so that the edited photo counts as similar to its original.
    TWPreference::shared().setSimilarityLevel(0.0f);
    TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    ctrl->addFolder(roots);
    ctrl->reloadData();
    QTest::mouseClick(ctrl->btnScan(), Qt::LeftButton);
    return apptest::waitFor([&] { return app.delegate().isResultShown(); }, 60000);
}

TWBrowserResoultViewCtrl* browser() {
    return TWBrowserResoultViewCtrl::shared();
}

TWDuplicateFilesManager& manager() {
    return TWDuplicateFilesManager::shared();
}

TWFilesListManager& files() {
    return TWFilesListManager::shareFilesListManager();
}

QAction* actionTagged(QMenu* menu, int tag) {
    for (QAction* action : menu->actions())
        if (!action->isSeparator() && action->data().toInt() == tag) return action;
    return nullptr;
}

std::vector<std::vector<std::string>> resultGroups() {
    std::vector<std::vector<std::string>> groups;
    for (const auto& container : TWDuplicateFilesManager::shared().allDuplicateFiles()) {
        if (!container) continue;
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            std::vector<std::string> paths;
            for (const auto& file : group->itemsOfFileUtility()) paths.push_back(file->filePath());
            groups.push_back(std::move(paths));
        }
    }
    return groups;
}

std::set<std::string> resultPaths() {
    std::set<std::string> paths;
    for (const auto& group : resultGroups()) paths.insert(group.begin(), group.end());
    return paths;
}

std::set<std::string> checkedPaths() {
    std::set<std::string> paths;
    for (const auto& container : TWDuplicateFilesManager::shared().allDuplicateFiles())
        if (container)
            for (const auto& group : container->duplicateFilesIncludingSimilar())
                for (const auto& file : group->itemsOfFileUtility())
                    if (file->isChecked()) paths.insert(file->filePath());
    return paths;
}

void click(QWidget* widget, const QPoint& position, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(widget, Qt::LeftButton, modifiers, position);
}

void selectGroupRow(int row) {
    QListView* list = TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView();
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    click(list->viewport(), rect.center());
}

int rowOfGroupNamed(const std::string& name) {
    auto& manager = TWDuplicateFilesManager::shared();
    for (size_t row = 0; row < manager.numberOfDisplayDuplicateFiles(); ++row) {
        auto group = manager.duplicateFileForDisplayAtIndex(row);
        for (const auto& file : group->itemsOfFileUtility())
            if (TWFileUtility::lastPathComponent(file->filePath()) == name) return int(row);
    }
    return -1;
}

}  // namespace browsertest
