// SPDX-License-Identifier: MIT
#include "data/userdb.h"

#include "data/errors.h"
#include "data/linereader.h"
#include "data/mappedfile.h"
#include "data/releasebehind.h"
#include "data/textarena.h"
#include "data/textconv.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace vdm {
namespace {

constexpr qsizetype kStatusColumn = 12;   // 0-based: the 13th character
constexpr qsizetype kNoteLabelWidth = 10; // "   note = "

// The fixed texts of a block, whose lengths place its status digit and note.
constexpr qsizetype kBeforeName = 13;      // "loc\r\n   nm = "
constexpr qsizetype kNameToDigit = 14;     // "\r\n   status = "
constexpr qsizetype kDigitToNote = 1 + 12; // the digit, "\r\n   note = "
constexpr qsizetype kAfterNote = 7;        // "\r\nend\r\n"
constexpr qsizetype kFixedBlock
    = kBeforeName + kNameToDigit + kDigitToNote + kAfterNote; // every byte but the two texts

/**
 * Up to this many changed places are written into the bytes where they stand, moving
 * what follows each; more are copied into new bytes in one pass.
 */
constexpr std::size_t kChangesInPlace = 4;

/** The status as the file holds it: one digit; any other value counts as no status anyway. */
char statusDigit(std::int32_t status)
{
    return status >= 0 && status <= 9 ? char('0' + status) : '0';
}

/** True for the bytes a one-line text must not hold: a stray line break would split its block. */
bool breaksLine(char c)
{
    return c == '\n' || c == '\r';
}

const QByteArray& nameOf(const Location& l)
{
    return l.Name;
}
const QByteArray& nameOf(const UserRecord& r)
{
    return r.name;
}
const QByteArray& noteOf(const Location& l)
{
    return l.Note;
}
const QByteArray& noteOf(const UserRecord& r)
{
    return r.note;
}
std::int32_t statusOf(const Location& l)
{
    return l.Status;
}
std::int32_t statusOf(const UserRecord& r)
{
    return r.status;
}

/**
 * The file, block by block, as pieces handed to `sink`: fixed texts, the status digit,
 * and the name and note kept to one line. Stops at the first piece the sink refuses.
 */
template <typename Records, typename Sink> bool formatUserData(const Records& records, Sink& sink)
{
    for (const auto& record : records) {
        const QByteArray& name = nameOf(record);
        const QByteArray& note = noteOf(record);
        sink.makeRoom(name.size() + note.size());
        if (!sink.text("loc\r\n   nm = ") || !sink.oneLine(name) || !sink.text("\r\n   status = ")
            || !sink.digit(statusDigit(statusOf(record))) || !sink.text("\r\n   note = ") || !sink.oneLine(note)
            || !sink.text("\r\nend\r\n"))
            return false;
    }
    return true;
}

/**
 * Writes the file into a buffer that grows ahead of each block: one pass over the list,
 * whose records are far apart in memory, instead of one to measure and one to write.
 */
class Write {
public:
    /**
     * Starts with room for blocks whose name and note take 32 bytes together; `starts`,
     * when given, receives where each block begins.
     */
    explicit Write(std::size_t count, std::vector<qsizetype>* starts = nullptr) : m_starts(starts)
    {
        m_out.resize(qsizetype(count) * (kFixedBlock + 32));
        m_p = m_out.data();
        if (m_starts)
            m_starts->reserve(count);
    }

