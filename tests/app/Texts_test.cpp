// The app's own texts: counts that read right in English without a translation file.

#include <QTest>

#include "app/TWLoadFileDragView.h"

class TextsTest : public QObject {
    Q_OBJECT
private slots:
    void folderCountTitleReadsRightForOneAndMany();
};

void TextsTest::folderCountTitleReadsRightForOneAndMany() {
    QCOMPARE(TWLoadFileDragView::folderCountTitle(1), QStringLiteral("1 folder added"));
    QCOMPARE(TWLoadFileDragView::folderCountTitle(0), QStringLiteral("0 folders added"));
    QCOMPARE(TWLoadFileDragView::folderCountTitle(2), QStringLiteral("2 folders added"));
    QCOMPARE(TWLoadFileDragView::folderCountTitle(1001), QStringLiteral("1001 folders added"));
}

QTEST_MAIN(TextsTest)
#include "Texts_test.moc"
