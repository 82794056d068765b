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

QString pointerText(QPoint p, const Location* place)
{
    QString text = QStringLiteral("x %1, y %2").arg(groupedNumber(p.x()), groupedNumber(p.y()));
    if (!place)
        return text;
    text += QStringLiteral(" \u00B7 ") + CodePage::decode(place->Name);
    QStringList lines;
    for (const QByteArray* line : {&place->Region, &place->Kind})
        if (!line->trimmed().isEmpty())
            lines << CodePage::decode(line->trimmed());
    if (!lines.isEmpty())
        text += QStringLiteral(" \u2014 ") + lines.join(QStringLiteral(" \u00B7 "));
    return text;
}

} // namespace vdm
