// SPDX-License-Identifier: MIT
#include "session/shutdownsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vdm {
namespace {

// The pipe's ends; the handler reads only the write end, set before any handler is in place.
int g_readEnd = -1;
volatile sig_atomic_t g_writeEnd = -1;

extern "C" void onShutdownSignal(int signal)
{
    // Nothing but a write: the rest waits for the event loop.
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &number, 1);
    errno = saved;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent)
{
    if (g_readEnd >= 0)
        return; // another object handles them already
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], nullptr, &m_previous[i]) != 0 || m_previous[i].sa_handler == SIG_IGN)
            continue;
        m_handled[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

ShutdownSignals::~ShutdownSignals()
{
    if (!m_notifier)
        return;
    restore();
    delete m_notifier;
    ::close(g_readEnd);
    ::close(g_writeEnd);
    g_readEnd = -1;
    g_writeEnd = -1;
}

void ShutdownSignals::restore()
{
    for (size_t i = 0; i < kSignals.size(); ++i)
        if (m_handled[i])
            m_handled[i] = ::sigaction(kSignals[i], &m_previous[i], nullptr) != 0;
}

void ShutdownSignals::readPipe()
{
    unsigned char number = 0;
    int first = 0, second = 0;
    while (::read(g_readEnd, &number, 1) == 1) {
        if (first == 0)
            first = number;
        else if (second == 0)
            second = number;
    }
    if (first == 0 || m_received != 0)
        return;
    m_received = first;
    // The close may take a while (files are synced): a second signal must not wait for it.
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (!m_handled[i])
            continue;
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        ::sigaction(kSignals[i], &fallback, nullptr);
    }
    // Two came before the loop could look: the second ends the program as a later one would.
    if (second != 0)
        ::raise(second);
    emit closeRequested(first);
}

} // namespace vdm
