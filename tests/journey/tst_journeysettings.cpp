// SPDX-License-Identifier: MIT
#include "journey/journeysettings.h"

#include "data/inifile.h"

#include <gtest/gtest.h>

using namespace vdm;

namespace {

IniFile memoryIni(QByteArray bytes, MemoryIniStorage*& storage)
{
    auto owned = std::make_unique<MemoryIniStorage>(std::move(bytes));
    storage = owned.get();
    return IniFile(QStringLiteral("qor.ini"), std::move(owned));
}

TEST(JourneySettings, AFileWithoutTheSectionGivesTheDefaultsAndStaysAsItWas)
{
    const QByteArray before = "[Main]\r\nZoom=3\r\n";
    MemoryIniStorage* storage = nullptr;
    IniFile ini = memoryIni(before, storage);
    EXPECT_EQ(JourneySettings::read(ini), TravelSettings{});
    EXPECT_FALSE(JourneySettings::write(ini, TravelSettings{}));
    EXPECT_EQ(storage->bytes(), before);
}

TEST(JourneySettings, OnlyChangedValuesAreWrittenAndReadBack)
{
    MemoryIniStorage* storage = nullptr;
    IniFile ini = memoryIni("[Main]\r\nZoom=3\r\n", storage);
    TravelSettings s;
    s.enabled[std::size_t(TravelMode::Ship)] = false;
    s.guildJumpCost = 0.75;
    EXPECT_TRUE(JourneySettings::write(ini, s));
    EXPECT_EQ(storage->bytes(), "[Main]\r\nZoom=3\r\n[Journey]\r\nShips=0\r\nGuildJumpMinutes=45\r\n");
    EXPECT_EQ(JourneySettings::read(ini), s);
    EXPECT_FALSE(JourneySettings::write(ini, s)); // nothing new
}

TEST(JourneySettings, UnusableValuesGiveTheirDefaults)
{
    struct Case {
        const char* line;
        double TravelSettings::*field;
    };
    for (const Case& c :
         {Case{"WalkSpeed=0", &TravelSettings::walkSpeed}, Case{"ShipSpeed=fast", &TravelSettings::shipSpeed},
          Case{"SkarnelSpeed=-5", &TravelSettings::skarnelSpeed},
          Case{"ChangeMinutes=-1", &TravelSettings::changePenalty},
          Case{"GuildJumpMinutes=999999999", &TravelSettings::guildJumpCost}}) {
        SCOPED_TRACE(c.line);
        MemoryIniStorage* storage = nullptr;
        const IniFile ini = memoryIni(QByteArray("[Journey]\r\n") + c.line + "\r\n", storage);
        EXPECT_EQ(JourneySettings::read(ini).*c.field, TravelSettings{}.*c.field);
    }
    MemoryIniStorage* storage = nullptr;
    const IniFile ini = memoryIni("[journey]\r\nwalkspeed=1500\r\nChangeMinutes=0\r\n", storage);
    const TravelSettings s = JourneySettings::read(ini);
    EXPECT_EQ(s.walkSpeed, 1500); // names compared without case
    EXPECT_EQ(s.changePenalty, 0);
}

} // namespace
