#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include "base/DebugOutput.h"
#include "settings/UserDataFolder.h"

namespace {

constexpr int kConnectWait = 1000;  // ms; a live instance answers at once
constexpr qint64 kMaxRequest = 64 * 1024;
// A start that finds the lock held asks this often, this many times, for the holder to listen.
constexpr int kListenPoll = 20;  // ms
constexpr int kListenPolls = 250;

}  // namespace

CSingleInstance::CSingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

CSingleInstance::~CSingleInstance() {
    delete server_;  // stops listening before the lock goes
    if (lockFile_ >= 0) ::close(lockFile_);
}

QString CSingleInstance::DefaultName() {
    const QByteArray data = QByteArray::fromStdString(tavrel::UserDataFolder());
    const QString hash = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(12);
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        // Not the shared temporary folder itself: others could take the name there.
        folder = QString::fromStdString(tavrel::UserTempFolder(QDir::tempPath().toStdString()));
    }
    const QString name = "tavrel-" + hash;
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

bool CSingleInstance::Acquire(const QString& file) {
    // The lock's holder may not listen yet: it is asked again until it does, or until it is
    // gone and the lock is free.
    for (int i = 0; i < kListenPolls; ++i) {
        if (TellRunningInstance(file)) return false;
        if (TakeLock() != Lock::HeldElsewhere) return Listen();
        QThread::msleep(kListenPoll);
    }
    // It runs all the same: this start ends.
    tavrel::DebugOutput("CSingleInstance: the running instance does not answer\n");
    return false;
}

bool CSingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered and the lock is ours (or there is none to be had): the socket is a
        // leftover of an instance that was killed.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return true;  // run alone rather than not at all
    }
    connect(server_, &QLocalServer::newConnection, this, &CSingleInstance::ReadRequest);
    return true;
}

CSingleInstance::Lock CSingleInstance::TakeLock() {
    if (!QDir::isAbsolutePath(name_)) return Lock::Unavailable;  // no folder of ours to put it in
    const QString path = name_ + ".lock";
    lockFile_ = ::open(QFile::encodeName(path).constData(),
                       O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat info;
    if (lockFile_ < 0 || ::fstat(lockFile_, &info) != 0 || info.st_uid != ::getuid()) {
        tavrel::DebugOutput("CSingleInstance: no lock at " + path.toStdString() + "\n");
        if (lockFile_ >= 0) ::close(lockFile_);
        lockFile_ = -1;
        return Lock::Unavailable;
    }
    if (::flock(lockFile_, LOCK_EX | LOCK_NB) == 0) return Lock::Taken;
    ::close(lockFile_);
    lockFile_ = -1;
    return Lock::HeldElsewhere;
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
