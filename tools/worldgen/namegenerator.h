// SPDX-License-Identifier: MIT
#pragma once

#include "worldgen/random.h"

#include <QSet>
#include <QString>
#include <functional>

namespace vdm::worldgen {

/**
 * Invents names from syllable tables of our own and hands out each name once: a name
 * already given is never returned again (compared case-insensitively, since the viewer's
 * location list sorts that way and look-alikes would confuse). Owns its random stream.
 */
class NameGenerator {
public:
    explicit NameGenerator(std::uint64_t seed);

    /** A new place name fitting the kind of place ("port" may give "Port Velmarin"). */
    QString placeName(const QString& kind);
    /** A new region name ("Ostwyn Vale"). */
    QString regionName();

private:
    QString stem();
    QString decorated(const QString& kind, const QString& stem);
    QString claim(const std::function<QString()>& make);

    Random m_random;
    QSet<QString> m_taken;
};

} // namespace vdm::worldgen
