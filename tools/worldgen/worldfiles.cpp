// SPDX-License-Identifier: MIT
#include "worldgen/worldfiles.h"

#include "data/codepage.h"
#include "data/errors.h"

namespace vdm::worldgen::WorldFiles {
namespace {

void line(QByteArray& out, const QString& text)
{
    for (QChar ch : text)
        if (!CodePage::canEncode(ch))
            throw Error(QStringLiteral("'%1' cannot be written in the 8-bit code page").arg(text));
    out += CodePage::encode(text);
    out += "\r\n";
}

} // namespace

QByteArray locationsFile(const std::vector<Place>& places)
{
    QByteArray out;
    // Nothing outside the records may contain the three letters that start a record.
    line(out, QStringLiteral("; Veldamar places: %1 records of eight lines").arg(places.size()));
    line(out, QString());
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& p = places[i];
        line(out, QStringLiteral("[loc %1]").arg(i + 1, 4, 10, QLatin1Char('0')));
        line(out, QStringLiteral("name: ") + p.name);
        line(out, QStringLiteral("regn: ") + p.region);
        line(out, QStringLiteral("kind: ") + p.kind);
        line(out, QStringLiteral("levl: %1").arg(p.level));
        line(out, QStringLiteral("folk: %1").arg(p.folk));
        line(out, QStringLiteral("land: ") + p.ground);
        line(out, QStringLiteral("posn: %1,%2").arg(p.x).arg(p.y));
        line(out, QString());
    }
    return out;
}

QByteArray routesFile(const std::vector<Place>& places, const std::vector<std::vector<PlannedRoute>>& routes)
{
    QByteArray out;
    // All routes of an origin go in one block: a second block would replace the first.
    line(out, QStringLiteral("; Veldamar travel: 1 skarnel, 2 ship, 3 mages guild"));
    line(out, QString());
    for (std::size_t i = 0; i < places.size() && i < routes.size(); ++i) {
        if (routes[i].empty())
            continue;
        line(out, QStringLiteral("[route]"));
        line(out, QStringLiteral("  nm = ") + places[i].name);
        for (const PlannedRoute& r : routes[i])
            line(out, QStringLiteral("%1 ").arg(r.kind) + places[std::size_t(r.target)].name);
        line(out, QStringLiteral("end"));
        line(out, QString());
    }
    return out;
}

} // namespace vdm::worldgen::WorldFiles
