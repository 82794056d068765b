// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

class QDialog;

#include <cstdint>
#include <functional>

namespace vdm::test {

/** A fixture file under tests/fixtures (fixed at configure time, not cwd-relative). */
QString fixturePath(const QString& relative);
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

/** Switches the current directory for the lifetime of the object (worlds are cwd-based). */
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const QString& dir);
    ~ScopedCurrentDir();

private:
    QString m_old;
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

} // namespace vdm::test
