// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QDialog;

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vdm::test {

/** A fixture file under tests/fixtures (fixed at configure time, not cwd-relative). */
QString fixturePath(const QString& relative);
QByteArray readFile(const QString& path);
/** A location with only a name, a status and a note, as the user-data tests need. */
Location place(const QByteArray& name, std::int32_t status = Unvisited, const QByteArray& note = {});
/** A marker as the program places one: level 1, no status, at map point (x, y). */
Location marker(const QByteArray& text, int x, int y);
void writeFile(const QString& path, const QByteArray& bytes);

/** What a command-line program left: a run that hung or crashed has crashed set and status -1. */
struct ProgramRun {
    int status = -1;
    bool crashed = true;
    QString errors; ///< standard error
    QString out;    ///< standard output
};
/** Runs a program to its end, with a one-minute bound against a hang (not a measure of speed). */
ProgramRun runProgram(const QString& program, const QStringList& arguments);

/** Switches the current directory for the lifetime of the object (worlds are cwd-based). */
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const QString& dir);
    ~ScopedCurrentDir();

private:
    QString m_old;
};

/**
 * Points XDG_CONFIG_HOME and XDG_DATA_HOME at empty folders of its own for its lifetime,
 * so each test sees the user's folders as a new user would.
 */
class ScopedXdgHome {
public:
    ScopedXdgHome();
    ~ScopedXdgHome();
    QString config() const { return m_home.filePath(QStringLiteral("config")); }
    QString data() const { return m_home.filePath(QStringLiteral("data")); }

private:
    QTemporaryDir m_home;
    QByteArray m_oldConfig, m_oldData;
};

/**
 * An installed tree in a folder of its own: PREFIX/bin holds the program, PREFIX/share/
 * veldamar-map its read-me files. Both folders exist (made() says so) and end with "/".
 */
class InstalledPrefix {
public:
    InstalledPrefix();
    bool made() const { return m_made; }
    const QString& bin() const { return m_bin; }
    const QString& share() const { return m_share; }

private:
    QTemporaryDir m_prefix;
    QString m_bin, m_share;
    bool m_made = false;
};

/**
 * Takes every write bit off a folder for its lifetime (r-x for all), so no file may be
 * created or replaced in it: by the mode bits, which hold for the superuser too.
 */
class ScopedReadOnlyFolder {
public:
    explicit ScopedReadOnlyFolder(const QString& folder);
    ~ScopedReadOnlyFolder();

private:
    QString m_folder;
};

/**
 * Feeds `rounds` short random byte strings (at most `maxLength` bytes over `alphabet`,
 * the same ones for the same seed) to `read`; a vdm::Error it throws counts as a clear
 * refusal and is swallowed, anything else (a crash, another exception) fails the test.
 */
void forEachByteSoup(std::uint32_t seed, const QByteArray& alphabet, int maxLength, int rounds,
                     const std::function<void(const QByteArray&)>& read);

/**
 * Runs a dialog modally; `whileOpen` acts as the user and must close it. A safety timer
 * ends the dialog with -1 after ten seconds, so a broken test cannot hang.
 */
int runModal(QDialog* dialog, const std::function<void()>& whileOpen);

/** Count of pixels whose colour differs by more than `tolerance` in any channel. */
int differingPixels(const QImage& a, const QImage& b, int tolerance = 0);

/**
 * How far two pictures with transparency lie apart: the largest difference of one channel
 * (alpha included, colours premultiplied so an invisible pixel's colour does not count)
 * over all pixels, or -1 when the sizes differ.
 */
int largestChannelDifference(const QImage& a, const QImage& b);

/**
 * What antialiased, gradient or blended art painted on one machine may differ by from the
 * same art painted on another: Qt's blending units (SSE2, AVX2, ...) round partial coverage
 * differently by a level or two. Art whose every pixel our own arithmetic sets is compared
 * exactly instead.
 */
constexpr int PaintedArtTolerance = 3;

/**
 * A FIFO at `path` for the object's lifetime. Code under test must never wait on it;
 * should an open for reading block after all, a watchdog opens the writing end after ten
 * seconds, which lets that open return, and blocked() turns true, so the test fails
 * instead of hanging.
 */
class Fifo {
public:
    explicit Fifo(const QString& path);
    ~Fifo();
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;
    bool blocked() const;

private:
    struct Watchdog;
    std::unique_ptr<Watchdog> m_watchdog;
};

/**
 * Fonts that set captions differently from the map's own: a plain sans, a bold larger
 * sans, an italic serif and a monospace sized in pixels. The caption tests lay text out
 * in each of them.
 */
QList<QFont> captionTestFonts();

/** What a failing comparison prints: the texts themselves. */
std::vector<std::string> texts(const QStringList& list);

} // namespace vdm::test
