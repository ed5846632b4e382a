#pragma once
// The results browser's toolbar: Back, the Overview button and one button per file
// category (All, Documents, Images, Music, Videos, Archives, Packages, Others, each
// tagged with its category number). It keeps which category or the overview is
// chosen, styles the buttons for it, and tells its delegate. Main thread only.

#include <QAbstractButton>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

#include "app/TWSharedInstance.h"
#include "files/TWCategoryManager.h"

class TWToolBar;

class TWToolBarDelegate {
public:
    virtual ~TWToolBarDelegate() = default;
    // A category button or the Overview button was pressed (read categorySelected and
    // overviewSelected).
    virtual void TWToolBarCategoryChanged(TWToolBar& toolBar) {}
    virtual void TWToolBarBackAction(TWToolBar& toolBar) {}
};

// A toolbar button drawn from one of the app's pictures (or none) with its title over it.
class TWToolBarButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TWToolBarButton(QWidget* parent = nullptr);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    QString image() const { return image_; }
    void setImage(const QString& image);
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);
    // Where the title starts when the picture carries a glyph at its left; 0 centres it.
    void setTextInset(int inset) { textInset_ = inset; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int tag_ = 0;
    QString image_;
    QColor textColor_;
    int textInset_ = 0;
};

class TWToolBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 37;

    static TWToolBar* shareToolBar();
    static void resetShared();

    TWToolBarDelegate* delegate() const { return delegate_; }
    void setDelegate(TWToolBarDelegate* delegate) { delegate_ = delegate; }

    TWCategory categorySelected() const { return categorySelected_; }
    void setCategorySelected(TWCategory category) { categorySelected_ = category; }
    bool overviewSelected() const { return overviewSelected_; }
    void setOverviewSelected(bool selected) { overviewSelected_ = selected; }
    QString overViewButtonImage() const;

    // Restyles the buttons for the current choice.
    void updateState();

    // Actions of the buttons.
    void categoryChanged(TWToolBarButton* sender);
    void overViewer();
    void backButtonClicked();

    QAbstractButton* backBtn() const { return backBtn_; }
    TWToolBarButton* overviewBtn() const { return overviewBtn_; }
    // Category buttons in category order (allFilesBtn ... othersBtn).
    const std::vector<TWToolBarButton*>& categoryButtons() const { return categoryButtons_; }
    QWidget* layoutView() const { return layoutView_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TWSharedInstance<TWToolBar>;
    TWToolBar();
    void centreLayoutView();

    TWToolBarButton* backBtn_ = nullptr;
    TWToolBarButton* overviewBtn_ = nullptr;
    QWidget* layoutView_ = nullptr;
    std::vector<TWToolBarButton*> categoryButtons_;
    TWCategory categorySelected_ = TWCategory_allFiles;
    bool overviewSelected_ = false;
    TWToolBarDelegate* delegate_ = nullptr;
};
