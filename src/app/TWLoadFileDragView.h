#pragma once
// The scan view's drop area. Before a scan it takes folders by drag and drop and shows
// the chosen folders three to a page, offering a remove button on the folder under
// the pointer; during and after a scan it shows the three counters, or a picture that
// says nothing was found. It is passive: everything it shows comes from its data
// source, everything the user does goes to its delegate; the controller tells it when
// to reload. Main thread only.

#include <QIcon>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QToolButton;
class QPropertyAnimation;
class TWLoadFileDragView;

// Every question is optional: the defaults answer 0 or nothing, as an unanswered
// question counts.
class TWLoadFileDragViewDataSource {
public:
    virtual ~TWLoadFileDragViewDataSource() = default;
    virtual int64_t TWLoadFileStatus(TWLoadFileDragView& view) { return 0; }  // 0 ready, 1 scanning, 2 finished
    virtual int64_t TWLoadFileDragViewNumberOfFolder(TWLoadFileDragView& view) { return 0; }
    virtual QIcon TWLoadFileDragViewIconAtIndex(TWLoadFileDragView& view, int64_t index) { return {}; }
    virtual QString TWLoadFileDragViewLabelAtIndex(TWLoadFileDragView& view, int64_t index) { return {}; }
    virtual int64_t TWLoadFileDragViewNumberOfDupcaliteFiles(TWLoadFileDragView& view) { return 0; }
    virtual int64_t TWLoadFileDragViewNumberOfScanFiles(TWLoadFileDragView& view) { return 0; }
    virtual uint64_t TWLoadFileDragViewNumberOfScanSize(TWLoadFileDragView& view) { return 0; }
    // Whether the finished scan was stopped early (its counters are what it found so far).
    virtual bool TWLoadFileDragViewScanWasStopped(TWLoadFileDragView& view) { return false; }
    // A line under the counters while a long read runs ("Reading 1.2 GB of 32 GB").
    virtual QString TWLoadFileDragViewReadingText(TWLoadFileDragView& view) { return {}; }
};

class TWLoadFileDragDelegate {
public:
    virtual ~TWLoadFileDragDelegate() = default;
    // The folders of a drop (possibly none); files and refused items already left out.
    virtual void TWLoadFileDragViewDragFolders(TWLoadFileDragView& view, const std::vector<std::string>& paths) {}
    virtual void TWLoadFileDragViewRemoveFolderAtIndex(TWLoadFileDragView& view, int64_t index) {}
    // Whether remove buttons may be offered; unanswered (nullopt) counts as yes.
    virtual std::optional<bool> TWLoadFileDragViewCanRemove(TWLoadFileDragView& view) { return std::nullopt; }
};

class TWLoadFileDragView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFoldersPerPage = 3;

    explicit TWLoadFileDragView(QWidget* parent = nullptr);
    ~TWLoadFileDragView() override;

    // Not owned; each must outlive the view or be cleared first.
    TWLoadFileDragViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(TWLoadFileDragViewDataSource* source) { dataSource_ = source; }
    TWLoadFileDragDelegate* delegate() const { return delegate_; }
    void setDelegate(TWLoadFileDragDelegate* delegate) { delegate_ = delegate; }

    // The folder page shown; 0 at start.
    uint64_t curIndexOfPages() const { return curIndexOfPages_; }
    static uint64_t numberOfPages(uint64_t folders) { return (folders + 2) / 3; }
    // The folder page's title: "1 folder added", "N folders added".
    static QString folderCountTitle(int64_t folders);

    // Keeps the page within the folders there are, rebuilds the hover areas, redraws.
    void reload();

    // What the user sees, for the controller and for tests.
    struct Slot {
        int64_t folderIndex = -1;
        QRectF frame;      // the whole slot
        QRectF iconRect;   // where the icon is drawn
        QRectF labelRect;  // the label band
    };
    // The slots of the current page (status 0 with folders); empty otherwise.
    std::vector<Slot> visibleSlots() const;
    QRectF previousPageRect() const;  // meaningful only with more than one page
    QRectF nextPageRect() const;
    // The remove button now offered, or null.
    QToolButton* visibleRemoveButton() const;
    // Page moves, as a click on the arrows does.
    void showPreviousPage();
    void showNextPage();

    // Whether a drag of these local paths would be accepted, and which of them a drop
    // would keep (folders only; packages refused while the skip-packages setting is on).
    bool acceptsDragOfPaths(const std::vector<std::string>& paths);
    std::vector<std::string> foldersToKeepFromDrop(const std::vector<std::string>& paths) const;

    QSize sizeHint() const override { return {300, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int64_t status();
    int64_t numberOfFolders();
    QRectF backgroundSquare() const;
    QRectF flipped(double x, double y, double w, double h) const;  // bottom-left origin to widget
    void drawFolderPage(QPainter& painter);
    void drawCounters(QPainter& painter);
    void drawCounter(QPainter& painter, const QString& number, int pointSize, double place, const QString& caption);
    void updateTrackingAreas();
    void hoverAt(const QPointF& position, Qt::MouseButtons buttons);
    void showRemoveButton(const Slot& slot);
    void hideRemoveButton();
    void fade(QToolButton* button, bool in);
    QToolButton* removeButtonForPosition(int position);
    static std::vector<std::string> localPaths(const class QMimeData* data);

    TWLoadFileDragViewDataSource* dataSource_ = nullptr;
    TWLoadFileDragDelegate* delegate_ = nullptr;
    uint64_t curIndexOfPages_ = 0;
    std::vector<Slot> trackingAreas_;  // one per folder shown, each keyed by its folder index
    std::array<QPointer<QToolButton>, kFoldersPerPage> removeButtons_;
    QPointer<QToolButton> shownButton_;
    int64_t hoveredFolder_ = -1;
};
