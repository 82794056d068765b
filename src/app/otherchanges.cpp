// SPDX-License-Identifier: MIT
#include "app/otherchanges.h"

#include "app/typingpause.h"
#include "app/userfilewatch.h"
#include "dialogs/errorguard.h"
#include "world/world.h"

#include <QWidget>

#include <utility>

namespace vdm {

template <class Step> void OtherChanges::toldAfterTyping(Step step) noexcept
{
    try {
        step(); // what it reads or takes is taken now; only its box waits
    } catch (...) {
        m_typing.reportError(std::current_exception());
    }
}

OtherChanges::OtherChanges(QWidget& window, World& world, Prompts& prompts, TypingPause& typing)
    : QObject(&window), m_window(window), m_world(world), m_prompts(prompts), m_typing(typing),
      m_watch(new UserFileWatch(this))
{
    connect(m_watch, &UserFileWatch::changed, this,
            [this] { toldAfterTyping([this] { m_world.readChangedUserFiles(); }); });
    // The connections stay with the place the world lives in, through every world opened there.
    const WorldEvents& events = world.events();
    // The editor follows renumbered markers by itself, at once; the rest waits for the
    // handler in progress to end.
    connect(&events, &WorldEvents::otherChangesTaken, this, [this] {
        if (std::exchange(m_queued, true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                guarded(m_prompts, &m_window, [this] {
                    if (std::exchange(m_queued, false) && !m_stopped)
                        emit taken();
                });
            },
            Qt::QueuedConnection);
    });
    // From the writer's thread: the window's thread takes the outcome (and a failure's box).
    connect(
        &events, &WorldEvents::userDataWritten, this, [this] { toldAfterTyping([this] { m_world.collectWrites(); }); },
        Qt::QueuedConnection);
}

void OtherChanges::watch()
{
    if (!m_stopped)
        m_watch->watch(m_world.settledUserFilePaths());
}

bool OtherChanges::stop()
{
    m_stopped = true;
    m_watch->watch({});
    return std::exchange(m_queued, false);
}

} // namespace vdm
