// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace vdm {

/**
 * A text that repeats across many records (a place's region or kind), held as a 4-byte
 * number into one table of the process's distinct texts instead of a QByteArray of its
 * own (24 bytes a record, 46 MB for the two at a million places). Equal texts always get
 * the same number, so comparing two is comparing numbers. The table keeps each text for the
 * life of the process: a world opened again finds its texts there. Any thread may make and
 * read them; reading takes no lock.
 */
class InternedText {
public:
    /** The empty text. */
    InternedText() = default;
    // Implicit, so a field is assigned as the text it stands for.
    InternedText(QByteArrayView text);                                           // NOLINT
    InternedText(const QByteArray& text) : InternedText(QByteArrayView(text)) {} // NOLINT
    InternedText(const char* text) : InternedText(QByteArrayView(text)) {}       // NOLINT

    /** The bytes, valid for the life of the process. */
    QByteArrayView view() const;
    /** The bytes as a QByteArray that shares the table's copy. */
    QByteArray bytes() const;
    bool isEmpty() const { return m_id == 0; }
    qsizetype size() const { return view().size(); }
    void clear() { m_id = 0; }
    /** The text's number: 0 for the empty text, else from 1 in the order first met. */
    std::uint32_t id() const { return m_id; }

    friend bool operator==(InternedText a, InternedText b) { return a.m_id == b.m_id; }
    friend bool operator==(InternedText a, QByteArrayView b) { return a.view() == b; }
    friend bool operator==(InternedText a, const QByteArray& b) { return a.view() == QByteArrayView(b); }
    friend bool operator==(InternedText a, const char* b) { return a.view() == QByteArrayView(b); }

private:
    std::uint32_t m_id = 0;
};

} // namespace vdm
