// SPDX-License-Identifier: MIT
#pragma once

#include "data/userdb.h"
#include "world/fileversion.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vdm {

/**
 * Writes "user.gdb" on a thread of its own, so a keystroke in a big world never waits
 * for the file. It keeps its own copy of what the file is made of (every location's
 * name, status and note, kept formatted as the file's bytes) and is told only what
 * changed, in batches; each write re-formats the changed places only and replaces the
 * file by the atomic rules (a temporary file, synced, renamed over the old one).
 *
 * One write is in flight at most; batches posted meanwhile wait and are written together
 * by the next one, so the newest state always wins and a burst of keystrokes costs one
 * write more, not one each. Before each write the file is compared with the version this
 * writer last knew: a file another program changed is not written over (the owner merges
 * it on its own thread and says which version the file then holds, see setVersion).
 */
class UserDataWriter {
public:
    /** One location's new status and note. */
    using Change = UserChange;

    /** What the writes since the last take() came to. */
    struct Outcome {
        std::uint64_t written = 0; // the last batch the file now holds; 0: none since
        FileVersion version;       // the file as that write left it
        bool otherChange = false;  // another program changed the file: nothing is written until setVersion
        QString error;             // the last write failed with this text (a later success clears it)
        QString rescuedAt;         // the rescue copy that holds what the file could not take; empty: none
    };

    /**
     * Starts the thread. `records` is what the file is to hold, `version` what it holds
     * now (unknown: it is not compared). `finished` runs on the writer's thread after each
     * write or refusal; it must only pass the news on (see take()).
     *
     * `rescue` is where the same bytes go while the file cannot be written (the user's
     * own folder for the world; empty: nowhere), so a kill in the middle of a failing
     * streak loses nothing; the first write that succeeds removes it again.
     * `rescueHeld`: a rescue copy of the owner's lies there already.
     */
    UserDataWriter(QString path, std::vector<UserRecord> records, FileVersion version, std::function<void()> finished,
                   QString rescue = {}, bool rescueHeld = false);
    /** Writes what is still waiting (unless another program's change holds it back), then stops. */
    ~UserDataWriter();
    UserDataWriter(const UserDataWriter&) = delete;
    UserDataWriter& operator=(const UserDataWriter&) = delete;

    const QString& path() const { return m_path; }
    /**
     * Queues a batch and returns its number, from 1 up. An empty batch makes sure the file
     * holds the writer's copy: it is written unless it is known to hold it already.
     */
    std::uint64_t post(std::vector<Change> changes);
    /** A rescue copy of this run's lies at the rescue path (or is being written there). */
    bool rescueHeld() const;
    /** Whether a write is in flight or batches wait for one. */
    bool busy() const;
    /** Blocks until nothing waits and no write is in flight (or writes are held back). */
    void waitIdle();
    /** The outcome since the last call; nothing when no write ended since. Never blocks. */
    std::optional<Outcome> take();
    /**
     * The file now holds `version`, written or merged by the owner, and `rescueHeld` says
     * whether a rescue copy is left; writes resume. Call only when idle.
     */
    void setVersion(const FileVersion& version, bool rescueHeld);

private:
    void run();
    /** After a write: `failed`, the same bytes go to the rescue copy; `inFile`, the copy goes. */
    void keepOrDropRescue(bool failed, bool inFile);

    const QString m_path;
    // The writer's thread only, after construction: the records until they are formatted.
    std::vector<UserRecord> m_records;
    UserDataText m_text;
    bool m_textInFile = false; // the file holds m_text as this writer wrote it (m_version's bytes)
    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // work arrived, or stop
    std::condition_variable m_idle; // a write ended
    std::vector<std::vector<Change>> m_waiting;
    std::uint64_t m_posted = 0;
    bool m_writing = false;
    bool m_heldBack = false;         // another program's change waits for the owner
    bool m_versionFromOwner = false; // setVersion: the file holds the owner's bytes
    bool m_stop = false;
    FileVersion m_version;
    const QString m_rescue;
    bool m_rescueHeld; // the rescue copy holds data of this run (the writer's thread and setVersion)
    bool m_rescuing = false;
    std::optional<Outcome> m_outcome;
    std::function<void()> m_finished;
    std::thread m_thread;
};

} // namespace vdm
