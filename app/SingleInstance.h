#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps the program to one running copy per user. The first copy listens on a local
// socket named after the program file and the user; a later copy finds it, asks it to
// bring its window forward, and is told to end. Sockets live in XDG_RUNTIME_DIR when
// it is set (a per-user, private folder), else in the temporary folder.
class TSingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit TSingleInstance(QObject *parent = nullptr);
    ~TSingleInstance() override;

    // The socket's full name for `programName` run by `userName`.
    static QString ServerName(const QString &programName, const QString &userName);
    // The name for this process: its executable file and the current user.
    static QString DefaultServerName();

    enum class TResult {
        First,          // this copy runs; another start will raise its window
        AnotherRunning, // a running copy was asked to raise its window
        Unavailable,    // no socket could be set up; start as if alone
    };

    // Looks for a running copy under `serverName`; claims the name when there is none.
    TResult Claim(const QString &serverName);

signals:
    // A second copy asked this one to show its window.
    void RaiseRequested();

private:
    void AcceptConnections();

    QLocalServer *FServer = nullptr;
};
