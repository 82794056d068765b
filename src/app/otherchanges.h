// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWidget;

namespace vdm {

class Prompts;
class TypingPause;
class UserFileWatch;
class World;

/**
 * Another program's hand in the world's user files, as the window follows it: the files
 * are watched and, once a burst of writes has settled, read and merged; the changes a
 * merge took in are shown once, after the handler under way (a merge may come in the
 * middle of one); a background write's outcome is collected on the window's thread,
 * where a failure's box belongs.
 */
class OtherChanges : public QObject {
    Q_OBJECT

public:
    /**
     * Its boxes and guarded handlers belong to `window`, which owns it; a failure comes of
     * no handler of the user's, so its box waits for a pause in `typing`.
     */
    OtherChanges(QWidget& window, World& world, Prompts& prompts, TypingPause& typing);

    /** Watches the world's user files as they now lie (the first show, another world). */
    void watch();
    /**
     * The window closes: nothing is watched or shown from now on. True when changes taken
     * in were still to be shown: their notices are the caller's to tell.
     */
    bool stop();

signals:
    /** A merge took another program's changes in: what shows the world follows. */
    void taken();

private:
    /** Runs `step`; its failure is told once the user's typing pauses. */
    template <class Step> void toldAfterTyping(Step step) noexcept;

    QWidget& m_window;
    World& m_world;
    Prompts& m_prompts;
    TypingPause& m_typing;
    UserFileWatch* m_watch;
    bool m_queued = false; // taken in, to be shown once the handler under way is done
    bool m_stopped = false;
};

} // namespace vdm
