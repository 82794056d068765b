// SPDX-License-Identifier: MIT
#include "edit/progresstext.h"

#include "data/codepage.h"

#include <QStringList>

namespace vdm {

QString groupedNumber(long long n)
{
    const QString digits = QString::number(n < 0 ? -n : n);
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += QLatin1Char(' ');
        out += digits[i];
    }
    return n < 0 ? QLatin1Char('-') + out : out;
}

QString progressText(const World::StatusCounts& c)
{
    return QStringLiteral("Visited %1 \u00B7 Active %2 \u00B7 Unvisited %3 of %4")
        .arg(groupedNumber(c.visited), groupedNumber(c.active), groupedNumber(c.unvisited), groupedNumber(c.total));
}

World::StatusCounts filteredCounts(const LocationList& places, const PlaceFilter& filter)
{
    World::StatusCounts c;
    for (const Location& l : places) {
        if (!filter.admits(l))
            continue;
        ++c.total;
        if (l.Status == Visited)
            ++c.visited;
        else if (l.Status == Active)
            ++c.active;
        else
            ++c.unvisited; // as the world counts: every other value is still to do
    }
    return c;
}

QString progressText(const World& world, const PlaceFilter& filter)
{
    if (!filter.active())
        return progressText(world.statusCounts());
    return progressText(filteredCounts(world.locations(), filter)) + QLatin1Char(' ') + filterDescription(filter);
}

namespace {

/** "a", "a and b", "a, b and c". */
QString listed(const QStringList& words)
{
    if (words.size() <= 1)
        return words.value(0);
    return QStringList(words.begin(), words.end() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ")
           + words.back();
}

} // namespace

QString pluralKind(const QString& kind)
{
    const QString k = kind.toLower();
    const auto vowel = [](QChar c) { return QStringLiteral("aeiou").contains(c); };
    if (k.endsWith(u"ss") || k.endsWith(u'x') || k.endsWith(u"ch") || k.endsWith(u"sh"))
        return kind + QStringLiteral("es");
    if (k.endsWith(u's'))
        return kind; // "ruins": already a plural
    if (k.size() >= 2 && k.endsWith(u'y') && !vowel(k[k.size() - 2]))
        return kind.chopped(1) + QStringLiteral("ies");
    return kind + QLatin1Char('s');
}

QString filterDescription(const PlaceFilter& filter)
{
    QStringList kinds, regions;
    for (const QByteArray& k : filter.kinds())
        if (!k.isEmpty())
            kinds << pluralKind(CodePage::decode(k));
    for (const QByteArray& r : filter.regions())
        if (!r.isEmpty())
            regions << CodePage::decode(r);
    QString text = kinds.isEmpty() ? QStringLiteral("places") : listed(kinds);
    if (!regions.isEmpty())
        text += QStringLiteral(" in ") + listed(regions);
    return text;
}

QString pointerText(QPoint p, const Location* place)
{
    QString text = QStringLiteral("x %1, y %2").arg(groupedNumber(p.x()), groupedNumber(p.y()));
    if (!place)
        return text;
    text += QStringLiteral(" \u00B7 ") + CodePage::decode(place->Name);
    QStringList lines;
    for (QByteArrayView line : {place->Region.view(), place->Kind.view()})
        if (!line.trimmed().isEmpty())
            lines << CodePage::decode(line.trimmed());
    if (!lines.isEmpty())
        text += QStringLiteral(" \u2014 ") + lines.join(QStringLiteral(" \u00B7 "));
    return text;
}

} // namespace vdm
