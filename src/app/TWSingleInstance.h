#pragma once
// One app per session: the first instance owns the bus name org.twinsift.Twinsift and
// answers org.freedesktop.Application at /org/twinsift/Twinsift, the convention Qt and
// GIO applications follow; a later `twinsift FOLDER...` hands its folders to it with
// Open (or raises it with Activate) and ends. Main thread only.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

class TWSingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.twinsift.Twinsift";
    static constexpr const char* kObjectPath = "/org/twinsift/Twinsift";
    static constexpr const char* kInterface = "org.freedesktop.Application";

    // Works on `connection` (the session bus in the app, a private bus in tests).
    explicit TWSingleInstance(const QDBusConnection& connection, QObject* parent = nullptr);
    ~TWSingleInstance() override;

    enum class Role {
        primary,    // this process owns the name and answers
        forwarded,  // another instance took the request; this one should end
        standalone  // no bus, or the owner did not answer: run on without one
    };
    // Becomes the primary instance, or hands `folders` to the one that is.
    Role start(const QStringList& folders);

    // The folder paths of file: URIs (others are left out).
    static QStringList pathsFromUris(const QStringList& uris);

signals:
    // Another instance (or the desktop) asked to open these folders; the window should
    // come forward as well.
    void openRequested(const QStringList& folders);
    // Asked to come forward with nothing to open.
    void activateRequested();

private:
    friend class TWApplicationAdaptor;
    bool forward(const QStringList& folders);

    QDBusConnection connection_;
    bool registered_ = false;
};
