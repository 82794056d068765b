// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vdm {

/**
 * Reads a database file line by line as text mode does: CR LF comes back as one LF, a
 * bare LF is a line end too, a lone CR is an ordinary character. Each read returns the
 * line with its one LF (when the line had one within the limit). With a limit, a read
 * takes at most that many characters (254 for the classic readers): a longer line comes
 * back in pieces, each counting as a line. A read "meets the end of the file" when it
 * reached the end before a line end; the classic readers then discard what it returned.
 */
class LineReader {
public:
    static constexpr qsizetype ClassicLimit = 254;
    static constexpr qsizetype NoLimit = -1;

    explicit LineReader(QByteArray data, qsizetype limit = ClassicLimit);

    struct Line {
        QByteArray text;     // including its trailing LF, when it has one
        bool metEnd = false; // the read reached the end of the data
    };
    Line read();
    bool atEnd() const { return m_pos >= m_data.size(); }
    /** 1-based number of the line that the next read starts on. */
    qsizetype lineNumber() const { return m_line; }

    /**
     * Reads on to the next line that contains `keyword` (its line end removed before the
     * search, case-sensitive). False when a read met the end first: a last line without a
     * line end is never a header, whatever it holds.
     */
    bool skipToHeader(QByteArrayView keyword);

    /** The text without one trailing LF. */
    static QByteArrayView chomp(QByteArrayView text);

private:
    QByteArray m_data;
    qsizetype m_limit;
    qsizetype m_pos = 0;
    qsizetype m_line = 1;
};

} // namespace vdm
