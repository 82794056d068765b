// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace vdm {

/**
 * One window per world. The first program started on a world holds it: a lock file and
 * a local server, both named from the user and the world's real path (nameFor). A later
 * start on the same world, by any path or link to it, finds the lock held, hands its
 * request over to the holder through the server and ends; the holder brings its window
 * to the front. Starts on different worlds never meet.
 *
 * A lock left by a program that was killed names a process that no longer runs and is
 * taken over; a socket file it left behind is removed before the new holder listens, so
 * neither ever blocks a start.
 *
 * The hand-over is one line each way, in ASCII: the later start sends "show", the holder
 * answers "shown" at once and raises its window as soon as it has one (raiseRequested).
 */
class WorldInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        Held,       // this program holds the world now
        HandedOver, // another program holds it and took the request
        Unanswered, // another program holds it but did not answer in time
    };

    explicit WorldInstance(QObject* parent = nullptr);
    ~WorldInstance() override;

    /**
     * "veldamar-map-<user id>-<16 hex digits of the hash of the folder's real path>", for
     * the world in `worldFolder` (empty: the working directory).
     */
    static QString nameFor(const QString& worldFolder);
    /** The folder the lock and the socket lie in: the user's runtime folder, else the temporary one. */
    static QString runtimeFolder();

    /**
     * Holds the world in `worldFolder`, or hands the request over to the program that
     * holds it. A holder that is still starting (its lock taken, its server not yet
     * listening) is waited for up to `wait`; so is its answer.
     */
    Claim claim(const QString& worldFolder, std::chrono::milliseconds wait = std::chrono::seconds(10));
    /** Lets the world go: the next start on it holds it. */
    void release();
    /**
     * Another program holds the world in `worldFolder` (not this one): it has been asked
     * to bring its window up, as a start on that world would. False when no other program
     * holds it, or its holder did not answer within `wait`.
     */
    bool shownElsewhere(const QString& worldFolder, std::chrono::milliseconds wait = std::chrono::seconds(3)) const;
    /** This program holds a world. */
    bool holds() const { return m_server != nullptr; }

    /**
     * The window can be raised from now on: requests that came before are passed on now,
     * later ones at once.
     */
    void setReady();

signals:
    /** Another start on this world asked for the window. */
    void raiseRequested();

private:
    bool listen(const QString& name);
    void accept();
    void answer(QLocalSocket* socket);
    static bool handOver(const QString& path, std::chrono::milliseconds wait);

    std::unique_ptr<QLockFile> m_lock;
    QString m_name; // of the world held
    QLocalServer* m_server = nullptr;
    bool m_ready = false;
    bool m_raisePending = false;
};

} // namespace vdm
