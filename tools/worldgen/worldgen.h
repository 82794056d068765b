// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>

namespace vdm::worldgen {

struct Options {
    int locations = 640;
    std::uint64_t seed = 1;
    bool pictures = true; // write bigmap_hi.jpg and bigmap.jpg
    bool readmes = true;  // write the three read-me files
};

/** Writes a whole invented world into `dir`; throws vdm::Error on failure. */
void generate(const QString& dir, const Options& options);

} // namespace vdm::worldgen
