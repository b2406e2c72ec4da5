#pragma once
// One running editor per user and data folder. The first instance listens on a local socket;
// a later start finds it there, asks it to come to the front (and to open the file named on
// the later start's command line) and ends. Only the holder of a lock beside the socket (a
// lock that dies with its process) listens or clears the name: a start that loses the race
// waits for the winner to listen instead of taking its name away. A socket file left behind by
// a killed instance answers no one and is replaced.
// A request is read whole and its connection closed before anything is done with it; the
// hand-overs then wait in a queue and are handled one at a time from the event loop, never
// inside another one (a hand-over that asks a question runs the question's event loop) nor
// under a box or a menu that the user has open: the project is not replaced under
// what they are in the middle of.
// The socket is a plain local stream socket (not the Qt network module's, which would load
// that module and the network libraries it pulls in, some 2 MB, for this alone).
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

namespace tavrel {

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(QString name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket name for the current user's data folder, in the user's runtime folder (or
    // their private temporary folder); empty when they have neither, and the editor then runs
    // alone.
    static QString DefaultName();

    // True when this process is now the running instance. False when another one runs: it
    // has been told to come forward and to open file (when given).
    bool Acquire(const QString& file = QString());

signals:
    void raiseRequested();
    void openRequested(const QString& file);

private:
    bool TellRunningInstance(const QString& file);
    enum class Lock { Taken, HeldElsewhere, Unavailable };
    // Takes the lock without waiting.
    Lock TakeLock();
    // Becomes the running instance: listens on the name.
    bool Listen();
    bool StartListening();
    void StopListening();
    // The socket's path; empty for a name without a folder (it would lie where others write).
    QString SocketPath() const;
    void AcceptRequests();
    // Reads what a requester sent; false once its connection is done with, with the request
    // in line when it sent a whole one.
    static bool ReadRequest(int connection, QByteArray& received, QString& line);
    void Queue(const QString& line);
    // Hands the first waiting request over, when nothing is under way.
    void HandOverNext();
    // A box or a menu is open: the user is in the middle of something.
    static bool UserIsBusy();

    QString name_;
    int listener_ = -1;
    QSocketNotifier* accepting_ = nullptr;
    int lockFile_ = -1;
    QStringList waiting_;  // requests read and not yet handed over
    bool handingOver_ = false;
};

}  // namespace tavrel
