// SPDX-License-Identifier: MIT
#include "journey/journeytext.h"

#include "data/codepage.h"

#include <cmath>

namespace vdm::JourneyText {

namespace {

QString nameOf(const LocationList& locations, int place)
{
    if (place < 0 || std::size_t(place) >= locations.size())
        return QStringLiteral("?");
    return CodePage::decode(locations[std::size_t(place)].Name);
}

QString counted(int n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QString distance(double units)
{
    const long long whole = std::llround(std::max(0.0, units));
    QString digits = QString::number(whole);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u' ');
    return digits;
}

QString duration(double hours)
{
    const long long total = std::llround(std::max(0.0, hours) * 60);
    if (total < 60)
        return QStringLiteral("%1 min").arg(total);
    return QStringLiteral("%1 h %2 min").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString modeName(TravelMode mode)
{
    switch (mode) {
    case TravelMode::Walk:
        return QStringLiteral("walk");
    case TravelMode::Skarnel:
        return QStringLiteral("skarnel");
    case TravelMode::Ship:
        return QStringLiteral("ship");
    case TravelMode::Guild:
        return QStringLiteral("guild jump");
    }
    return {};
}

QString totals(const Journey& journey)
{
    const JourneyTotals t = journey.totals();
    if (t.legs == 0)
        return QStringLiteral("no legs");
    QStringList parts{counted(t.legs, "leg", "legs")};
    if (const int n = t.legsBy[std::size_t(TravelMode::Skarnel)])
        parts << QStringLiteral("%1 by skarnel").arg(n);
    if (const int n = t.legsBy[std::size_t(TravelMode::Ship)])
        parts << QStringLiteral("%1 by ship").arg(n);
    if (const int n = t.legsBy[std::size_t(TravelMode::Guild)])
        parts << counted(n, "guild jump", "guild jumps");
    if (t.legsBy[std::size_t(TravelMode::Walk)])
        parts << QStringLiteral("walk ") + distance(t.distanceBy[std::size_t(TravelMode::Walk)]);
    return parts.join(QStringLiteral(" \u00b7 "));
}

QStringList legLines(const Journey& journey, const LocationList& locations)
{
    QStringList lines;
    for (std::size_t k = 0; k < journey.legs.size(); ++k) {
        const JourneyLeg& leg = journey.legs[k];
        lines << QStringLiteral("%1. %2 \u2192 %3: %4, %5, %6")
                     .arg(k + 1)
                     .arg(nameOf(locations, leg.from), nameOf(locations, leg.to), modeName(leg.mode),
                          distance(leg.distance), duration(leg.cost));
    }
    return lines;
}

QString clipboardText(const Journey& journey, const LocationList& locations)
{
    QString text
        = QStringLiteral("%1 \u2192 %2\n").arg(nameOf(locations, journey.start), nameOf(locations, journey.target));
    if (!journey.reached)
        text += QStringLiteral("%1 cannot be reached; the route leads to %2, the nearest place that can.\n")
                    .arg(nameOf(locations, journey.target), nameOf(locations, journey.end));
    text += totals(journey) + QStringLiteral(", ") + duration(journey.totals().cost) + u'\n';
    for (const QString& line : legLines(journey, locations))
        text += line + u'\n';
    return text;
}

} // namespace vdm::JourneyText