    template <std::size_t N> bool text(const char (&s)[N])
    {
        std::memcpy(m_p, s, N - 1);
        m_p += N - 1;
        return true;
    }
    bool digit(char c)
    {
        *m_p++ = c;
        return true;
    }
    bool oneLine(const QByteArray& t)
    {
        const char* from = t.constData();
        for (qsizetype i = 0; i < t.size(); ++i)
            m_p[i] = breaksLine(from[i]) ? ' ' : from[i];
        m_p += t.size();
        return true;
    }
    /** Room for a block whose two texts take `texts` bytes. */
    void makeRoom(qsizetype texts)
    {
        const qsizetype need = kFixedBlock + texts;
        const qsizetype used = m_p - m_out.data();
        if (m_starts)
            m_starts->push_back(used);
        if (m_out.size() - used >= need)
            return;
        m_out.resize(std::max(m_out.size() + m_out.size() / 2, used + need));
        m_p = m_out.data() + used;
    }
    QByteArray take()
    {
        m_out.truncate(m_p - m_out.data());
        return std::move(m_out);
    }

private:
    QByteArray m_out;
    char* m_p = nullptr;
    std::vector<qsizetype>* m_starts;
};

/** Compares the file with stored bytes as it goes, refusing at the first difference. */
struct Compare {
    const char* p;
    const char* end;
    template <std::size_t N> bool text(const char (&s)[N])
    {
        if (end - p < qsizetype(N - 1) || std::memcmp(p, s, N - 1) != 0)
            return false;
        p += N - 1;
        return true;
    }
    bool digit(char c) { return p < end && *p++ == c; }
    void makeRoom(qsizetype) {}
    bool oneLine(const QByteArray& t)
    {
        if (end - p < t.size())
            return false;
        const char* from = t.constData();
        for (qsizetype i = 0; i < t.size(); ++i)
            if (p[i] != (breaksLine(from[i]) ? ' ' : from[i]))
                return false;
        p += t.size();
        return true;
    }
};

/**
 * The blocks read into `locations`; with `check`, the check that the writer gives the
 * bytes back runs alongside, each place compared as soon as its block is read, so that
 * with `release` nothing behind both of them is looked at again.
 */
std::size_t readBlocks(const QByteArray& bytes, LocationList& locations, bool* check, ReleaseBehind* release)
{
    LineReader reader(bytes, LineReader::NoLimit);
    TextArena notes; // no allocation per note
    Compare compare{bytes.constData(), bytes.constData() + bytes.size()};
    bool same = check != nullptr;
    std::size_t k = 0;
    while (reader.skipToHeader("loc")) {
        if (release)
            release->passed(same ? std::min(reader.position(), qsizetype(compare.p - bytes.constData()))
                                 : reader.position());
        if (k >= locations.size())
            throwListIndexError(qsizetype(k));
        Location& location = locations[k];

        reader.read(); // the name line, never compared
        const QByteArrayView status = reader.read().text;
        if (status.size() <= kStatusColumn)
            throwConvertError(status);
        location.Status = StrToInt(status.sliced(kStatusColumn, 1));

        const QByteArrayView note = reader.read().text;
        location.Note = note.size() > kNoteLabelWidth ? notes.copy(Trim(note.sliced(kNoteLabelWidth))) : QByteArray();

        reader.read(); // the end line, whatever it holds
        // No block changes a place before it: this place is as the whole read leaves it.
        same = same && formatUserData(std::span(&location, 1), compare);
        ++k;
    }
    if (check) {
        // The places no block reached are written too, and the bytes must end with them.
        *check = same && formatUserData(std::span(locations).subspan(k), compare) && compare.p == compare.end;
    }
    return k;
}

} // namespace

std::size_t readUserData(const QByteArray& bytes, LocationList& locations)
{
    return readBlocks(bytes, locations, nullptr, nullptr);
}

std::size_t readUserData(QByteArray&& bytes, LocationList& locations, bool* writesBack)
{
    // Neither pass ever reads behind the reader's position, so the pages may go as it passes.
    return ReleaseBehind::readTaken(std::move(bytes),
                                    [&locations, writesBack](const QByteArray& owned, ReleaseBehind* release) {
                                        return readBlocks(owned, locations, writesBack, release);
                                    });
}

std::size_t readUserData(const MappedFile& file, LocationList& locations, bool* writesBack)
{
    if (!file.mapped())
        return readBlocks(file.bytes(), locations, writesBack, nullptr);
    // Pages given back are read again from the file, should anything look behind.
    ReleaseBehind release(const_cast<char*>(file.bytes().constData()));
    return readBlocks(file.bytes(), locations, writesBack, &release);
}

QByteArray writeUserData(const LocationList& locations)
{
    Write write(locations.size());
    formatUserData(locations, write);
    return write.take();
}

QByteArray writeUserRecords(const std::vector<UserRecord>& records)
{
    Write write(records.size());
    formatUserData(records, write);
    return write.take();
}

UserDataText::UserDataText(const std::vector<UserRecord>& records)
{
    Write write(records.size(), &m_starts);
    formatUserData(records, write);
    m_bytes = write.take();
}

qsizetype UserDataText::endOf(std::size_t index) const
{
    return index + 1 < m_starts.size() ? m_starts[index + 1] : m_bytes.size();
}

