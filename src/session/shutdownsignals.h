// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

namespace vdm {

/**
 * SIGTERM, SIGINT and SIGHUP as a request to end the run the way closing the window does
 * (a logout, `kill`, Ctrl+C on the terminal, the terminal going away). The handler only
 * writes the signal's number into a pipe; the event loop reads it and emits
 * closeRequested() once. From then on those signals take their default action again, so
 * a second one while the close is still writing ends the program at once. A signal the
 * program was started ignoring (nohup) stays ignored.
 *
 * One object at a time; the destructor puts back what was there before.
 */
class ShutdownSignals : public QObject {
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    /** The handlers are in place (the pipe could be made). */
    bool active() const { return m_notifier != nullptr; }
    /** The first signal's number; 0 while none came. */
    int received() const { return m_received; }

signals:
    void closeRequested(int signal);

private:
    void readPipe();
    /** Puts the actions from before back (the default one after the first signal). */
    void restore();

    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};
    std::array<struct sigaction, kSignals.size()> m_previous{};
    std::array<bool, kSignals.size()> m_handled{};
    QSocketNotifier* m_notifier = nullptr;
    int m_received = 0;
};

} // namespace vdm
