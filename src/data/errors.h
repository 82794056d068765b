// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>
#include <exception>

namespace vdm {

/**
 * An error that reaches the user: its text is shown as it stands in the error box.
 * Loaders, writers and handlers throw it; the guard around every event handler shows it.
 */
class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

/**
 * The text the user is shown for any exception: an Error's own message, "Out of memory"
 * for a failed allocation, the text of any other standard exception, else "Unknown error".
 */
QString errorText(std::exception_ptr error);

/** "'%s' is not a valid integer value"; the text is decoded from the code page. */
[[noreturn]] void throwConvertError(QByteArrayView text);
/** "List index out of bounds (%d)". */
[[noreturn]] void throwListIndexError(qsizetype index);
/** "Cannot open file %s". */
[[noreturn]] void throwCannotOpen(const QString& path);
/** "Unable to write to %s". */
[[noreturn]] void throwUnableToWrite(const QString& path);

} // namespace vdm
