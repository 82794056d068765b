// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace vdm::test {

/** One record of a locations file, in the stored eight-line layout with CR LF. */
QByteArray locationRecord(const QByteArray& name, int level, int x, int y);

/**
 * A world directory for widget tests: a map picture, the databases the test writes, and a
 * separate program directory for qor.ini and the read-me files. While it lives, the
 * current directory is the world (the program looks its data up there).
 */
class TestWorld {
public:
    enum class Picture { High, Normal, Both, None };

    explicit TestWorld(Picture picture = Picture::Normal);
    ~TestWorld();

    QString dir() const { return m_world.path(); }
    /** Ends with "/". */
    QString appDir() const { return m_app.path() + QLatin1Char('/'); }
    QString path(const QString& name) const { return dir() + QLatin1Char('/') + name; }
    QString appPath(const QString& name) const { return appDir() + name; }

    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    void writeSettings(const QByteArray& ini) const;

    /** Writes a picture of the given size: a left-to-right gradient, JPEG encoded. */
    static void writePicture(const QString& path, QSize size);

private:
    QTemporaryDir m_world;
    QTemporaryDir m_app;
    QString m_oldDir;
};

} // namespace vdm::test
