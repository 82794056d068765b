// SPDX-License-Identifier: MIT
#include "session/worldinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace vdm {
namespace {

const QByteArray kRequest = QByteArrayLiteral("show\n");
const QByteArray kAnswer = QByteArrayLiteral("shown\n");
// A line longer than this is no request of ours.
constexpr qint64 kLongestLine = 64;

QString pathIn(const QString& name)
{
    return QDir(WorldInstance::runtimeFolder()).filePath(name);
}

} // namespace

WorldInstance::WorldInstance(QObject* parent) : QObject(parent)
{}

WorldInstance::~WorldInstance()
{
    release();
}

QString WorldInstance::nameFor(const QString& worldFolder)
{
    const QFileInfo info(worldFolder.isEmpty() ? QDir::currentPath() : worldFolder);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = info.absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("veldamar-map-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

QString WorldInstance::runtimeFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

WorldInstance::Claim WorldInstance::claim(const QString& worldFolder, std::chrono::milliseconds wait)
{
    release();
    const QString name = nameFor(worldFolder);
    auto lock = std::make_unique<QLockFile>(pathIn(name + QStringLiteral(".lock")));
    // Never stale by age: a lock is stale only when its process is gone, which QLockFile
    // finds out itself (process id and host name are in the file).
    lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(wait);
    for (;;) {
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_name = name;
            if (!listen(name))
                qWarning("veldamar-map: the world's socket could not be made; later starts open their own window");
            return Claim::Held;
        }
        if (lock->error() != QLockFile::LockFailedError) {
            // No lock can be made at all (no runtime folder): every start keeps its own window.
            return Claim::Held;
        }
        if (handOver(pathIn(name), std::chrono::milliseconds(deadline.remainingTime())))
            return Claim::HandedOver;
        if (deadline.hasExpired())
            return Claim::Unanswered;
        // The holder is still starting, or has just ended: look again shortly.
        QThread::msleep(50);
    }
}

void WorldInstance::release()
{
    delete m_server;
    m_server = nullptr;
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
    m_name.clear();
    m_raisePending = false;
}

bool WorldInstance::shownElsewhere(const QString& worldFolder, std::chrono::milliseconds wait) const
{
    const QString name = nameFor(worldFolder);
    if (name == m_name)
        return false;
    QLockFile lock(pathIn(name + QStringLiteral(".lock")));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0) || lock.error() != QLockFile::LockFailedError)
        return false; // no one holds it (the lock goes again as `lock` does)
    return handOver(pathIn(name), wait);
}

void WorldInstance::setReady()
{
    m_ready = true;
    if (std::exchange(m_raisePending, false))
        emit raiseRequested();
}

bool WorldInstance::listen(const QString& name)
{
    const QString path = pathIn(name);
    // Holding the lock, nothing else listens there: a socket file is a killed holder's.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &WorldInstance::accept);
    if (m_server->listen(path))
        return true;
    delete m_server;
    m_server = nullptr;
    return false;
}

void WorldInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        answer(socket); // the line may be there already
    }
}

void WorldInstance::answer(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestLine)
            socket->disconnectFromServer();
        return;
    }
    const QByteArray line = socket->readLine(kLongestLine);
    if (line != kRequest) {
        socket->disconnectFromServer();
        return;
    }
    socket->write(kAnswer);
    socket->flush();
    socket->disconnectFromServer();
    if (m_ready)
        emit raiseRequested();
    else
        m_raisePending = true;
}

bool WorldInstance::handOver(const QString& path, std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 0))))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0))))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 0))))
            return false;
    }
    return socket.readLine(kLongestLine) == kAnswer;
}

} // namespace vdm
