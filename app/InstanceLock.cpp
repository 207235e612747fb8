#include "InstanceLock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

QString MutexPath(const QString& folder)
{
    return folder + QLatin1Char('/') + QLatin1String(kInstanceMutexName);
}

QString MessagePrefix()
{
    return QLatin1String(kInstanceMessageName) + QLatin1Char('-');
}

// A socket left behind by a process that no longer exists.
bool IsStaleSocket(const QString& fileName)
{
#ifdef Q_OS_UNIX
    bool ok = false;
    const qint64 pid = fileName.mid(MessagePrefix().size()).toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
#else
    Q_UNUSED(fileName);
    return false;
#endif
}

} // namespace

QString InstanceFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    return folder;
}

TInstanceMutex::TInstanceMutex(const QString& folder)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(MutexPath(folder));
    FHandle = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FHandle < 0)
        return;
    // A checker holds the lock exclusively only for an instant; try a few times rather than
    // block, since the program never waits on this lock.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::flock(FHandle, LOCK_SH | LOCK_NB) == 0)
            return;
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        QThread::msleep(2);
    }
    ::close(FHandle);
    FHandle = -1;
#else
    Q_UNUSED(folder);
#endif
}

TInstanceMutex::~TInstanceMutex()
{
#ifdef Q_OS_UNIX
    if (FHandle >= 0)
        ::close(FHandle);
#endif
}

bool IsInstanceRunning(const QString& folder)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(MutexPath(folder));
    const int handle = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        return false;
    bool running = false;
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0)
        running = errno == EWOULDBLOCK;
    ::close(handle);
    return running;
#else
    Q_UNUSED(folder);
    return false;
#endif
}

TInstanceMessageServer::TInstanceMessageServer(const QString& folder, QObject* parent)
    : QObject(parent), FFolder(folder), FServer(std::make_unique<QLocalServer>())
{
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer.get(), &QLocalServer::newConnection, this, &TInstanceMessageServer::Accept);
}

TInstanceMessageServer::~TInstanceMessageServer()
{
    // Closing the server removes its socket file and drops the connections of senders that
    // wait for this instance to end.
    FServer->close();
}

QString TInstanceMessageServer::FullServerName() const
{
    return FFolder + QLatin1Char('/') + MessagePrefix() + QString::number(QCoreApplication::applicationPid());
}

bool TInstanceMessageServer::Listen()
{
    const QString name = FullServerName();
    // A socket of a former process that had the same process id.
    QLocalServer::removeServer(name);
    return FServer->listen(name);
}

void TInstanceMessageServer::Accept()
{
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            Read(socket);
    }
}

void TInstanceMessageServer::Read(QLocalSocket* socket)
{
    while (socket->bytesAvailable() >= qint64(sizeof(quint32))) {
        const QByteArray bytes = socket->read(sizeof(quint32));
        const quint32 wParam = qFromLittleEndian<quint32>(bytes.constData());
        // The connection of a quit request stays open until this instance ends, so that the
        // sender can wait for it.
        if (wParam != kMessageQuit)
            socket->disconnectFromServer();
        Q_EMIT MessageReceived(wParam);
    }
}

TSendResult SendInstanceMessage(quint32 wParam, int waitMs, const QString& folder)
{
    TSendResult result;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({MessagePrefix() + QLatin1Char('*')}, QDir::System | QDir::Files | QDir::Hidden, QDir::Name);
    std::vector<std::unique_ptr<QLocalSocket>> waiting;
    for (const QString& name : names) {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(dir.filePath(name));
        if (!socket->waitForConnected(1000)) {
            if (IsStaleSocket(name))
                QFile::remove(dir.filePath(name));
            continue;
        }
        char bytes[sizeof(quint32)];
        qToLittleEndian(wParam, bytes);
        socket->write(bytes, sizeof(bytes));
        if (!socket->waitForBytesWritten(1000))
            continue;
        ++result.Reached;
        if (wParam == kMessageQuit)
            waiting.push_back(std::move(socket));
        else
            socket->disconnectFromServer();
    }
    const QDeadlineTimer deadline(waitMs);
    for (const auto& socket : waiting) {
        if (socket->state() == QLocalSocket::UnconnectedState ||
            socket->waitForDisconnected(int(std::max<qint64>(0, deadline.remainingTime()))))
            ++result.Ended;
    }
    return result;
}
