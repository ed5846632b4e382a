#pragma once
// The icon view: the files of the selected groups as a grid of pictures, each with a
// check box, its name and, under the name, the folder that holds it (the full path in
// the item's tooltip). Only the items on screen are drawn; their thumbnails come
// from TWThumbnailCache and appear as they are made. Clicks select items (Ctrl adds,
// Shift extends from the last selected item) and flip marks through the file list.
// Main thread only.

#include <QAbstractScrollArea>
#include <set>

class TWIconView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kTitleBand = 45;

    explicit TWIconView(QWidget* parent = nullptr);

    double scalePercent() const { return scalePercent_; }
    // Clamped to 0..1; a change of at most 0.001 is ignored.
    void setScalePercent(double percent);
    // Rereads the number of files and redraws.
    void reloadData();

    // Geometry (in the viewport's coordinates, scrolling applied).
    int itemWidth() const;
    int itemHeight() const { return itemWidth() + kTitleBand; }
    int itemsPerRow() const;
    int contentHeight() const;
    QRect itemRect(int index) const;
    QRect pictureRect(int index) const;
    QRect checkBoxRect(int index) const;
    QRect nameRect(int index) const;
    QRect folderRect(int index) const;
    int indexAt(const QPoint& point) const;  // -1 outside every item
    int numberOfItems() const { return count_; }
    // The item Shift extends from (TWClickAnchor), or -1.
    int lastSelectedIndex() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    void selectWithClick(int index, Qt::KeyboardModifiers modifiers);
    void flipCheck(int index);

    double scalePercent_ = 0.3;
    int count_ = 0;
};
