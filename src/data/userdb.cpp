// SPDX-License-Identifier: MIT
#include "data/userdb.h"

#include "data/errors.h"
#include "data/linereader.h"
#include "data/textarena.h"
#include "data/textconv.h"

#include <algorithm>
#include <cstring>

namespace vdm {
namespace {

constexpr qsizetype kStatusColumn = 12;   // 0-based: the 13th character
constexpr qsizetype kNoteLabelWidth = 10; // "   note = "

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

const QByteArray& nameOf(const Location& l) { return l.Name; }
const QByteArray& nameOf(const UserRecord& r) { return r.name; }
const QByteArray& noteOf(const Location& l) { return l.Note; }
const QByteArray& noteOf(const UserRecord& r) { return r.note; }
std::int32_t statusOf(const Location& l) { return l.Status; }
std::int32_t statusOf(const UserRecord& r) { return r.status; }

/**
 * The file, block by block, as pieces handed to `sink`: fixed texts, the status digit,
 * and the name and note kept to one line. Stops at the first piece the sink refuses.
 */
template <typename Records, typename Sink>
bool formatUserData(const Records& records, Sink& sink)
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
    /** Starts with room for blocks whose name and note take 32 bytes together. */
    explicit Write(std::size_t count)
    {
        m_out.resize(qsizetype(count) * (kFixedBlock + 32));
        m_p = m_out.data();
    }

    template <std::size_t N>
    bool text(const char (&s)[N])
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
    static constexpr qsizetype kFixedBlock = 47; // every byte of a block but the two texts
    QByteArray m_out;
    char* m_p = nullptr;
};

/** Compares the file with stored bytes as it goes, refusing at the first difference. */
struct Compare {
    const char* p;
    const char* end;
    template <std::size_t N>
    bool text(const char (&s)[N])
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

} // namespace

std::size_t readUserData(const QByteArray& bytes, LocationList& locations)
{
    LineReader reader(bytes, LineReader::NoLimit);
    TextArena notes; // no allocation per note
    std::size_t k = 0;
    while (reader.skipToHeader("loc")) {
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
        ++k;
    }
    return k;
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

bool userDataWritesBack(const LocationList& locations, QByteArrayView bytes)
{
    Compare compare{bytes.data(), bytes.data() + bytes.size()};
    return formatUserData(locations, compare) && compare.p == compare.end;
}

} // namespace vdm
