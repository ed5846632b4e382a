// The Qt thumbnail provider: the 400 x 400 drawing and its turns, reading images
// through the safe open with the EXIF orientation applied, and icons asked from
// worker threads.

#include <QBuffer>
#include <QFile>
#include <QTest>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "AppTestSupport.h"
#include "app/TWQtImage.h"
#include "app/TWQtThumbnailProvider.h"

namespace {

// 200 x 100: the left half red, the right half blue.
QImage redLeftBlueRight(int width = 200, int height = 100) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width / 2; ++x) image.setPixelColor(x, y, Qt::red);
    }
    return image;
}

bool isRed(const QImage& image, int x, int y) {
    QColor c = image.pixelColor(x, y);
    return c.red() > 200 && c.blue() < 60 && c.alpha() == 255;
}
bool isBlue(const QImage& image, int x, int y) {
    QColor c = image.pixelColor(x, y);
    return c.blue() > 200 && c.red() < 60 && c.alpha() == 255;
}
bool isClear(const QImage& image, int x, int y) {
    return image.pixelColor(x, y).alpha() == 0;
}

// A JPEG of `image` whose EXIF block says `orientation`.
QByteArray jpegWithOrientation(const QImage& image, int orientation) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    const char tiff[] = {'M',  'M',  0, 42, 0, 0, 0, 8,                              // big-endian header, IFD at 8
                         0,    1,                                                    // one entry
                         0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, char(orientation), 0, 0,  // Orientation, SHORT
                         0,    0,    0, 0};                                          // no next IFD
    QByteArray payload = QByteArray("Exif\0\0", 6) + QByteArray(tiff, sizeof(tiff));
    QByteArray segment("\xFF\xE1", 2);
    int length = payload.size() + 2;
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

}  // namespace

class ThumbnailProviderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpApplication(); }
    void smallImageIsCentredUnscaled();
    void largeImageIsScaledToFit();
    void orientationsTurnTheDrawing();
    void imageSourceAppliesExifOrientationAndDecodesSmall();
    void imageSourceRefusesLinksFifosAndNonImages();
    void iconsForWorkersComeFromTheMainThreadWithBoundedWait();
};

void ThumbnailProviderTest::smallImageIsCentredUnscaled() {
    QImage out = TWQtThumbnailProvider::drawThumbnail(redLeftBlueRight(), 1);
    QCOMPARE(out.size(), QSize(400, 400));
    QVERIFY(isRed(out, 101, 151));
    QVERIFY(isBlue(out, 298, 248));
    QVERIFY(isClear(out, 99, 200));
    QVERIFY(isClear(out, 200, 149));
    QVERIFY(isClear(out, 200, 251));
}

void ThumbnailProviderTest::largeImageIsScaledToFit() {
    TWQtThumbnailProvider provider;
    auto out = provider.createThumbnailForImage(TWQtImage(redLeftBlueRight(1600, 400)), 1);
    QCOMPARE(out->width(), 400.0);
    QCOMPARE(out->height(), 400.0);
    const QImage& image = static_cast<TWQtImage&>(*out).image();
    // 1600 x 400 fits as 400 x 100, centred vertically.
    QVERIFY(isRed(image, 2, 200));
    QVERIFY(isBlue(image, 397, 200));
    QVERIFY(isClear(image, 200, 148));
    QVERIFY(isClear(image, 200, 252));
}

