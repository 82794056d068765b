// SPDX-License-Identifier: MIT
// Helper of the background write kill test: types a note every two milliseconds into a
// world whose "user.gdb" is written in the background, until it is killed. Each note is
// the moment it was typed (milliseconds of the steady clock, which every process on the machine shares), so
// the test can tell how far the file lagged behind the keystrokes at the kill.
// Usage: vdm-notewriter <world folder> <places>. It says "ready" once the file exists.
#include "data/location.h"
#include "world/world.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <exception>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vdm-notewriter <world folder> <places>\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    if (count <= 0)
        return 2;
    vdm::LocationList places(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        places[std::size_t(i)].Name = "Place " + QByteArray::number(i);
    try {
        vdm::World world(QFile::decodeName(argv[1]), std::move(places), {});
        world.setBackgroundWritesFrom(0);
        for (int n = 0;; ++n) {
            world.setLocationNote(n % count,
                                  QByteArray::number(qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                std::chrono::steady_clock::now().time_since_epoch())
                                                                .count())));
            world.autosaveUserData();
            world.collectWrites();
            if (n == 0) {
                world.waitForUserDataWrites();
                std::fputs("ready\n", stdout);
                std::fflush(stdout);
            }
            usleep(2000);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
