// SPDX-License-Identifier: MIT
#include "world/userdatawriter.h"

#include "data/atomicfile.h"
#include "data/errors.h"
#include "world/backupfile.h"

#include <exception>
#include <iterator>
#include <utility>

namespace vdm {

UserDataWriter::UserDataWriter(QString path, std::vector<UserRecord> records, FileVersion version,
                               std::function<void()> finished, QString rescue, bool rescueHeld)
    : m_path(std::move(path)), m_records(std::move(records)), m_version(std::move(version)),
      m_rescue(std::move(rescue)), m_rescueHeld(rescueHeld), m_finished(std::move(finished))
{
    m_thread = std::thread([this] { run(); });
}

UserDataWriter::~UserDataWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

std::uint64_t UserDataWriter::post(std::vector<Change> changes)
{
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(changes));
        number = ++m_posted;
    }
    m_wake.notify_all();
    return number;
}

bool UserDataWriter::busy() const
{
    const std::lock_guard lock(m_mutex);
    return m_writing || (!m_waiting.empty() && !m_heldBack);
}

void UserDataWriter::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_writing && (m_waiting.empty() || m_heldBack); });
}

std::optional<UserDataWriter::Outcome> UserDataWriter::take()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_outcome, std::nullopt);
}

void UserDataWriter::setVersion(const FileVersion& version, bool rescueHeld)
{
    {
        const std::lock_guard lock(m_mutex);
        m_version = version;
        m_rescueHeld = rescueHeld;
        m_versionFromOwner = true;
        m_heldBack = false;
    }
    m_wake.notify_all();
}

bool UserDataWriter::rescueHeld() const
{
    const std::lock_guard lock(m_mutex);
    return m_rescueHeld || m_rescuing;
}

void UserDataWriter::keepOrDropRescue(bool failed, bool inFile)
{
    if (m_rescue.isEmpty())
        return;
    std::unique_lock lock(m_mutex);
    if (failed) {
        // Told held before the copy appears, so the owner never takes it for a stranger's.
        m_rescuing = true;
        const bool replacesOwn = m_rescueHeld;
        lock.unlock();
        bool kept = false;
        try {
            writeRescueCopy(m_rescue, m_text.bytes(), replacesOwn);
            kept = true;
        } catch (const Error&) {
            // Told as the file's own failure: there is nothing more to keep it in.
        }
        lock.lock();
        m_rescuing = false;
        m_rescueHeld = m_rescueHeld || kept;
    } else if (inFile && m_rescueHeld) {
        lock.unlock();
        removeRescueCopy(m_rescue);
        lock.lock();
        m_rescueHeld = false;
    }
}

void UserDataWriter::run()
{
    m_text = UserDataText(m_records);
    m_records = {};
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || (!m_waiting.empty() && !m_heldBack); });
        if (m_waiting.empty() || m_heldBack)
            break; // stopping, with nothing that may be written
        std::vector<std::vector<Change>> batches = std::exchange(m_waiting, {});
        const std::uint64_t upTo = m_posted;
        FileVersion version = m_version;
        if (std::exchange(m_versionFromOwner, false))
            m_textInFile = false; // the owner wrote or merged: its bytes, not this copy
        m_writing = true;
        lock.unlock();

        bool otherChange = false;
        QString error;
        // Whether the file held this copy, as this writer last wrote it, before these changes.
        const bool held = m_textInFile;
        FileVersion::Change met = FileVersion::Change::None;
        try {
            // Compared before the changes go in, against what this writer last wrote: another
            // program's change since is merged by the owner rather than replaced.
            met = held ? version.compareHeld(m_path, m_text.bytes()) : version.compare(m_path);
            otherChange = met == FileVersion::Change::Changed;
        } catch (...) {
            error = errorText(std::current_exception());
        }
        // The copy follows every batch, written now or not.
        std::vector<Change> changes;
        for (std::vector<Change>& batch : batches)
            std::move(batch.begin(), batch.end(), std::back_inserter(changes));
        const bool changed = m_text.apply(std::move(changes));
        if (changed || met != FileVersion::Change::None || !error.isEmpty())
            m_textInFile = false;
        if (error.isEmpty() && !otherChange && !m_textInFile) {
            try {
                // A file that held the copy before a change cannot hold it after: no need to
                // read it first to see whether the write would change anything. A deleted file
                // is written again.
                if (held && met == FileVersion::Change::None)
                    AtomicFile::replace(m_path, m_text.bytes());
                else
                    AtomicFile::write(m_path, m_text.bytes());
                version = FileVersion(stampOf(m_path), m_text.bytes());
                m_textInFile = true;
            } catch (...) {
                error = errorText(std::current_exception());
            }
        }
        keepOrDropRescue(!error.isEmpty(), !otherChange && m_textInFile);

        lock.lock();
        m_writing = false;
        if (!m_outcome)
            m_outcome = Outcome{}; // not emplace(): clang does not see Outcome as default-constructible there
        Outcome& outcome = *m_outcome;
        outcome.rescuedAt = m_rescueHeld ? m_rescue : QString();
        if (otherChange) {
            m_heldBack = true;
            outcome.otherChange = true;
        } else if (!error.isEmpty()) {
            outcome.error = error;
        } else {
            m_version = version;
            outcome.written = upTo;
            outcome.version = version;
            outcome.error.clear();
        }
        const std::function<void()> finished = m_finished;
        m_idle.notify_all();
        lock.unlock();
        if (finished)
            finished();
        lock.lock();
    }
}

} // namespace vdm
