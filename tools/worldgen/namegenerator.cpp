// SPDX-License-Identifier: MIT
#include "worldgen/namegenerator.h"

#include "data/errors.h"

#include <array>
#include <functional>

namespace vdm::worldgen {
namespace {

constexpr std::array Starts{u"kel", u"var",  u"ost", u"dun", u"mir",  u"thal", u"bre",  u"hal",  u"ast",
                            u"cor", u"ul",   u"sev", u"ryn", u"gal",  u"ish",  u"tor",  u"vel",  u"mor",
                            u"eld", u"fen",  u"kar", u"lys", u"nor",  u"ob",   u"pel",  u"quen", u"sar",
                            u"tir", u"wen",  u"yar", u"zor", u"ael",  u"bran", u"drav", u"ervi", u"hel",
                            u"jor", u"cael", u"vor", u"sil", u"grem", u"aud",  u"fal",  u"nim"};
constexpr std::array Middles{u"a",  u"e",  u"i",  u"o",  u"u",   u"ar", u"en",
                             u"is", u"or", u"ul", u"ae", u"ith", u"an", u"el"};
constexpr std::array Ends{u"mar",   u"dor",  u"heim", u"wick", u"ford", u"ven",  u"grad", u"moor",  u"stead", u"holm",
                          u"crest", u"fell", u"wyn",  u"ost",  u"ara",  u"ium",  u"eth",  u"orn",   u"gard",  u"mere",
                          u"lis",   u"bek",  u"dal",  u"rin",  u"thas", u"ovar", u"sk",   u"nesse", u"brig",  u"esh"};
constexpr std::array RegionWords{u"Vale",  u"Reach", u"Marches", u"Downs", u"Weald",
                                 u"Fells", u"Coast", u"Heights", u"Moors", u"Dales"};
// A few accented letters the code page holds, for a foreign touch now and then.
constexpr std::array<std::pair<char16_t, char16_t>, 6> Accents{
    {{u'e', u'\u00E9'}, {u'o', u'\u00F6'}, {u'a', u'\u00E2'}, {u'i', u'\u00EF'}, {u'u', u'\u00FC'}, {u'e', u'\u00EB'}}};

template <typename Table> QString pick(Random& random, const Table& table)
{
    return QString::fromUtf16(table[std::size_t(random.below(int(table.size())))]);
}

} // namespace

NameGenerator::NameGenerator(std::uint64_t seed, bool longNames) : m_random(seed), m_longNames(longNames)
{}

void NameGenerator::join(QString& stem, QString syllable)
{
    // Avoid doubled letters at the seam ("Kelllis") that read as typing errors.
    if (stem.back() == syllable.front())
        syllable.remove(0, 1);
    stem += syllable;
}

QString NameGenerator::stem()
{
    QString s = pick(m_random, Starts);
    if (m_random.chance(0.45))
        s += pick(m_random, Middles);
    if (m_longNames) {
        // Two or three groups give millions of stems, so even a million places find names quickly.
        const int groups = m_random.chance(0.5) ? 2 : 1;
        for (int g = 0; g < groups; ++g) {
            join(s, pick(m_random, Starts));
            if (m_random.chance(0.45))
                join(s, pick(m_random, Middles));
        }
    }
    join(s, pick(m_random, Ends));
    if (m_random.chance(0.08)) {
        const auto& [plain, accented] = Accents[std::size_t(m_random.below(int(Accents.size())))];
        const qsizetype at = s.indexOf(QChar(plain), 1);
        if (at > 0)
            s[at] = QChar(accented);
    }
    s[0] = s[0].toUpper();
    return s;
}

QString NameGenerator::decorated(const QString& kind, const QString& s)
{
    const bool either = m_random.chance(0.5);
    if (kind == u"port")
        return either ? QStringLiteral("Port ") + s : s;
    if (kind == u"fortress")
        return either ? QStringLiteral("Fort ") + s : s + QStringLiteral(" Keep");
    if (kind == u"keep")
        return s + QStringLiteral(" Keep");
    if (kind == u"tower")
        return either ? QStringLiteral("Tower of ") + s : s + QStringLiteral(" Tower");
    if (kind == u"shrine")
        return either ? QStringLiteral("Shrine of ") + s : s + QStringLiteral(" Shrine");
    if (kind == u"cave")
        return either ? s + QStringLiteral(" Caves") : QStringLiteral("Grotto of ") + s;
    if (kind == u"ruins")
        return either ? QStringLiteral("Ruins of ") + s : QStringLiteral("Old ") + s;
    if (kind == u"mine")
        return s + QStringLiteral(" Mine");
    if (kind == u"abbey")
        return s + QStringLiteral(" Abbey");
    if (kind == u"barrow")
        return s + QStringLiteral(" Barrow");
    if (kind == u"grove")
        return s + QStringLiteral(" Grove");
    if (kind == u"camp")
        return s + QStringLiteral(" Camp");
    if (kind == u"farmstead")
        return s + QStringLiteral(" Farm");
    if (kind == u"lighthouse")
        return s + QStringLiteral(" Light");
    return s;
}

QString NameGenerator::claim(const std::function<QString()>& make)
{
    // The tables hold tens of thousands of combinations; running dry means a bug.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const QString name = make();
        if (!m_taken.contains(name.toLower())) {
            m_taken.insert(name.toLower());
            return name;
        }
    }
    throw Error(QStringLiteral("The name tables ran out of new names"));
}

QString NameGenerator::placeName(const QString& kind)
{
    return claim([&] { return decorated(kind, stem()); });
}

QString NameGenerator::regionName()
{
    return claim([&] { return stem() + u' ' + pick(m_random, RegionWords); });
}

} // namespace vdm::worldgen
