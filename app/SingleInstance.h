#pragma once
// One running editor per user and data folder. The first instance listens on a local socket;
// a later start finds it there, asks it to come to the front (and to open the file named on
// the later start's command line) and ends. The socket dies with its process: a socket file
// left behind by a killed instance answers no one and is replaced.
#include <QObject>
#include <QString>

class QLocalServer;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(QString name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket name for the current user's data folder.
    static QString DefaultName();

    // True when this process is now the running instance. False when another one runs: it
    // has been told to come forward and to open file (when given).
    bool Acquire(const QString& file = QString());

signals:
    void raiseRequested();
    void openRequested(const QString& file);

private:
    bool TellRunningInstance(const QString& file);
    void ReadRequest();

    QString name_;
    QLocalServer* server_ = nullptr;
};
