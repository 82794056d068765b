// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    vdm::worldgen::Options o;
    o.seed = argc > 2 ? std::stoull(argv[2]) : 1;
    QElapsedTimer t; t.start();
    vdm::worldgen::generate(QString::fromLocal8Bit(argv[1]), o);
    std::printf("%lld ms\n", t.elapsed());
    return 0;
}
