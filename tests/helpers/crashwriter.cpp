// SPDX-License-Identifier: MIT
// Helper of the crash-safety test: saves a database over and over, alternating between
// two complete versions, until it is killed. Usage: vdm-crashwriter <target> <a> <b>.
// It says "ready" once the target holds a first whole version, so the test's kills
// land among real saves rather than in the program's start-up.
#include "data/atomicfile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vdm-crashwriter <target> <version a> <version b>\n");
        return 2;
    }
    QByteArray versions[2];
    for (int i = 0; i < 2; ++i) {
        QFile f(QFile::decodeName(argv[2 + i]));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[2 + i]);
            return 2;
        }
        versions[i] = f.readAll();
    }
    const QString target = QFile::decodeName(argv[1]);
    try {
        for (unsigned long n = 0;; ++n) {
            vdm::AtomicFile::write(target, versions[n % 2]);
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
