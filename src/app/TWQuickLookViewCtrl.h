#pragma once
// The slide view's preview of one file: an image scaled to fit, a text file as text
// (its first 64 KiB), anything else as its icon with name, size and dates. Without a
// file, or for a path that does not exist, it shows the app's "default_preview"
// picture; the title is the path, or "No item selected" without one. Content is read
// off the GUI thread, always through the safe open. Main thread only; quickLookPathfile
// hops to it.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>
#include <string>

#include "app/TWSharedInstance.h"

class QLabel;
class TWElidedPathLabel;
class QPlainTextEdit;
class QStackedWidget;
class QWidget;
class TWPreviewImageView;

class TWQuickLookViewCtrl : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kTextPreviewLimit = 64 * 1024;
    enum class Kind { Default, Image, Text, Info };

    static TWQuickLookViewCtrl* shareQuickLookViewCtrl();
    static void resetShared();
    // The live instance, or null (never creates one).
    static TWQuickLookViewCtrl* existing();

    QWidget* view() const { return view_; }
    const std::optional<std::string>& pathfile() const { return pathfile_; }
    // Sets the file previewed (nullopt: none) and reloads the preview.
    void quickLookPathfile(std::optional<std::string> path);

    // What the preview shows now, and its title (tests).
    Kind kind() const { return kind_; }
    QString title() const;
    bool isLoading() const { return loading_; }
    QString text() const;
    QImage image() const;
    QString infoText() const;

    // The first `limit` bytes of a file through the safe open when they look like text
    // (valid UTF-8 without NUL bytes, or a text type by name); nullopt otherwise.
    static std::optional<QString> readTextPreview(const std::string& path, size_t limit = kTextPreviewLimit);

private:
    friend class TWSharedInstance<TWQuickLookViewCtrl>;
    TWQuickLookViewCtrl();
    ~TWQuickLookViewCtrl() override;
    void reload();
    void showDefault(const QString& title);
    void showInfo(const std::string& path);

    QPointer<QWidget> view_;
    TWElidedPathLabel* titleLabel_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    TWPreviewImageView* imageView_ = nullptr;
    QPlainTextEdit* textView_ = nullptr;
    QWidget* infoView_ = nullptr;
    QLabel* infoIcon_ = nullptr;
    QLabel* infoLabel_ = nullptr;
    std::optional<std::string> pathfile_;
    Kind kind_ = Kind::Default;
    bool loading_ = false;
    uint64_t generation_ = 0;
};
