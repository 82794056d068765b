// SPDX-License-Identifier: MIT
#include "data/inifile.h"

#include "data/atomicfile.h"
#include "data/codepage.h"
#include "data/errors.h"
#include "data/regularfile.h"
#include "data/textconv.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <unistd.h>

#include <vector>

namespace vdm {
namespace {

enum class LineKind { Other, Section, Key };

/** One line of the file, seen through the private-profile rules. */
struct IniLine {
    QByteArrayView text; // without its line end, inside the contents it was split from
    LineKind kind = LineKind::Other;
    QByteArrayView name;  // section or key name, trimmed
    QByteArrayView value; // key value, trimmed
};

void classify(IniLine& line)
{
    const QByteArrayView t = Trim(line.text);
    if (t.isEmpty() || t.front() == ';')
        return;
    if (t.front() == '[') {
        const QByteArrayView inner = t.sliced(1);
        const qsizetype close = inner.lastIndexOf(']');
        line.kind = LineKind::Section;
        line.name = Trim(close < 0 ? inner : inner.first(close));
        return;
    }
    const qsizetype eq = t.indexOf('=');
    if (eq < 0)
        return;
    const QByteArrayView name = Trim(t.first(eq));
    if (name.isEmpty())
        return;
    line.kind = LineKind::Key;
    line.name = name;
    line.value = Trim(t.sliced(eq + 1));
}

/**
 * The lines of `data`, as the classic reader splits them: a line ends at CR LF or at a
 * lone LF (a lone CR is part of the line), and a last line without an end counts. The
 * lines are views into `data`, which must outlive them unchanged.
 */
std::vector<IniLine> splitLines(const QByteArray& data)
{
    std::vector<IniLine> lines;
    const qsizetype n = data.size();
    for (qsizetype pos = 0; pos < n;) {
        qsizetype lf = data.indexOf('\n', pos);
        qsizetype end = lf;
        if (lf < 0)
            lf = end = n;
        else if (end > pos && data[end - 1] == '\r')
            --end;
        IniLine line;
        line.text = QByteArrayView(data).sliced(pos, end - pos);
        classify(line);
        lines.push_back(line);
        pos = lf + 1;
    }
    return lines;
}

/** Code-page bytes compare 1:1 with characters, so the length check is exact. */
bool sameName(QByteArrayView bytes, const QString& name)
{
    return bytes.size() == name.size() && CodePage::decode(bytes).compare(name, Qt::CaseInsensitive) == 0;
}

/** A value must stay on its own line: line ends and NUL would start or hide lines. */
QByteArray encodeOneLine(const QString& text)
{
    QByteArray bytes = CodePage::encode(text);
    for (char& c : bytes)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return bytes;
}

QString absolutePath(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool parseHex(QByteArrayView digits, int* out)
{
    quint64 v = 0;
    for (const char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * 16 + quint64(d);
        if (v > 0xFFFFFFFFull)
            return false;
    }
    // Eight hex digits fill the 32 bits: 0xFFFFFFFF is -1, as colours were always stored.
    *out = static_cast<int>(static_cast<quint32>(v));
    return true;
}

/** The file itself: read whole, replaced atomically, synced on a flush. */
class FileIniStorage : public IniStorage {
public:
    explicit FileIniStorage(QString path) : m_path(std::move(path)) {}

    std::optional<QByteArray> load(qint64 maxSize) const override
    {
        RegularFile file(m_path);
        if (file.status() == RegularFile::Status::Missing)
            return QByteArray();
        // Only a regular file is ever opened (a FIFO would hold start-up forever), and one
        // larger than the limit is not read at all.
        if (file.size() > maxSize)
            return std::nullopt;
        return file.readAll(maxSize);
    }

    void replace(const QByteArray& bytes) override { AtomicFile::write(m_path, bytes); }

    void flush() override
    {
        // Every write already synced its file and directory; this re-checks that what is
        // on disk now is durable, and reports a file that has become unusable since.
        const RegularFile file(m_path);
        if (file.status() == RegularFile::Status::Missing)
            return; // nothing was written, nothing to flush
        if (!file.isOpen() || ::fsync(file.handle()) != 0)
            throwUnableToWrite(absolutePath(m_path));
    }

private:
    QString m_path;
};

} // namespace

struct IniFile::Lines {
    QByteArray bytes;
    std::vector<IniLine> lines;
};

std::optional<QByteArray> MemoryIniStorage::load(qint64 maxSize) const
{
    if (m_bytes.size() > maxSize)
        return std::nullopt;
    return m_bytes;
}

IniFile::IniFile(QString path) : m_path(std::move(path)), m_storage(std::make_unique<FileIniStorage>(m_path))
{}

IniFile::IniFile(QString name, std::unique_ptr<IniStorage> storage)
    : m_path(std::move(name)), m_storage(std::move(storage))
{}

IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

std::optional<QByteArray> IniFile::load() const
{
    return m_storage->load(MaxFileSize);
}

const IniFile::Lines& IniFile::linesOf(const QByteArray& data) const
{
    // A settings save makes some forty calls in a row on the same contents.
    if (!m_lines || m_lines->bytes != data) {
        auto fresh = std::make_unique<Lines>();
        fresh->bytes = data; // never changed while kept, so the lines' views stay valid
        fresh->lines = splitLines(fresh->bytes);
        m_lines = std::move(fresh);
    }
    return *m_lines;
}

std::optional<QByteArray> IniFile::findValue(const QString& section, const QString& key) const
{
    const std::optional<QByteArray> data = load();
    if (!data)
        return std::nullopt;
    bool inSection = false;
    for (const IniLine& line : linesOf(*data).lines) {
        if (line.kind == LineKind::Section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == LineKind::Key && sameName(line.name, key))
            return line.value.toByteArray();
    }
    return std::nullopt;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const std::optional<QByteArray> found = findValue(section, key);
    if (!found)
        return defaultValue.left(MaxStringLength);
    QByteArrayView v = *found;
    // A value ends at a NUL or a lone CR, as a string of the classic functions did; a
    // writer cannot store either, so what is read is always what a write gives back.
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '\0' || v[i] == '\r') {
            v = Trim(v.first(i));
            break;
        }
    }
    // Then one pair of matching quotes around what is left is not part of it.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    return CodePage::decode(v.first(qMin(v.size(), MaxStringLength)));
}

int IniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const QString text = ReadString(section, key, QString());
    const QByteArray bytes = CodePage::encode(text);
    int value = 0;
    if (bytes.size() > 2 && bytes[0] == '0' && (bytes[1] == 'x' || bytes[1] == 'X'))
        return parseHex(QByteArrayView(bytes).sliced(2), &value) ? value : defaultValue;
    std::int32_t dec = 0;
    return tryStrToInt(bytes, &dec) ? dec : defaultValue;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeValue(const QString& section, const QString& key, const QByteArray& value)
{
    const std::optional<QByteArray> data = load();
    if (!data)
        throwUnableToWrite(absolutePath(m_path));

    const std::vector<IniLine>& lines = linesOf(*data).lines;
    const QByteArray sectionBytes = encodeOneLine(section);
    const QByteArray keyBytes = encodeOneLine(key);

    bool inSection = false;
    qsizetype insertAfter = -1; // last key line (or the header) of the first matching section
    bool firstSectionDone = false;
    qsizetype replaceAt = -1;
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const IniLine& line = lines[size_t(i)];
        if (line.kind == LineKind::Section) {
            if (inSection)
                firstSectionDone = true;
            inSection = sameName(line.name, section);
            if (inSection && !firstSectionDone && insertAfter < 0)
                insertAfter = i;
        } else if (inSection && line.kind == LineKind::Key) {
            if (sameName(line.name, key)) {
                replaceAt = i;
                break;
            }
            if (!firstSectionDone)
                insertAfter = i;
        }
    }

    QByteArray out;
    out.reserve(data->size() + sectionBytes.size() + keyBytes.size() + value.size() + 16);
    auto appendLine = [&out](QByteArrayView text) {
        out.append(text);
        out.append("\r\n", 2);
    };
    const QByteArray keyLine = keyBytes + '=' + value;
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const IniLine& line = lines[size_t(i)];
        if (i == replaceAt)
            appendLine(line.name.toByteArray() + '=' + value); // the key keeps its own spelling
        else
            appendLine(line.text);
        if (replaceAt < 0 && i == insertAfter)
            appendLine(keyLine);
    }
    if (replaceAt < 0 && insertAfter < 0) {
        appendLine('[' + sectionBytes + ']');
        appendLine(keyLine);
    }
    // Rewriting identical bytes would change nothing but cost a sync of file and directory;
    // a full settings save writes some forty keys that mostly hold their old values.
    if (out == *data)
        return;
    m_storage->replace(out);
}

std::optional<QByteArray> IniFile::ReadRaw(const QString& section, const QString& key) const
{
    return findValue(section, key);
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QByteArray bytes = encodeOneLine(value);
    // Blanks at the ends would be trimmed by the reader, and one pair of matching quotes
    // taken off: a pair of quotes around such a value keeps it as it was written.
    if (!bytes.isEmpty()) {
        const char first = bytes.front(), last = bytes.back();
        const bool quoted = bytes.size() >= 2 && (first == '"' || first == '\'') && last == first;
        if (uchar(first) <= ' ' || uchar(last) <= ' ' || quoted)
            bytes = '"' + bytes + '"';
    }
    writeValue(section, key, bytes);
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    writeValue(section, key, IntToStr(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    writeValue(section, key, value ? QByteArray("1") : QByteArray("0"));
}

void IniFile::UpdateFile()
{
    m_storage->flush();
}

void IniFile::WriteChanges(const QByteArray& read, const QByteArray& base, const QByteArray& changed)
{
    const std::optional<QByteArray> data = load();
    if (!data)
        throwUnableToWrite(absolutePath(m_path));
    if (*data == read || data->isEmpty()) { // an emptied or deleted file holds nothing of another's
        if (changed != *data)
            m_storage->replace(changed);
        return;
    }
    // Each key's first value, as the reader finds it, by its section and name folded; a key
    // above every section is never read.
    const auto keys = [](const std::vector<IniLine>& lines, const auto& take) {
        std::optional<QByteArrayView> section;
        for (const IniLine& line : lines) {
            if (line.kind == LineKind::Section)
                section = line.name;
            else if (line.kind == LineKind::Key && section)
                take(*section, line,
                     CodePage::decode(*section).toCaseFolded() + QChar(u'\n')
                         + CodePage::decode(line.name).toCaseFolded());
        }
    };
    const std::vector<IniLine> was = splitLines(base), now = splitLines(changed);
    QHash<QString, QByteArrayView> before;
    keys(was, [&](QByteArrayView, const IniLine& line, const QString& id) {
        if (!before.contains(id))
            before.insert(id, line.value);
    });
    QSet<QString> seen;
    keys(now, [&](QByteArrayView section, const IniLine& line, const QString& id) {
        if (seen.contains(id))
            return; // a later line of a key already taken: the reader never sees it
        seen.insert(id);
        const auto old = before.constFind(id);
        if (old == before.cend() || *old != line.value)
            writeValue(CodePage::decode(section), CodePage::decode(line.name), line.value.toByteArray());
    });
}

} // namespace vdm
