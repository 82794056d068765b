// SPDX-License-Identifier: MIT
#include "journey/journeysettings.h"

#include "data/inifile.h"

#include <cmath>

namespace vdm::JourneySettings {

namespace {

const QString SectionName = QString::fromLatin1(Section);

/** One flag key per way, in TravelMode order. */
const char* const FlagKeys[TravelModeCount] = {"Walk", "Skarnels", "Ships", "MagesGuild"};

/** The longest setting the file may hold: a day's worth of minutes or units per hour far beyond any map. */
constexpr int MaxSpeed = 10000000, MaxMinutes = 100000;

int readRange(const IniFile& ini, const char* key, int lowest, int highest, int fallback)
{
    const int v = ini.ReadInteger(SectionName, QString::fromLatin1(key), fallback);
    return v < lowest || v > highest ? fallback : v;
}

int minutes(double hours)
{
    return int(std::lround(hours * 60));
}

} // namespace

TravelSettings read(const IniFile& ini)
{
    const TravelSettings d;
    TravelSettings s;
    for (int m = 0; m < TravelModeCount; ++m)
        s.enabled[std::size_t(m)]
            = ini.ReadBool(SectionName, QString::fromLatin1(FlagKeys[m]), d.enabled[std::size_t(m)]);
    s.walkSpeed = readRange(ini, "WalkSpeed", 1, MaxSpeed, int(d.walkSpeed));
    s.skarnelSpeed = readRange(ini, "SkarnelSpeed", 1, MaxSpeed, int(d.skarnelSpeed));
    s.shipSpeed = readRange(ini, "ShipSpeed", 1, MaxSpeed, int(d.shipSpeed));
    s.guildJumpCost = readRange(ini, "GuildJumpMinutes", 0, MaxMinutes, minutes(d.guildJumpCost)) / 60.0;
    s.changePenalty = readRange(ini, "ChangeMinutes", 0, MaxMinutes, minutes(d.changePenalty)) / 60.0;
    return s;
}

bool write(IniFile& ini, const TravelSettings& settings)
{
    const TravelSettings stored = read(ini);
    bool wrote = false;
    const auto put = [&](const char* key, int now, int was) {
        if (now != was) {
            ini.WriteInteger(SectionName, QString::fromLatin1(key), now);
            wrote = true;
        }
    };
    for (int m = 0; m < TravelModeCount; ++m)
        put(FlagKeys[m], settings.enabled[std::size_t(m)] ? 1 : 0, stored.enabled[std::size_t(m)] ? 1 : 0);
    put("WalkSpeed", int(std::lround(settings.walkSpeed)), int(std::lround(stored.walkSpeed)));
    put("SkarnelSpeed", int(std::lround(settings.skarnelSpeed)), int(std::lround(stored.skarnelSpeed)));
    put("ShipSpeed", int(std::lround(settings.shipSpeed)), int(std::lround(stored.shipSpeed)));
    put("GuildJumpMinutes", minutes(settings.guildJumpCost), minutes(stored.guildJumpCost));
    put("ChangeMinutes", minutes(settings.changePenalty), minutes(stored.changePenalty));
    return wrote;
}

} // namespace vdm::JourneySettings
