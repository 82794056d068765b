// SPDX-License-Identifier: MIT
// Helper of the crash-safety tests: saves a file over and over, alternating between two
// complete versions, until it is killed. Usage: vdm-crashwriter [--image] <target> <a> <b>,
// or --pair (see writePairs) for two files written together.
// With --image, a and b are pictures and each save encodes one of them as the map image
// writer does. It says "ready" once the target holds a first whole version, so the
// test's kills land among real saves rather than in the program's start-up.
#include "data/atomicfile.h"
#include "map/mapimage.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <string_view>

namespace {

/** Reads each named file whole; false (with a message) if one cannot be read. */
bool readVersions(char** names, int count, QByteArray* versions)
{
    for (int i = 0; i < count; ++i) {
        QFile f(QFile::decodeName(names[i]));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", names[i]);
            return false;
        }
        versions[i] = f.readAll();
    }
    return true;
}

/** Calls save(n) for n = 0, 1, 2, ... until killed; says "ready" after the first save. */
template <typename Save> int saveUntilKilled(Save save)
{
    try {
        for (unsigned long n = 0;; ++n) {
            save(n);
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

/**
 * --pair <journal> <first> <second> <first a> <second a> <first b> <second b>: writes the
 * two files together, version a and version b in turn.
 */
int writePairs(char** argv)
{
    QByteArray versions[4];
    if (!readVersions(argv + 3, 4, versions))
        return 2;
    const QString journal = QFile::decodeName(argv[0]);
    const QString first = QFile::decodeName(argv[1]), second = QFile::decodeName(argv[2]);
    return saveUntilKilled([&](unsigned long n) {
        const int v = int(n % 2) * 2;
        vdm::AtomicFile::writeTogether({{first, versions[v]}, {second, versions[v + 1]}}, journal);
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 9 && std::string_view(argv[1]) == "--pair")
        return writePairs(argv + 2);
    const bool images = argc == 5 && std::string_view(argv[1]) == "--image";
    if (images) {
        --argc;
        ++argv;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: vdm-crashwriter [--image] <target> <version a> <version b>\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    QByteArray versions[2];
    if (!readVersions(argv + 2, 2, versions))
        return 2;
    QImage pictures[2];
    for (int i = 0; images && i < 2; ++i)
        if (!pictures[i].loadFromData(versions[i])) {
            std::fprintf(stderr, "not a picture: %s\n", argv[2 + i]);
            return 2;
        }
    const QString target = QFile::decodeName(argv[1]);
    return saveUntilKilled([&](unsigned long n) {
        if (images)
            vdm::MapImage::write(target, pictures[n % 2]);
        else
            vdm::AtomicFile::write(target, versions[n % 2]);
    });
}