void ThumbnailProviderTest::orientationsTurnTheDrawing() {
    QImage source = redLeftBlueRight();
    // 6 and 7: a quarter turn clockwise puts the left (red) half on top.
    for (int orientation : {6, 7}) {
        QImage out = TWQtThumbnailProvider::drawThumbnail(source, orientation);
        QVERIFY2(isRed(out, 200, 110), qPrintable(QString::number(orientation)));
        QVERIFY(isBlue(out, 200, 290));
        QVERIFY(isClear(out, 140, 200));
    }
    // 5 and 8: anticlockwise, red at the bottom.
    for (int orientation : {5, 8}) {
        QImage out = TWQtThumbnailProvider::drawThumbnail(source, orientation);
        QVERIFY(isRed(out, 200, 290));
        QVERIFY(isBlue(out, 200, 110));
    }
    // 3 and 4: half a turn, red on the right.
    for (int orientation : {3, 4}) {
        QImage out = TWQtThumbnailProvider::drawThumbnail(source, orientation);
        QVERIFY(isRed(out, 290, 200));
        QVERIFY(isBlue(out, 110, 200));
    }
    // Anything else draws as is.
    QImage out = TWQtThumbnailProvider::drawThumbnail(source, 42);
    QVERIFY(isRed(out, 110, 200));
}

void ThumbnailProviderTest::imageSourceAppliesExifOrientationAndDecodesSmall() {
    twtest::TempDir dir;
    QString path = QString::fromStdString(dir / "turned.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(jpegWithOrientation(redLeftBlueRight(1200, 600), 6));
    file.close();

    TWQtThumbnailProvider provider;
    auto source = provider.imageSource(path.toStdString());
    QVERIFY(source.has_value());
    QCOMPARE(source->orientation, 6);
    QCOMPARE(source->pixelSize, (TWSize{1200, 600}));
    QVERIFY(source->thumbnail);
    // Shown upright and decoded at thumbnail size: 200 x 400, red on top.
    QCOMPARE(source->thumbnail->width(), 200.0);
    QCOMPARE(source->thumbnail->height(), 400.0);
    const QImage& image = static_cast<TWQtImage&>(*source->thumbnail).image();
    QVERIFY(isRed(image, 100, 20));
    QVERIFY(isBlue(image, 100, 380));
}

void ThumbnailProviderTest::imageSourceRefusesLinksFifosAndNonImages() {
    twtest::TempDir dir;
    QVERIFY(redLeftBlueRight().save(QString::fromStdString(dir / "real.png")));
    std::string link = dir.symlink("real.png", "link.png");
    std::string fifo = dir.fifo("pipe.png");
    std::string text = dir.write("notes.png", "not an image at all");
    TWQtThumbnailProvider provider;
    QVERIFY(provider.imageSource(dir / "real.png").has_value());
    QVERIFY(!provider.imageSource(link).has_value());
    QVERIFY(!provider.imageSource(fifo).has_value());  // returns instead of blocking
    QVERIFY(!provider.imageSource(text).has_value());
    QVERIFY(!provider.imageSource(dir / "missing.png").has_value());
}

void ThumbnailProviderTest::iconsForWorkersComeFromTheMainThreadWithBoundedWait() {
    twtest::TempDir dir;
    std::string folder = dir.mkdir("folder");
    std::string file = dir.write("letter.txt", "hello");
    TWQtThumbnailProvider provider;

    // A worker's request is served while the main thread runs its loop.
    auto answer = std::async(std::launch::async, [&] { return provider.iconForFile(folder); });
    QVERIFY(apptest::waitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    auto icon = answer.get();
    QVERIFY(icon);
    QVERIFY(icon->width() > 0);

    // With the main thread busy (here: blocked on the worker), the worker gives up
    // after its limit instead of waiting for ever.
    provider.setIconWaitLimit(std::chrono::milliseconds(200));
    auto started = std::chrono::steady_clock::now();
    std::shared_ptr<TWImage> blocked;
    std::thread worker([&] { blocked = provider.iconForFile(file); });
    worker.join();
    auto waited = std::chrono::steady_clock::now() - started;
    QVERIFY(!blocked);
    QVERIFY(waited < std::chrono::seconds(5));
    // The late answer still lands in the cache once the main thread runs.
    QTest::qWait(50);
}

QTEST_MAIN(ThumbnailProviderTest)
#include "ThumbnailProvider_test.moc"
