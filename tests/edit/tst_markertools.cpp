// SPDX-License-Identifier: MIT
// When the add, delete and delete-all marker tools may be pressed.
#include "edit/markertools.h"

#include <gtest/gtest.h>

#include <functional>

namespace vdm {
namespace {

struct Case {
    const char* what;
    std::function<void(MarkerTools&)> events;
    bool add, del, clear;
};

const Case kCases[] = {
    {"a new window offers none", [](MarkerTools&) {}, false, false, false},
    {"10 % offers neither add nor delete", [](MarkerTools& t) { t.levelShown(0, 3); }, false, false, false},
    {"zoomed in without markers: add only", [](MarkerTools& t) { t.levelShown(1, 0); }, true, false, false},
    {"zoomed in with markers: add and delete", [](MarkerTools& t) { t.levelShown(2, 1); }, true, true, false},
    {"stored markers at 10 %: delete all only", [](MarkerTools& t) { t.markersLoaded(0, 2); }, false, false, true},
    {"stored markers zoomed in: delete too",
     [](MarkerTools& t) {
         t.levelShown(1, 0);
         t.markersLoaded(1, 2);
     },
     true, true, true},
    {"no stored markers change nothing",
     [](MarkerTools& t) {
         t.levelShown(1, 0);
         t.markersLoaded(1, 0);
     },
     true, false, false},
    {"a marker added zoomed in",
     [](MarkerTools& t) {
         t.levelShown(1, 0);
         t.clicked(0, 1, false);
     },
     true, true, true},
    {"a marker added at 10 % enables delete there",
     [](MarkerTools& t) {
         t.levelShown(0, 0);
         t.clicked(0, 1, false);
     },
     false, true, true},
    {"...until the level next changes",
     [](MarkerTools& t) {
         t.clicked(0, 1, false);
         t.levelShown(0, 1);
     },
     false, false, true},
    {"a click outside the area adds nothing",
     [](MarkerTools& t) {
         t.levelShown(1, 0);
         t.clicked(0, 0, false);
     },
     true, false, false},
    {"deleting one of two keeps the tools",
     [](MarkerTools& t) {
         t.levelShown(1, 2);
         t.markersLoaded(1, 2);
         t.clicked(2, 1, true);
     },
     true, true, true},
    {"deleting the last one ends delete and delete all",
     [](MarkerTools& t) {
         t.levelShown(1, 1);
         t.markersLoaded(1, 1);
         t.clicked(1, 0, true);
     },
     true, false, false},
    {"a delete-mode click on nothing with none left",
     [](MarkerTools& t) {
         t.levelShown(1, 0);
         t.clicked(0, 0, true);
     },
     true, false, false},
    {"delete all",
     [](MarkerTools& t) {
         t.levelShown(1, 2);
         t.markersLoaded(1, 2);
         t.cleared();
     },
     true, false, false},
    {"another world with markers", [](MarkerTools& t) { t.worldOpened(1, 1); }, true, true, true},
    {"another world without markers",
     [](MarkerTools& t) {
         t.markersLoaded(0, 2);
         t.worldOpened(0, 0);
     },
     false, false, false},
    {"an import that brought markers", [](MarkerTools& t) { t.imported(0, 1); }, false, false, true},
    {"an import into a world without markers", [](MarkerTools& t) { t.imported(1, 0); }, true, false, false},
    {"an import keeps delete all",
     [](MarkerTools& t) {
         t.markersLoaded(0, 1);
         t.imported(2, 1);
     },
     true, true, true},
};

TEST(MarkerToolsTest, FollowWhatHappened)
{
    for (const Case& c : kCases) {
        MarkerTools tools;
        c.events(tools);
        EXPECT_EQ(tools.addEnabled(), c.add) << c.what;
        EXPECT_EQ(tools.deleteEnabled(), c.del) << c.what;
        EXPECT_EQ(tools.clearEnabled(), c.clear) << c.what;
    }
}

} // namespace
} // namespace vdm
