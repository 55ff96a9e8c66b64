#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 1000;
const QByteArray kRaiseRequest = "raise\n";

QString CurrentUserName()
{
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::getuid());
}

// Socket names are file names here; a separator in either part would point elsewhere.
QString FileNamePart(QString text)
{
    text.replace(QLatin1Char('/'), QLatin1Char('_'));
    return text.isEmpty() ? QStringLiteral("_") : text;
}

} // namespace

TSingleInstance::TSingleInstance(QObject *parent) : QObject(parent) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerName(const QString &programName, const QString &userName)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return QDir(folder).filePath(FileNamePart(programName) + QLatin1Char('-') + FileNamePart(userName));
}

QString TSingleInstance::DefaultServerName()
{
    return ServerName(QFileInfo(QCoreApplication::applicationFilePath()).fileName(), CurrentUserName());
}

TSingleInstance::TResult TSingleInstance::Claim(const QString &serverName)
{
    // Two copies started at the same moment must not both see "nobody there" and then
    // take the name from each other; the lock orders them.
    QLockFile lock(serverName + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    const bool locked = lock.tryLock(5000);

    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(kConnectTimeoutMs)) {
        probe.write(kRaiseRequest);
        probe.waitForBytesWritten(kConnectTimeoutMs);
        probe.disconnectFromServer();
        return TResult::AnotherRunning;
    }

    // Nobody answers: a socket file left by a crashed copy would block listening.
    QLocalServer::removeServer(serverName);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName)) {
        delete server;
        return TResult::Unavailable;
    }
    FServer = server;
    connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::AcceptConnections);
    if (locked)
        lock.unlock();
    return TResult::First;
}

void TSingleInstance::AcceptConnections()
{
    while (QLocalSocket *client = FServer->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (client->readAll().contains(kRaiseRequest.trimmed()))
                emit RaiseRequested();
        });
    }
}
