// The thumbnail cache's one choice of what a view shows of a file: its thumbnail once
// made, the icon of its type until then, a folder's icon for folders and packages.

#include <QImage>
#include <QTest>

#include "AppTestSupport.h"
#include "app/TWThumbnailCache.h"
#include "files/TWFileUtility.h"

class ThumbnailCacheTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpApplication(); }
    void cleanup() { TWThumbnailCache::resetShared(); }
    void iconUntilTheThumbnailIsMadeThenTheThumbnail();
    void foldersAndPackagesShowTheFolderIcon();
};

void ThumbnailCacheTest::iconUntilTheThumbnailIsMadeThenTheThumbnail() {
    twtest::TempDir dir;
    const std::string path = dir / "picture.png";
    QImage image(300, 150, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(QString::fromStdString(path), "PNG"));
    auto file = TWFileUtility::initWithPath(path);
    TWThumbnailCache* cache = TWThumbnailCache::shared();

    const TWThumbnailCache::Picture first = cache->pictureForFile(file, 200, 64);
    QVERIFY(!first.isThumbnail);
    QCOMPARE(first.image, cache->iconForFile(*file, 64));
    QVERIFY(apptest::waitFor([&] { return cache->pendingCount() == 0 && !cache->thumbnail(file, 200).isNull(); }));

    const TWThumbnailCache::Picture made = cache->pictureForFile(file, 200, 64);
    QVERIFY(made.isThumbnail);
    QCOMPARE(made.image, cache->thumbnail(file, 200));
    QVERIFY(made.image.width() <= 200 && made.image.height() <= 200);
    QCOMPARE(cache->pictureForFile(file, 200), made.image);
}

void ThumbnailCacheTest::foldersAndPackagesShowTheFolderIcon() {
    twtest::TempDir dir;
    auto package = TWFileUtility::initWithPath(dir.mkdir("Tool.app"));
    auto text = TWFileUtility::initWithPath(dir.write("notes.txt", "x"));
    TWThumbnailCache* cache = TWThumbnailCache::shared();
    QCOMPARE(package->fileType(), TWFileTypePackage);

    const TWThumbnailCache::Picture shown = cache->pictureForFile(package, 200, 48);
    QVERIFY(!shown.isThumbnail);
    QCOMPARE(shown.image, cache->iconForPath(QString::fromStdString(package->filePath()) + "/", 48));
    QCOMPARE(cache->iconForFile(*text, 48), cache->iconForPath(QString::fromStdString(text->filePath()), 48));
    QVERIFY(cache->thumbnail(text, 200).isNull());
}

QTEST_MAIN(ThumbnailCacheTest)
#include "ThumbnailCache_test.moc"
