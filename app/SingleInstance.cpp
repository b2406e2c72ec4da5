#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "base/DebugOutput.h"
#include "settings/UserDataFolder.h"

namespace tavrel {

namespace {

constexpr int kConnectWait = 1000;  // ms; a live instance answers at once
constexpr qint64 kMaxRequest = 64 * 1024;
// A start that finds the lock held asks this often, this many times, for the holder to listen.
constexpr int kListenPoll = 20;  // ms
constexpr int kListenPolls = 250;
constexpr int kBusyPoll = 100;  // ms between looks at whether the user's box or menu has gone

// The address of a socket file; false when the path is too long for one.
bool AddressOf(const QString& path, sockaddr_un* address) {
    const QByteArray bytes = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

int LocalSocket(int flags = 0) {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
}

bool SendAll(int socket, const QByteArray& bytes) {
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

}  // namespace

CSingleInstance::CSingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

CSingleInstance::~CSingleInstance() {
    StopListening();  // before the lock goes
    if (lockFile_ >= 0) ::close(lockFile_);
}

QString CSingleInstance::SocketPath() const {
    return QDir::isAbsolutePath(name_) ? name_ : QString();
}

QString CSingleInstance::DefaultName() {
    const QByteArray data = QByteArray::fromStdString(UserDataFolder());
    const QString hash = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(12);
    // Never a bare name in the shared temporary folder: others could take it there.
    const QString folder = QString::fromStdString(UserRuntimeFolder());
    return folder.isEmpty() ? QString() : QDir(folder).filePath("tavrel-" + hash);
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
    DebugOutput("CSingleInstance: the running instance does not answer\n");
    return false;
}

bool CSingleInstance::Listen() {
    if (!StartListening()) {
        // Nobody answered and the lock is ours (or there is none to be had): the socket is a
        // leftover of an instance that was killed.
        ::unlink(QFile::encodeName(SocketPath()).constData());
        StartListening();  // or run alone rather than not at all
    }
    return true;
}

bool CSingleInstance::StartListening() {
    const QString path = SocketPath();
    sockaddr_un address;
    if (!AddressOf(path, &address)) return false;
    const int socket = LocalSocket(SOCK_NONBLOCK);
    if (socket < 0) return false;
    // Only this user may ask anything of the running instance.
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return false;
    }
    if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(socket, SOMAXCONN) != 0) {
        ::unlink(address.sun_path);
        ::close(socket);
        return false;
    }
    listener_ = socket;
    accepting_ = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(accepting_, &QSocketNotifier::activated, this, &CSingleInstance::AcceptRequests);
    return true;
}

void CSingleInstance::StopListening() {
    if (listener_ < 0) return;
    delete accepting_;
    accepting_ = nullptr;
    ::close(listener_);
    listener_ = -1;
    ::unlink(QFile::encodeName(SocketPath()).constData());
}

CSingleInstance::Lock CSingleInstance::TakeLock() {
    if (!QDir::isAbsolutePath(name_)) return Lock::Unavailable;  // no folder of ours to put it in
    const QString path = name_ + ".lock";
    lockFile_ = ::open(QFile::encodeName(path).constData(),
                       O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat info;
    if (lockFile_ < 0 || ::fstat(lockFile_, &info) != 0 || info.st_uid != ::getuid()) {
        DebugOutput("CSingleInstance: no lock at " + path.toStdString() + "\n");
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
    sockaddr_un address;
    if (!AddressOf(SocketPath(), &address)) return false;
    const int socket = LocalSocket();
    if (socket < 0) return false;
    // A live instance answers at once; a full queue is waited for this long at most.
    const timeval wait{kConnectWait / 1000, (kConnectWait % 1000) * 1000};
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    int connected;
    do {
        connected = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) {
        ::close(socket);
        return false;
    }
    const QByteArray request =
        (file.isEmpty() ? QString("raise\n") : "open\t" + file + "\n").toUtf8();
    SendAll(socket, request);
    ::close(socket);
    return true;
}

void CSingleInstance::AcceptRequests() {
    int connection;
    while ((connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >=
           0) {
        auto* reading = new QSocketNotifier(connection, QSocketNotifier::Read, this);
        connect(reading, &QSocketNotifier::activated, this,
                [this, reading, connection, received = QByteArray()]() mutable {
                    QString line;
                    if (ReadRequest(connection, received, line)) return;
                    // Done with before the request is acted on: nothing below runs inside
                    // this notifier's handler.
                    reading->setEnabled(false);
                    reading->deleteLater();
                    ::close(connection);
                    if (!line.isNull()) Queue(line);
                });
    }
}

bool CSingleInstance::ReadRequest(int connection, QByteArray& received, QString& line) {
    char chunk[4096];
    ssize_t n;
    while ((n = ::recv(connection, chunk, sizeof chunk, 0)) > 0) {
        received.append(chunk, n);
        const qsizetype end = received.indexOf('\n');
        if (end >= 0) {
            line = QString::fromUtf8(received.left(end));
            return false;
        }
        if (received.size() > kMaxRequest) return false;
    }
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

void CSingleInstance::Queue(const QString& line) {
    waiting_ << line;
    QMetaObject::invokeMethod(this, &CSingleInstance::HandOverNext, Qt::QueuedConnection);
}

void CSingleInstance::HandOverNext() {
    // One under way (its question's event loop turns) takes the next when it is done.
    if (handingOver_ || waiting_.isEmpty()) return;
    if (UserIsBusy()) {
        QTimer::singleShot(kBusyPoll, this, &CSingleInstance::HandOverNext);
        return;
    }
    const QString line = waiting_.takeFirst();
    handingOver_ = true;
    const QPointer<CSingleInstance> alive(this);
    emit raiseRequested();
    if (alive && line.startsWith("open\t")) emit openRequested(line.mid(5));
    if (!alive) return;
    handingOver_ = false;
    if (!waiting_.isEmpty())
        QMetaObject::invokeMethod(this, &CSingleInstance::HandOverNext, Qt::QueuedConnection);
}

bool CSingleInstance::UserIsBusy() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    return QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

}  // namespace tavrel
