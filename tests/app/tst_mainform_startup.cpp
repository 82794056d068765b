// SPDX-License-Identifier: MIT
// The start of the real program while a worker reads the databases during the picture
// decode: the boxes the user sees, their texts and their order stay as a serial start
// shows them, and the first show reads no file a second time.
#include "app/mainformfixture.h"
#include "app/program.h"
#include "common/testutils.h"
#include "data/errors.h"
#include "data/markersdb.h"

#include <QDir>
#include <QFileInfo>

#include <string>
#include <vector>

namespace vdm::test {
namespace {

QByteArray utf16(const QByteArray& latin1)
{
    QByteArray out("\xFF\xFE");
    for (char c : latin1)
        out.append(c).append('\0');
    return out;
}

const QByteArray kBadLevel = locationRecord("Beta", 1, 3, 4).replace("lv= 1", "lv= x");
const QByteArray kBadRoute = "rout\r\n   nm = Alpha\r\nx Beta\r\nend\r\n";
const QByteArray kBadMarker = "marker\r\n   text = Camp\r\n   pos = 10\r\nend\r\n";

class ReadAheadStartTest : public MainFormTest {
protected:
    void writeDatabases(const QByteArray& locations, const QByteArray& routes, const QByteArray& user,
                        const QByteArray& markers)
    {
        world.write(QStringLiteral("vdmain.gdb"), locations);
        const std::pair<const char*, QByteArray> optional[]
            = {{"routes.gdb", routes}, {"user.gdb", user}, {"markers.gdb", markers}};
        for (const auto& [name, bytes] : optional)
            if (!bytes.isNull())
                world.write(QLatin1String(name), bytes);
    }
    /** A user-file message as the program words it, for `name` in the world. */
    QString unicodeNotice(const char* name, const char* what) const
    {
        return QStringLiteral("Veldamar Interactive Map|The file %1 is stored as UTF-16 text, which this program "
                              "cannot read. Nothing was read from it, and it is kept unchanged unless you change %2.")
            .arg(QFileInfo(world.path(QLatin1String(name))).absoluteFilePath(), QLatin1String(what));
    }
};

TEST_F(ReadAheadStartTest, APictureErrorEndsTheRunBeforeAnyDatabaseBox)
{
    // Every database is broken too, and read while the picture decodes: only the picture's
    // error is shown, and the window is never built.
    const QByteArray picture = readFile(world.path(QStringLiteral("bigmap.jpg")));
    world.write(QStringLiteral("bigmap.jpg"), picture.left(picture.size() / 2));
    writeDatabases(locationRecord("Alpha", 0, 0, 0) + kBadLevel, kBadRoute, utf16("loc\r\n"), utf16("marker\r\n"));
    EXPECT_EQ(runProgram(prompts, world.appDir()), 0);
    EXPECT_EQ(texts(prompts.boxes), texts({QStringLiteral("error|Premature end of JPEG file")}));
    // The window's own construction fails the same way, and waits for its worker.
    EXPECT_THROW(TMainForm(prompts, world.appDir()), Error);
}

TEST_F(ReadAheadStartTest, DatabaseBoxesComeInTheirOrderWithTheirTexts)
{
    const QByteArray places = locationRecord("Alpha", 0, 0, 0) + locationRecord("Beta", 0, 600, 600);
    const QByteArray markers = writeMarkers({marker("Camp", 10, -20)});
    struct Case {
        const char* what;
        QByteArray locations, routes, user, markers;
        QStringList boxes;
        int listed; // entries of the location list after the first show
    };
    const Case cases[] = {
        {"a level that is no number",
         locationRecord("Alpha", 0, 0, 0) + kBadLevel,
         kBadRoute,
         utf16("loc\r\n"),
         kBadMarker,
         {QStringLiteral("error|'x' is not a valid integer value")},
         1},
        {"a route that is no number",
         places,
         kBadRoute,
         utf16("loc\r\n"),
         kBadMarker,
         {QStringLiteral("error|'x' is not a valid integer value")},
         2},
        {"both user files in UTF-16",
         places,
         {},
         utf16("loc\r\n"),
         utf16("marker\r\n"),
         {unicodeNotice("user.gdb", "a status or a note"), unicodeNotice("markers.gdb", "the markers")},
         2},
        {"user data in UTF-16, then a broken marker",
         places,
         {},
         utf16("loc\r\n"),
         kBadMarker,
         {unicodeNotice("user.gdb", "a status or a note"), QStringLiteral("error|'10' is not a valid integer value")},
         2},
        {"a whole world", places, {}, {}, markers, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"routes.gdb", "user.gdb", "markers.gdb"})
            QFile::remove(world.path(QLatin1String(name)));
        writeDatabases(c.locations, c.routes, c.user, c.markers);
        prompts.boxes.clear();
        open();
        EXPECT_EQ(texts(prompts.boxes), texts(c.boxes));
        EXPECT_EQ(ui().CBLoc->count(), c.listed);
        EXPECT_EQ(ui().CBLoc->currentText(), QStringLiteral("Alpha")); // the first show still selects
        close();
    }
}

TEST_F(ReadAheadStartTest, TheFirstShowReadsEveryDatabaseOnce)
{
    writeDatabases(locationRecord("Alpha", 0, 0, 0) + locationRecord("Beta", 0, 600, 600),
                   "rout\r\n   nm = Alpha\r\n1 Beta\r\nend\r\n", {}, writeMarkers({marker("Camp", 10, -20)}));
    open();
    EXPECT_EQ(form->world().stepsTakenAhead(), 4);
    EXPECT_EQ(form->world().locations()[0].Routes.size(), 1u);
    EXPECT_EQ(form->world().markers().size(), 1u);
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
}

TEST_F(ReadAheadStartTest, ADatabaseChangedBetweenConstructionAndShowIsReadAsItIsThen)
{
    writeDatabases(locationRecord("Alpha", 0, 0, 0), {}, {}, {});
    TMainForm& f = build();
    while (f.world().readingAhead())
        QCoreApplication::processEvents();
    writeDatabases(locationRecord("Alpha", 0, 0, 0) + locationRecord("Beta", 0, 600, 600), {}, {}, {});
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.world().locations().size(), 2u);
    EXPECT_EQ(ui().CBLoc->count(), 2);
    EXPECT_EQ(f.world().stepsTakenAhead(), 0); // read again, by the first show itself
}

