// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vdm {

/**
 * An INI settings file with the semantics of the classic private-profile functions:
 * section and key names compare case-insensitively; a written key replaces its value
 * where it stands, a new key goes to the end of its section, a new section to the end of
 * the file; every other line is kept. Lines end with CR LF; text is in the code page.
 * Reads and writes act on the file itself, no copy is held between calls. Every write
 * replaces the file atomically; a failed write throws "Unable to write to %s".
 */
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& fileName() const { return m_path; }

    /** At most 2047 characters are returned; a missing key gives the default. */
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    /** Decimal, or hexadecimal after "0x"/"0X" when longer than two characters; else the default. */
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    /** An integer: 0 is false, any other integer true; anything else gives the default. */
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    /** Makes sure everything written has reached the disk. */
    void UpdateFile();

private:
    QString m_path;
};

} // namespace vdm
