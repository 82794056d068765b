// SPDX-License-Identifier: MIT
#include "app/typingpause.h"

#include "dialogs/errorguard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScopeGuard>
#include <QWidget>

namespace vdm {

TypingPause::TypingPause(QWidget& window, Prompts& prompts) : QObject(&window), m_window(window), m_prompts(prompts)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { showWaiting(); });
    QCoreApplication::instance()->installEventFilter(this);
}

void TypingPause::reportError(std::exception_ptr error)
{
    m_waiting.push_back(std::move(error));
    showWaiting();
}

void TypingPause::tellNotices()
{
    m_waiting.emplace_back();
    showWaiting();
}

void TypingPause::flush()
{
    m_timer.stop();
    while (!m_waiting.empty())
        showNext();
}

void TypingPause::showNext()
{
    const std::exception_ptr error = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (error)
        reportHandlerError(m_prompts, &m_window, error);
    else
        guarded(m_prompts, &m_window, [this] { emit noticesDue(); });
}

bool TypingPause::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod: // a composed character is typing too
        m_sinceKey.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TypingPause::showWaiting()
{
    if (m_showing)
        return; // the box open now runs the rest when it is answered
    m_showing = true;
    const auto done = qScopeGuard([this] { m_showing = false; });
    while (!m_waiting.empty()) {
        const auto rested = std::chrono::milliseconds(m_sinceKey.isValid() ? m_sinceKey.elapsed() : kPause.count());
        if (rested < kPause) {
            m_timer.start(kPause - rested);
            return;
        }
        // The key that answers this box makes the next one wait for a pause of its own.
        showNext();
    }
}

} // namespace vdm
