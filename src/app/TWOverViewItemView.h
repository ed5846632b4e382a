#pragma once
// The overview's legend: one row per category (All first), each with its colour, name
// and duplicate size. Main thread only.

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

class TWOverViewItemView : public QWidget {
    Q_OBJECT
public:
    struct Row {
        QString name;
        QString size;
        QColor color;
    };
    static constexpr int kRowHeight = 30;

    explicit TWOverViewItemView(QWidget* parent = nullptr);
    // At most 8 rows are kept.
    void setRows(std::vector<Row> rows);
    const std::vector<Row>& rows() const { return rows_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Row> rows_;
};
