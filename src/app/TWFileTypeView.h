#pragma once
// The list of ignored file types on the Ignore page, drawn as chips that flow left to
// right in rows of 27 points and wrap at the right edge. A click selects a chip, a
// double click edits it in place; the data source supplies the texts and stores an
// edit. Main thread only.

#include <QLineEdit>
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
class TWFileTypeView;

// What the list shows and where an edit goes; every operation is optional.
class TWFileTypeViewDataSource {
public:
    virtual ~TWFileTypeViewDataSource() = default;
    virtual size_t numberOfFilterFileType(const TWFileTypeView&) const { return 0; }
    virtual std::optional<std::string> filterFileTypePathAt(const TWFileTypeView&, int64_t) const {
        return std::nullopt;
    }
    // The edit of the chip at `index` ended with `text` (an empty text removes it).
    virtual void fileTypeChanged(TWFileTypeView&, int64_t /*index*/, const std::string& /*text*/) {}
};

class TWFileTypeView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 27;
    static constexpr int kChipPadding = 32;       // added to the text width
    static constexpr int kEditingTextWidth = 60;  // a chip being edited is 92 wide
    static constexpr int kInsetX = 8;
    static constexpr int kInsetY = 4;
    static constexpr int kTextInset = 4;

    explicit TWFileTypeView(QWidget* parent = nullptr);

    void setDataSource(TWFileTypeViewDataSource* dataSource);
    // Reads the texts again and lays the chips out; keeps the selection when it is
    // still inside the list, else clears it.
    void reloadData();

    size_t count() const { return texts_.size(); }
    QString textAt(size_t index) const;
    // The cells of the chips, in list order (the chip is drawn inset 8 by 4 in it).
    const std::vector<QRectF>& chipRects() const { return cells_; }
    int chipAt(const QPointF& point) const;  // -1 outside every chip

    int selectedIndex() const { return selected_; }
    // -1 clears the selection. Ends no edit.
    void setSelectedIndex(int index);

    bool isEditing() const { return editing_ >= 0; }
    int editingIndex() const { return editing_; }
    QLineEdit* editor() const { return editor_; }
    // Opens the field over the chip, its text selected. Ends any other edit first.
    void startEditing(int index);
    // Hands the field's text to the data source for the chip being edited; nothing
    // when no edit is open.
    void endEditing();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void selectionChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double chipWidth(size_t index) const;
    std::vector<QRectF> layoutFor(double width) const;
    void relayout();
    QRectF textRect(size_t index) const;

    TWFileTypeViewDataSource* dataSource_ = nullptr;
    std::vector<QString> texts_;
    std::vector<QRectF> cells_;
    int selected_ = -1;
    int editing_ = -1;
    QPointer<QLineEdit> editor_;
    bool ending_ = false;  // endEditing() is running (the field's focus loss re-enters)
};
