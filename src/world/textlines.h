// SPDX-License-Identifier: MIT
#pragma once

// The line syntax the progress file and the views file share: texts in double quotes with
// "\\", "\"" and "\xHH" escapes (every byte comes back as it was), positions as "X,Y",
// tokens one blank apart. Every reading error names the file and the line.

#include "data/codepage.h"
#include "data/errors.h"
#include "data/textconv.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <utility>

namespace vdm::textlines {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

inline void appendQuoted(QByteArray& out, const QByteArray& text)
{
    out.append('"');
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out.append('\\');
            out.append(c);
        } else if (b < 32 || b == 127) {
            out.append("\\x");
            out.append(kHexDigits[b >> 4]);
            out.append(kHexDigits[b & 15]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

inline void appendPosition(QByteArray& out, std::int32_t x, std::int32_t y)
{
    out.append(IntToStr(x));
    out.append(',');
    out.append(IntToStr(y));
}

/** The lines of a file read whole, one by one, without their "\n" or "\r\n", numbered from 1. */
class Lines {
public:
    explicit Lines(QByteArrayView all) : m_all(all) {}

    /** Moves to the next line; false past the last (a final "\n" starts no empty line). */
    bool next()
    {
        if (m_pos >= m_all.size())
            return false;
        qsizetype end = m_all.indexOf('\n', m_pos);
        if (end < 0)
            end = m_all.size();
        m_text = m_all.sliced(m_pos, end - m_pos);
        if (m_text.endsWith('\r'))
            m_text.chop(1);
        m_pos = end + 1;
        ++m_number;
        return true;
    }

    QByteArrayView text() const { return m_text; }
    /** The current line's number; after the last, the number of lines read (0: none). */
    int number() const { return m_number; }

private:
    QByteArrayView m_all;
    QByteArrayView m_text;
    qsizetype m_pos = 0;
    int m_number = 0;
};

/** One line of the file being read, taken apart token by token; every error names the line. */
class LineParser {
public:
    /** `what` names the kind of file in messages ("progress file"). */
    LineParser(QByteArrayView text, QString what, const QString& fileName, int lineNumber)
        : m_text(text), m_what(std::move(what)), m_file(fileName), m_line(lineNumber)
    {}

    [[noreturn]] void fail(const QString& what) const
    {
        throw Error(QStringLiteral("The %1 %2 is damaged at line %3: %4. Nothing was changed.")
                        .arg(m_what, m_file)
                        .arg(m_line)
                        .arg(what));
    }

    QByteArrayView word()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != ' ')
            ++m_pos;
        return m_text.sliced(start, m_pos - start);
    }

    /** Exactly one blank between tokens, as the writer puts it. */
    void blank()
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != ' ')
            fail(QStringLiteral("the line ends too early"));
        ++m_pos;
    }

    std::int32_t integer(char stop, const char* what)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != stop)
            ++m_pos;
        const QByteArrayView digits = m_text.sliced(start, m_pos - start);
        std::int32_t value = 0;
        // Only what the writer writes: an optional minus and digits, no blanks, no plus.
        bool plain = !digits.isEmpty();
        for (qsizetype i = 0; plain && i < digits.size(); ++i)
            plain = (digits[i] >= '0' && digits[i] <= '9') || (i == 0 && digits[i] == '-' && digits.size() > 1);
        if (!plain || !tryStrToInt(digits, &value))
            fail(QStringLiteral("%1 is not a whole number: \"%2\"").arg(QLatin1String(what), CodePage::decode(digits)));
        return value;
    }

    void position(std::int32_t& x, std::int32_t& y)
    {
        x = integer(',', "the x position");
        if (m_pos >= m_text.size())
            fail(QStringLiteral("the position has no comma"));
        ++m_pos;
        y = integer(' ', "the y position");
    }

    QByteArray quoted(const char* what)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"')
            fail(QStringLiteral("%1 does not start with a double quote").arg(QLatin1String(what)));
        ++m_pos;
        QByteArray out;
        while (true) {
            if (m_pos >= m_text.size())
                fail(QStringLiteral("%1 has no closing double quote").arg(QLatin1String(what)));
            const char c = m_text[m_pos++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out.append(c);
                continue;
            }
            if (m_pos >= m_text.size())
                fail(QStringLiteral("%1 ends inside an escape").arg(QLatin1String(what)));
            const char e = m_text[m_pos++];
            if (e == '\\' || e == '"') {
                out.append(e);
            } else if (e == 'x' && m_pos + 2 <= m_text.size() && hex(m_text[m_pos]) >= 0
                       && hex(m_text[m_pos + 1]) >= 0) {
                out.append(char(hex(m_text[m_pos]) * 16 + hex(m_text[m_pos + 1])));
                m_pos += 2;
            } else {
                fail(QStringLiteral("%1 holds an unknown escape \"\\%2\"")
                         .arg(QLatin1String(what), CodePage::decode(QByteArrayView(&e, 1))));
            }
        }
    }

    void end()
    {
        if (m_pos != m_text.size())
            fail(QStringLiteral("unexpected text after the last field"));
    }

private:
    static int hex(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }

    QByteArrayView m_text;
    QString m_what;
    const QString& m_file;
    int m_line;
    qsizetype m_pos = 0;
};

} // namespace vdm::textlines