std::pair<qsizetype, qsizetype> UserDataText::noteOf(std::size_t index) const
{
    // The name holds no line break, so the first CR after its label ends it.
    const char* p = m_bytes.constData();
    const qsizetype nameStart = m_starts[index] + kBeforeName;
    const void* cr = std::memchr(p + nameStart, '\r', std::size_t(endOf(index) - nameStart));
    const qsizetype nameEnd = cr ? static_cast<const char*>(cr) - p : nameStart;
    return {nameEnd + kNameToDigit + kDigitToNote, endOf(index) - kAfterNote};
}

bool UserDataText::apply(std::vector<UserChange> changes)
{
    // The last change of each place, in the order of the places.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const UserChange& a, const UserChange& b) { return a.index < b.index; });
    std::vector<UserChange> last;
    for (std::size_t k = 0; k < changes.size(); ++k) {
        UserChange& c = changes[k];
        if (c.index < 0 || std::size_t(c.index) >= m_starts.size())
            continue;
        if (k + 1 < changes.size() && changes[k + 1].index == c.index)
            continue;
        for (char& ch : c.note)
            if (breaksLine(ch))
                ch = ' ';
        // A place whose bytes stay as they are is no change.
        const auto [from, to] = noteOf(std::size_t(c.index));
        const char digit = statusDigit(c.status);
        const char* stored = m_bytes.constData();
        if (stored[from - kDigitToNote] == digit && to - from == c.note.size()
            && std::memcmp(stored + from, c.note.constData(), std::size_t(c.note.size())) == 0)
            continue;
        last.push_back(std::move(c));
    }
    if (last.empty())
        return false;

    if (last.size() <= kChangesInPlace) {
        for (const UserChange& c : last) {
            const std::size_t i = std::size_t(c.index);
            const auto [from, to] = noteOf(i);
            const qsizetype delta = c.note.size() - (to - from);
            const qsizetype oldSize = m_bytes.size();
            if (delta > 0) {
                if (m_bytes.capacity() < oldSize + delta)
                    m_bytes.reserve(oldSize + delta + oldSize / 8); // room for the next few notes that grow
                m_bytes.resize(oldSize + delta);
            }
            char* p = m_bytes.data();
            std::memmove(p + to + delta, p + to, std::size_t(oldSize - to));
            std::memcpy(p + from, c.note.constData(), std::size_t(c.note.size()));
            p[from - kDigitToNote] = statusDigit(c.status);
            if (delta < 0)
                m_bytes.truncate(oldSize + delta);
            for (std::size_t j = i + 1; j < m_starts.size(); ++j)
                m_starts[j] += delta;
        }
        return true;
    }

    // Many places: one pass copies the unchanged stretches between them into new bytes.
    qsizetype size = m_bytes.size();
    std::vector<std::pair<qsizetype, qsizetype>> notes;
    notes.reserve(last.size());
    for (const UserChange& c : last) {
        notes.push_back(noteOf(std::size_t(c.index)));
        size += c.note.size() - (notes.back().second - notes.back().first);
    }
    QByteArray out(size, Qt::Uninitialized);
    const char* from = m_bytes.constData();
    char* to = out.data();
    qsizetype copied = 0, shift = 0;
    std::size_t nextPlace = 0;
    for (std::size_t k = 0; k < last.size(); ++k) {
        const std::size_t i = std::size_t(last[k].index);
        for (; nextPlace <= i; ++nextPlace)
            m_starts[nextPlace] += shift;
        const auto [noteFrom, noteTo] = notes[k];
        std::memcpy(to, from + copied, std::size_t(noteFrom - copied));
        to += noteFrom - copied;
        to[-kDigitToNote] = statusDigit(last[k].status);
        std::memcpy(to, last[k].note.constData(), std::size_t(last[k].note.size()));
        to += last[k].note.size();
        copied = noteTo;
        shift += last[k].note.size() - (noteTo - noteFrom);
    }
    std::memcpy(to, from + copied, std::size_t(m_bytes.size() - copied));
    for (; nextPlace < m_starts.size(); ++nextPlace)
        m_starts[nextPlace] += shift;
    m_bytes = std::move(out);
    return true;
}

bool userDataWritesBack(const LocationList& locations, QByteArrayView bytes)
{
    Compare compare{bytes.data(), bytes.data() + bytes.size()};
    return formatUserData(locations, compare) && compare.p == compare.end;
}

} // namespace vdm
