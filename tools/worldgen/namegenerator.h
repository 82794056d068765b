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
    /**
     * `longNames`: stems of two or three syllable groups instead of one, for worlds of
     * many thousands of places, where the short stems would run out.
     */
    explicit NameGenerator(std::uint64_t seed, bool longNames = false);

    /** A new place name fitting the kind of place ("port" may give "Port Velmarin"). */
    QString placeName(const QString& kind);
    /** A new region name ("Ostwyn Vale"). */
    QString regionName();

private:
    QString stem();
    /** Appends a syllable to a stem, dropping a letter that would double at the seam. */
    static void join(QString& stem, QString syllable);
    QString decorated(const QString& kind, const QString& stem);
    QString claim(const std::function<QString()>& make);

    Random m_random;
    bool m_longNames = false;
    QSet<QString> m_taken;
};

} // namespace vdm::worldgen
