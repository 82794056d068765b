// SPDX-License-Identifier: MIT
// The view renderer with a route drawn: the names are checked before anything is drawn.
#include "common/testutils.h"
#include "common/testworld.h"
#include "journey/journeypainter.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

using Rendered = test::ProgramRun;

Rendered renderWith(const QStringList& arguments)
{
    return test::runProgram(QStringLiteral(VDM_RENDER_PROGRAM), arguments);
}

Rendered renderRoute(const QString& dir, const QString& out, const QStringList& extra)
{
    return renderWith(QStringList{dir, out} + extra);
}

/** How many pixels hold exactly the colour of the route's legs. */
int routePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == (JourneyPainter::Core & 0xffffff);
    return count;
}

class RenderRoute : public testing::Test {
protected:
    void SetUp() override
    {
        test::TestWorld::writePicture(dir.filePath("bigmap.jpg"), QSize(660, 760));
        test::writeFile(dir.filePath("vdmain.gdb"), test::locationRecord("Harbour", 0, -60000, 0)
                                                        + test::locationRecord("Isle", 0, 100000, 150000)
                                                        + test::locationRecord("Cap\xE9", 0, 20000, 20000));
        // A ship out to the isle and none back.
        test::writeFile(dir.filePath("routes.gdb"), "the rout of\r\n   nm = Harbour\r\n2 Isle\r\nend\r\n");
    }
    QTemporaryDir dir;
};

TEST_F(RenderRoute, DrawsTheRouteOverTheMap)
{
    const Rendered plain = renderRoute(dir.path(), dir.filePath("plain.png"), {});
    ASSERT_EQ(plain.status, 0) << plain.errors.toStdString();
    const Rendered routed = renderRoute(dir.path(), dir.filePath("route.png"), {"--route", "Harbour", "Isle"});
    ASSERT_EQ(routed.status, 0) << routed.errors.toStdString();
    EXPECT_EQ(routePixels(QImage(dir.filePath("plain.png"))), 0);
    EXPECT_GT(routePixels(QImage(dir.filePath("route.png"))), 20);

    // The options may come before the world as well.
    const Rendered first = renderWith({"--route", "Harbour", "Isle", dir.path(), dir.filePath("first.png")});
    EXPECT_EQ(first.status, 0) << first.errors.toStdString();
    EXPECT_EQ(QImage(dir.filePath("first.png")), QImage(dir.filePath("route.png")));
}

TEST_F(RenderRoute, TheSettingsFileChoosesTheWaysARouteMayTake)
{
    // Without ships the isle is out of reach: the route stays on the harbour, as the window
    // plans it with the same settings.
    test::writeFile(dir.filePath("noships.ini"), "[Journey]\r\nShips=0\r\n");
    test::writeFile(dir.filePath("ships.ini"), "[Journey]\r\nShips=1\r\n");
    const Rendered ships = renderRoute(dir.path(), dir.filePath("ships.png"),
                                       {"--route", "Harbour", "Isle", "--settings", dir.filePath("ships.ini")});
    ASSERT_EQ(ships.status, 0) << ships.errors.toStdString();
    EXPECT_GT(routePixels(QImage(dir.filePath("ships.png"))), 20);
    const Rendered none = renderRoute(dir.path(), dir.filePath("noships.png"),
                                      {"--route", "Harbour", "Isle", "--settings", dir.filePath("noships.ini")});
    ASSERT_EQ(none.status, 0) << none.errors.toStdString();
    EXPECT_TRUE(none.errors.contains("'Isle' cannot be reached from 'Harbour'")) << none.errors.toStdString();
}

TEST_F(RenderRoute, UnknownNamesAndMissingValuesAreUsageErrors)
{
    struct Case {
        const char* what;
        QStringList options;
        QString message;
    };
    const Case cases[] = {
        {"unknown from", {"--route", "Atlantis", "Isle"}, "'Atlantis'"},
        {"unknown to", {"--route", "Harbour", "harbour"}, "'harbour'"},
        {"one name", {"--route", "Harbour"}, "--route needs two place names"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Rendered r = renderRoute(dir.path(), dir.filePath("out.png"), c.options);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.errors.contains(c.message)) << r.errors.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("out.png")));
    }
}

TEST_F(RenderRoute, TheCheckNamesStrandedPlacesAndOneWayRoutes)
{
    for (const bool picture : {false, true}) {
        SCOPED_TRACE(picture ? "with a picture" : "the report alone");
        const QString out = dir.filePath(picture ? "checked.png" : "none.png");
        const Rendered r
            = renderWith(picture ? QStringList{dir.path(), out, "--check"} : QStringList{"--check", dir.path()});
        ASSERT_EQ(r.status, 0) << r.errors.toStdString();
        const QStringList lines = r.out.trimmed().split('\n');
        ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
        EXPECT_EQ(lines[0], "unreached: Harbour (no route arrives and no walk reaches it)");
        EXPECT_EQ(lines[2], QString::fromUtf8("one-way: Harbour → Isle (no route leads back)"));
        EXPECT_EQ(lines[3], "2 places unreached, 1 one-way route");
        EXPECT_EQ(QFile::exists(out), picture);
    }
}

TEST_F(RenderRoute, AnUnreachableTargetIsSaidAndTheNearestWayDrawn)
{
    // Names are matched as the list shows them: the code page's é.
    const Rendered r
        = renderRoute(dir.path(), dir.filePath("back.png"), {"--route", "Isle", QString::fromUtf8("Capé")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.errors.contains(QString::fromUtf8("'Capé' cannot be reached from 'Isle'"))) << r.errors.toStdString();
    EXPECT_EQ(routePixels(QImage(dir.filePath("back.png"))), 0); // nothing nearer is reachable: no leg
}

} // namespace
} // namespace vdm
