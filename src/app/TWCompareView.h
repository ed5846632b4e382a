#pragma once
// The compare view: one card per file of the selected groups, top to bottom, each with
// a check box, the name and under it the folder, the picture, the creation date, size,
// resolution and path, and the Show in Folder and Ignore buttons. Only the cards on
// screen are drawn; a picture's resolution is read off the GUI thread and appears when
// ready. Main thread only.

#include <QAbstractScrollArea>
#include <QString>

class TWFileUtility;

class TWCompareView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kCardHeight = 284;
    static constexpr int kMargin = 20;
    static constexpr int kTitleHeight = 44;
    static constexpr int kLabelWidth = 80;
    static constexpr int kLabelHeight = 17;
    static constexpr int kLabelGap = 8;

    enum class Part { None, Card, CheckBox, Picture, Title, ShowInFinder, Ignore };

    explicit TWCompareView(QWidget* parent = nullptr);
    void reloadData();
    int numberOfItems() const { return count_; }
    int lastSelectedIndex() const;

    // Geometry in the viewport's coordinates, scrolling applied.
    QRect cardRect(int index) const;
    QRect checkBoxRect(int index) const;
    QRect titleRect(int index) const;   // the name
    QRect folderRect(int index) const;  // the folder, under the name
    QRect pictureRect(int index) const;
    QRect labelRect(int index, int row) const;
    QRect valueRect(int index, int row) const;
    QRect showInFinderRect(int index) const;
    QRect ignoreRect(int index) const;
    // The card and the part of it under a point (index -1 outside every card).
    std::pair<int, Part> hitTest(const QPoint& point) const;
    // The four captions of a card: creation date, size, resolution and path.
    QStringList valuesOf(int index) const;
    // The caption of a row as drawn in `width` pixels of the value font: the size line
    // drops its "on disk" part rather than be cut, the path gives way in its folders.
    QString fittedValue(int index, int row, int width) const;

    // "<size> (<size on disk> on disk)", both as the app writes every size.
    static QString sizeCaption(uint64_t bytes, uint64_t bytesOnDisk);
    // "<path>", or "<path> (in the Shotwell library)" for a library item.
    static QString pathCaption(const TWFileUtility& file);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    void select(int index, Qt::KeyboardModifiers modifiers);
    void paintCard(QPainter& painter, int index);

    int count_ = 0;
    std::pair<int, Part> pressed_{-1, Part::None};
};