/** A world long enough to have its list ordered aside, opened; the list not yet asked for. */
class ListAsideTest : public ReadAheadStartTest {
protected:
    void openAside()
    {
        writeDatabases(locationRecord("beta", 0, 0, 0) + locationRecord("Alpha", 0, 600, 600), {}, {}, {});
        const_cast<World&>(build().world()).setListOrderedAsideFrom(1);
        form->show(); // the first show loads the world; the list's order is not made on its way
    }
    bool listReady()
    {
        return QTest::qWaitFor([this] { return ui().CBLoc->isEnabled(); }, 10000);
    }
};

TEST_F(ListAsideTest, TheListFillsOnceOrderedAndSelectsItsFirstName)
{
    openAside();
    EXPECT_FALSE(ui().CBLoc->isEnabled());
    EXPECT_EQ(ui().CBLoc->count(), 0);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get())) << "the map shows meanwhile";
    ASSERT_TRUE(listReady());
    EXPECT_EQ(ui().CBLoc->count(), 2);
    EXPECT_EQ(ui().CBLoc->currentText(), QStringLiteral("Alpha"));
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Alpha "));
}

TEST_F(ListAsideTest, TheOrderIsStartedOnceTheFirstFrameIsOut)
{
    openAside();
    // Heard after the list's own handler of the same paint: the order is not started
    // within the paint, which hands its frame to the screen first.
    int paints = 0;
    bool startedInThePaint = false;
    QObject::connect(ui().PanelMap, &TMapPanel::painted, form.get(), [&] {
        if (paints++ == 0)
            startedInThePaint = form->world().orderingListAside();
    });
    ASSERT_TRUE(listReady());
    EXPECT_GE(paints, 1);
    EXPECT_FALSE(startedInThePaint);
    EXPECT_EQ(ui().CBLoc->count(), 2);
}

TEST_F(ListAsideTest, WhatNeedsTheListMeanwhileWaitsForIt)
{
    openAside();
    // Enter on the map opens the box on the selected place: the first name, once listed.
    panel()->setFocus();
    QTest::keyClick(panel(), Qt::Key_Return);
    EXPECT_TRUE(ui().CBLoc->isEnabled());
    EXPECT_EQ(ui().CBLoc->count(), 2);
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Alpha "));
}

} // namespace
} // namespace vdm::test
