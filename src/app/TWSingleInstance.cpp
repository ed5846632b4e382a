#include "TWSingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <QVariantMap>

#include "Log.h"

namespace {
constexpr int kCallTimeoutMs = 10000;
}

// org.freedesktop.Application as the desktop and other instances call it.
class TWApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit TWApplicationAdaptor(TWSingleInstance* owner) : QDBusAbstractAdaptor(owner), owner_(owner) {}

public slots:
    void Activate(const QVariantMap&) { emit owner_->activateRequested(); }
    void Open(const QStringList& uris, const QVariantMap&) {
        emit owner_->openRequested(TWSingleInstance::pathsFromUris(uris));
    }
    void ActivateAction(const QString&, const QVariantList&, const QVariantMap&) { emit owner_->activateRequested(); }

private:
    TWSingleInstance* owner_;
};

TWSingleInstance::TWSingleInstance(const QDBusConnection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    new TWApplicationAdaptor(this);
}

TWSingleInstance::~TWSingleInstance() {
    if (!registered_) return;
    connection_.unregisterObject(QString::fromLatin1(kObjectPath));
    connection_.unregisterService(QString::fromLatin1(kServiceName));
}

TWSingleInstance::Role TWSingleInstance::start(const QStringList& folders) {
    if (!connection_.isConnected()) {
        tw::log("no session bus: this window will not take folders from later launches");
        return Role::standalone;
    }
    // The object first, so that a caller that sees the name finds it answering.
    if (!connection_.registerObject(QString::fromLatin1(kObjectPath), this)) return Role::standalone;
    QDBusConnectionInterface* bus = connection_.interface();
    auto reply = bus->registerService(QString::fromLatin1(kServiceName), QDBusConnectionInterface::DontQueueService,
                                      QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        registered_ = true;
        return Role::primary;
    }
    connection_.unregisterObject(QString::fromLatin1(kObjectPath));
    if (forward(folders)) return Role::forwarded;
    tw::log("the running Twinsift did not answer; opening a window of this process");
    return Role::standalone;
}

bool TWSingleInstance::forward(const QStringList& folders) {
    QDBusMessage call;
    const QVariantMap platformData;
    if (folders.isEmpty()) {
        call = QDBusMessage::createMethodCall(QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath),
                                              QString::fromLatin1(kInterface), QStringLiteral("Activate"));
        call << platformData;
    } else {
        QStringList uris;
        for (const QString& folder : folders) uris << QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded);
        call = QDBusMessage::createMethodCall(QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath),
                                              QString::fromLatin1(kInterface), QStringLiteral("Open"));
        call << uris << platformData;
    }
    const QDBusMessage answer = connection_.call(call, QDBus::Block, kCallTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        tw::log("cannot hand the folders to the running Twinsift: %s", qPrintable(answer.errorMessage()));
        return false;
    }
    return true;
}

QStringList TWSingleInstance::pathsFromUris(const QStringList& uris) {
    QStringList paths;
    for (const QString& uri : uris) {
        const QUrl url(uri);
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

#include "TWSingleInstance.moc"
