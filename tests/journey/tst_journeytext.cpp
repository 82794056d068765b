// SPDX-License-Identifier: MIT
#include "journey/journeytext.h"

#include <gtest/gtest.h>

using namespace vdm;

namespace {

TEST(JourneyText, DistancesAndDurations)
{
    struct Case {
        double value;
        const char* distance;
        const char* duration;
    };
    for (const Case& c :
         {Case{0, "0", "0 min"}, Case{999.6, "1 000", "999 h 36 min"}, Case{3120, "3 120", "3120 h 00 min"},
          Case{0.75, "1", "45 min"}, Case{1234567, "1 234 567", "1234567 h 00 min"}, Case{-3, "0", "0 min"}}) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(JourneyText::distance(c.value), QString::fromUtf8(c.distance));
        EXPECT_EQ(JourneyText::duration(c.value), QString::fromUtf8(c.duration));
    }
}

TEST(JourneyText, TotalsNameTheWaysUsed)
{
    const auto leg = [](TravelMode m, double d) { return JourneyLeg{0, 1, m, d, 1}; };
    struct Case {
        std::vector<JourneyLeg> legs;
        const char* text;
    };
    for (const Case& c : {
             Case{{}, "no legs"},
             Case{{leg(TravelMode::Walk, 800)}, "1 leg \u00b7 walk 800"},
             Case{{leg(TravelMode::Ship, 5000), leg(TravelMode::Ship, 100), leg(TravelMode::Guild, 9),
                   leg(TravelMode::Walk, 3000.4), leg(TravelMode::Walk, 120)},
                  "5 legs \u00b7 2 by ship \u00b7 1 guild jump \u00b7 walk 3 120"},
             Case{{leg(TravelMode::Skarnel, 1), leg(TravelMode::Guild, 1), leg(TravelMode::Guild, 1)},
                  "3 legs \u00b7 1 by skarnel \u00b7 2 guild jumps"},
         }) {
        Journey j;
        j.legs = c.legs;
        EXPECT_EQ(JourneyText::totals(j), QString::fromUtf8(c.text));
    }
}

TEST(JourneyText, TheClipboardHoldsTheEndsTheTotalsAndTheLegs)
{
    LocationList places(3);
    places[0].Name = "Harbour";
    places[1].Name = "Cap\xE9";
    places[2].Name = "Isle";
    Journey j;
    j.start = 0;
    j.target = 2;
    j.end = 1;
    j.legs = {{0, 1, TravelMode::Walk, 1500, 1.5}};
    EXPECT_EQ(JourneyText::clipboardText(j, places),
              QString::fromUtf8("Harbour \u2192 Isle\n"
                                "Isle cannot be reached; the route leads to Capé, the nearest place that can.\n"
                                "1 leg \u00b7 walk 1 500, 1 h 30 min\n"
                                "1. Harbour \u2192 Capé: walk, 1 500, 1 h 30 min\n"));
}

} // namespace
