#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;

// How other programs (installers) find running instances and ask them to end: every
// instance holds a shared lock on one file (the "MorvexToolsMutex") for its whole life, and
// listens on a local socket "MorvexToolsMessage-<pid>" for the 32-bit message whose value 1
// ends it. Both live in the user's runtime folder.

inline constexpr const char* kInstanceMutexName = "MorvexToolsMutex";
inline constexpr const char* kInstanceMessageName = "MorvexToolsMessage";
// The message value that ends an instance.
inline constexpr quint32 kMessageQuit = 1;

// The user's runtime folder, where the lock file and the sockets live.
QString InstanceFolder();

// Held by every instance from start to end; nobody ever waits on it.
class TInstanceMutex
{
public:
    explicit TInstanceMutex(const QString& folder = InstanceFolder());
    ~TInstanceMutex();
    TInstanceMutex(const TInstanceMutex&) = delete;
    TInstanceMutex& operator=(const TInstanceMutex&) = delete;

    bool Held() const { return FHandle >= 0; }

private:
    int FHandle = -1;
};

// Whether any process holds the instance mutex in that folder.
bool IsInstanceRunning(const QString& folder = InstanceFolder());

// The receiving end of the message: one per instance.
class TInstanceMessageServer : public QObject
{
    Q_OBJECT

public:
    explicit TInstanceMessageServer(const QString& folder = InstanceFolder(), QObject* parent = nullptr);
    ~TInstanceMessageServer() override;

    // Starts listening; false when the socket cannot be created (the instance then simply
    // cannot be reached).
    bool Listen();
    QString FullServerName() const;

Q_SIGNALS:
    void MessageReceived(quint32 wParam);

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QString FFolder;
    std::unique_ptr<QLocalServer> FServer;
};

struct TSendResult
{
    // Instances the message was delivered to.
    int Reached = 0;
    // Of those, the ones that ended within the wait (only counted for kMessageQuit).
    int Ended = 0;
};

// Sends wParam to every instance listening in the folder. For kMessageQuit it waits up to
// waitMs for each reached instance to end (its connection closes when the process ends).
TSendResult SendInstanceMessage(quint32 wParam, int waitMs, const QString& folder = InstanceFolder());
