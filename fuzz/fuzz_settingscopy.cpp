// SPDX-License-Identifier: MIT
// Any bytes as the "qor.ini" of a program in a read-only folder: the copy into the
// user's settings folder is the same bytes or no copy at all, a run on it never leaves a
// file nothing can read (a Unicode file is kept whole as the backup), and the world it
// remembers comes back whole whatever its name.
#include "data/databasefile.h"
#include "data/inifile.h"
#include "data/regularfile.h"
#include "data/settings.h"
#include "session/settingssession.h"
#include "world/datalocations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_settingscopy: %s\n", what);
    std::abort();
}

QByteArray contents(const QString& path)
{
    vdm::RegularFile file(path);
    return file.readAll().value_or(QByteArray("<unreadable>"));
}

/** A program folder the user may not write and a settings folder of its own, made once. */
struct Folders {
    QTemporaryDir root;
    QString program = root.filePath(QStringLiteral("program"));
    QString config = root.filePath(QStringLiteral("config"));
    Folders()
    {
        QDir().mkpath(program);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Folders folders;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString stored = QDir(folders.program).filePath(QStringLiteral("qor.ini"));
    QDir(folders.config).removeRecursively();
    ::chmod(QFile::encodeName(folders.program).constData(), 0755);
    QFile::remove(stored);
    {
        QFile f(stored);
        if (!f.open(QIODevice::WriteOnly) || f.write(input) != input.size())
            fail("cannot set up the stored file");
    }
    ::chmod(QFile::encodeName(folders.program).constData(), 0555);

    if (input.size() > vdm::IniFile::MaxFileSize)
        return 0; // the copy refuses it, as the reader would
    const QString place = vdm::DataLocations::settingsFile(folders.program + QLatin1Char('/'));
    (void)vdm::DataLocations::takeNotices();
    if (place == stored)
        fail("a regular file within the limit was not copied");
    if (contents(place) != input)
        fail("the copy differs from the stored file");
    if (contents(stored) != input)
        fail("the stored file was touched");

    vdm::SettingsSession session;
    session.open(place);
    const bool unicode = !vdm::unicodeEncoding(input).isEmpty();
    if (session.takeNotices().isEmpty() == unicode)
        fail("a notice for a file that was readable, or none for one that was not");
    // The remembered world: the input's text, whatever it holds.
    const QString world = QString::fromUtf8(input.left(3000));
    session.rememberWorld(world);
    session.write(vdm::WindowSnapshot{});
    session.close();

    const QByteArray after = contents(place);
    if (unicode) {
        if (contents(place + QStringLiteral(".bak")) != input)
            fail("the unreadable file was not kept whole");
        if (!vdm::unicodeEncoding(after).isEmpty())
            fail("the file written is still one nothing can read");
    }
    vdm::Settings again;
    vdm::readSettings(vdm::IniFile(place), again);
    if (!world.isEmpty() && again.LastWorld != world)
        fail("the remembered world did not come back whole");
    return 0;
}
