// SPDX-License-Identifier: MIT
// Helper of the merge crash test: plays a window and another program on one world at
// once, until it is killed. Each round the other program changes a place and appends a
// marker in the files as it finds them (written atomically), then the window changes
// another place, adds a marker of its own and writes both files, which merges them.
// Usage: vdm-mergewriter <world folder>. It says "ready" after its first merged round.
#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "world/world.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

vdm::Location markerNamed(const QByteArray& text, int n)
{
    vdm::Location m;
    m.Name = text + ' ' + QByteArray::number(n);
    m.Level = 1;
    m.X = n;
    m.Y = -n;
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vdm-mergewriter <world folder>\n");
        return 2;
    }
    const QString folder = QFile::decodeName(argv[1]);
    const QString user = QDir(folder).filePath(QStringLiteral("user.gdb"));
    const QString markers = QDir(folder).filePath(QStringLiteral("markers.gdb"));
    try {
        vdm::World window(folder);
        window.LoadDatabases();
        const int places = int(window.locations().size());
        for (int n = 0;; ++n) {
            // The other program, on the files as they are now.
            vdm::LocationList theirs = window.locations();
            vdm::readUserData(vdm::readDatabaseFile(user), theirs);
            theirs[size_t((2 * n) % places)].Note = "other " + QByteArray::number(n);
            vdm::AtomicFile::write(user, vdm::writeUserData(theirs));
            vdm::LocationList theirMarkers;
            vdm::readMarkers(vdm::readDatabaseFile(markers), theirMarkers);
            theirMarkers.push_back(markerNamed("other", n));
            vdm::AtomicFile::write(markers, vdm::writeMarkers(theirMarkers));

            // The window, which has not read them since.
            window.setLocationStatus((2 * n + 1) % places, 1 + n % 3);
            window.addMarker(markerNamed("window", n));
            window.SaveUserData();
            window.SaveMarkers();
            if (n == 0) {
                std::fputs("ready\n", stdout);
                std::fflush(stdout);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
