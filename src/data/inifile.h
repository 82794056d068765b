// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace vdm {

/**
 * Where a settings file's bytes live: the file itself for the program, memory for the
 * fuzz target and tests. The settings rules (lines, sections, keys, the size limit) stay
 * in IniFile; a storage only hands over and replaces the whole contents.
 */
class IniStorage {
public:
    virtual ~IniStorage() = default;
    /**
     * The whole contents: empty when there are none yet; nullopt when they exceed
     * `maxSize` bytes or cannot be read (they are then never parsed, nor replaced).
     */
    virtual std::optional<QByteArray> load(qint64 maxSize) const = 0;
    /** Replaces the whole contents at once; a failure throws "Unable to write to %s". */
    virtual void replace(const QByteArray& bytes) = 0;
    /** Makes sure what was stored is durable; a failure throws "Unable to write to %s". */
    virtual void flush() = 0;
};

/** Contents held in memory: nothing reaches a disk, so each call costs only the parsing. */
class MemoryIniStorage : public IniStorage {
public:
    explicit MemoryIniStorage(QByteArray bytes = {}) : m_bytes(std::move(bytes)) {}
    const QByteArray& bytes() const { return m_bytes; }
    std::optional<QByteArray> load(qint64 maxSize) const override;
    void replace(const QByteArray& bytes) override { m_bytes = bytes; }
    void flush() override {}

private:
    QByteArray m_bytes;
};

/**
 * An INI settings file with the semantics of the classic private-profile functions:
 * section and key names compare case-insensitively; a written key replaces its value
 * where it stands, a new key goes to the end of its section, a new section to the end of
 * the file; every other line is kept. Lines end with CR LF; text is in the code page.
 * Reads and writes act on the file itself, no copy is held between calls. Every write
 * replaces the file atomically; a failed write throws "Unable to write to %s".
 *
 * The object holds only the path (or another storage). A file larger than MaxFileSize,
 * or one that exists but cannot be read, is never parsed: reads give their defaults and
 * writes refuse with the error rather than replace contents they could not see.
 */
class IniFile {
public:
    /** Far beyond any settings file; keeps the work of one call bounded on a hostile file. */
    static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;
    /** Longest string a read returns, in characters. */
    static constexpr qsizetype MaxStringLength = 2047;

    /** The file at `path`, replaced atomically at every write. */
    explicit IniFile(QString path);
    /** Contents kept in `storage`; `name` stands for the file in messages. */
    IniFile(QString name, std::unique_ptr<IniStorage> storage);
    ~IniFile();
    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;

    const QString& fileName() const { return m_path; }

    /** At most 2047 characters, up to a NUL or a lone CR, are returned; a missing key gives the default. */
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    /** The value's bytes as stored, blanks at the ends trimmed, whatever their length; nullopt when absent. */
    std::optional<QByteArray> ReadRaw(const QString& section, const QString& key) const;
    /** Decimal, or hexadecimal after "0x"/"0X" when longer than two characters; else the default. */
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    /** An integer: 0 is false, any other integer true; anything else gives the default. */
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    /**
     * CR, LF and NUL in the value become blanks, so a value can never add lines. A value
     * with blanks at its ends, or in matching quotes, is written in a pair of quotes, so
     * it reads back as written.
     */
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    /** Makes sure everything written has reached the disk. */
    void UpdateFile();

    /** The whole contents as they are now; nullopt when they cannot be used (see above). */
    std::optional<QByteArray> contents() const { return load(); }
    /**
     * `changed` is what a run's writes made of `read`, the contents it read; `base` is what
     * they make of it while the run changes nothing. A file that still holds `read`, or
     * nothing, is given `changed` whole. Otherwise another program (another window) wrote it
     * since: every key whose value in `changed` differs from its value in `base`, or that
     * `base` lacks, is written as `changed` holds it, and every other key keeps what the
     * file holds now.
     */
    void WriteChanges(const QByteArray& read, const QByteArray& base, const QByteArray& changed);

private:
    struct Lines;
    /** The file's bytes; empty when it does not exist; nullopt when it cannot be used. */
    std::optional<QByteArray> load() const;
    /**
     * The lines of `data`. Every call loads the contents afresh (another program may
     * have changed them), but parses them only when they differ from the last ones.
     */
    const Lines& linesOf(const QByteArray& data) const;
    /** The trimmed value bytes of the key, or nullopt when the key is absent. */
    std::optional<QByteArray> findValue(const QString& section, const QString& key) const;
    void writeValue(const QString& section, const QString& key, const QByteArray& value);

    QString m_path;
    std::unique_ptr<IniStorage> m_storage;
    mutable std::unique_ptr<Lines> m_lines; // the contents parsed last, with their lines
};

} // namespace vdm
