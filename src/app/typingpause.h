// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <exception>

class QWidget;

namespace vdm {

class Prompts;

/**
 * Boxes that come of typing wait for a pause in it. A box that opens under the user's
 * fingers takes the next key: a space or Enter meant for the note answers the box unread,
 * and that character never reaches the note. So what the window shows by itself while the
 * user types (a note's write that failed, the background writer's failure, another
 * program's changes told) waits until no key has been pressed or released for a moment,
 * then comes in the order it was asked for. Without typing it comes at once.
 */
class TypingPause : public QObject {
    Q_OBJECT

public:
    /** How long the keys must rest: longer than the gaps between the keys of a word. */
    static constexpr std::chrono::milliseconds kPause{1000};

    /** Watches every key of the application; the boxes belong to `window`, which owns it. */
    TypingPause(QWidget& window, Prompts& prompts);

    /** Shows `error` in the error box once the keys rest; at once when they do now. */
    void reportError(std::exception_ptr error);
    /** Emits noticesDue once the keys rest, in turn with the errors. */
    void tellNotices();
    /** Tells what waits, now: the window closes, and nothing may come after it. */
    void flush();

signals:
    /** The world's notices are to be told now. */
    void noticesDue();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /** Tells what waits when the keys rest, or looks again when they will have. */
    void showWaiting();
    /** Tells the first of what waits. */
    void showNext();

    QWidget& m_window;
    Prompts& m_prompts;
    QElapsedTimer m_sinceKey; // since the last key, invalid before the first one
    QTimer m_timer;
    std::deque<std::exception_ptr> m_waiting; // errors in turn; an empty one: the notices
    bool m_showing = false;                   // a box of what waited is open: the next one waits for it
};

} // namespace vdm
