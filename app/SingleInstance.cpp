#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include "settings/UserDataFolder.h"

namespace {

constexpr int kConnectWait = 1000;  // ms; a live instance answers at once
constexpr qint64 kMaxRequest = 64 * 1024;

}  // namespace

CSingleInstance::CSingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::DefaultName() {
    const QByteArray folder = QByteArray::fromStdString(tavrel::UserDataFolder());
    const QString hash =
        QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(12);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString name = "tavrel-" + hash;
    return runtime.isEmpty() || !QDir(runtime).exists() ? name : QDir(runtime).filePath(name);
}

bool CSingleInstance::Acquire(const QString& file) {
    if (TellRunningInstance(file)) return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered, so the socket is a leftover of an instance that was killed.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return true;  // run alone rather than not at all
    }
    connect(server_, &QLocalServer::newConnection, this, &CSingleInstance::ReadRequest);
    return true;
}

bool CSingleInstance::TellRunningInstance(const QString& file) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectWait)) return false;
    const QByteArray request =
        (file.isEmpty() ? QString("raise\n") : "open\t" + file + "\n").toUtf8();
    socket.write(request);
    socket.waitForBytesWritten(kConnectWait);
    socket.disconnectFromServer();
    return true;
}

void CSingleInstance::ReadRequest() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequest) socket->abort();
                return;
            }
            const QString line = QString::fromUtf8(socket->readLine(kMaxRequest)).chopped(1);
            emit raiseRequested();
            if (line.startsWith("open\t")) emit openRequested(line.mid(5));
        });
    }
}
