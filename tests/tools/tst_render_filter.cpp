// SPDX-License-Identifier: MIT
// The view renderer with a place filter: the same picture as a world holding only the
// places the filter admits.
#include "common/testutils.h"
#include "common/testworld.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

using Rendered = test::ProgramRun;

Rendered render(const QStringList& arguments)
{
    return test::runProgram(QStringLiteral(VDM_RENDER_PROGRAM), arguments);
}

QByteArray record(const QByteArray& name, const QByteArray& region, const QByteArray& kind, int x, int y)
{
    QByteArray r = test::locationRecord(name, 0, x, y);
    r.replace("  rg= Test\r\n", "  rg= " + region + "\r\n");
    r.replace("  ty= town\r\n", "  ty= " + kind + "\r\n");
    return r;
}

struct Place {
    const char* name;
    const char* region;
    const char* kind;
    int x, y;
};

constexpr Place Places[] = {
    {"Deepdelve", "Karuford Downs", "mine", -60000, 0},       {"Greyshaft", "Karuford Downs", "mine", 20000, 20000},
    {"Emberpit", "Ashen Vale", "mine", 100000, 150000},       {"Karuford", "Karuford Downs", "town", 0, -40000},
    {"Stillwater", "Karuford Downs", "shrine", 30000, 90000}, {"Vale Gate", "Ashen Vale", "town", -90000, 120000},
};

void writeWorld(const QString& dir, bool (*keep)(const Place&))
{
    test::TestWorld::writePicture(dir + "/bigmap.jpg", QSize(660, 760));
    QByteArray db;
    for (const Place& p : Places)
        if (keep(p))
            db += record(p.name, p.region, p.kind, p.x, p.y);
    test::writeFile(dir + "/vdmain.gdb", db);
}

TEST(RenderFilter, PaintsAsAWorldOfOnlyTheAdmittedPlaces)
{
    QTemporaryDir all, mines, out;
    writeWorld(all.path(), [](const Place&) { return true; });
    writeWorld(mines.path(),
               [](const Place& p) { return QByteArray(p.kind) == "mine" && QByteArray(p.region) == "Karuford Downs"; });
    for (const QString& zoom : {QStringLiteral("0"), QStringLiteral("1")}) {
        const QString filtered = out.filePath("filtered" + zoom + ".png"),
                      smaller = out.filePath("smaller" + zoom + ".png");
        const QString plain = out.filePath("plain" + zoom + ".png");
        const Rendered a
            = render({all.path(), filtered, "--zoom", zoom, "--kind", "mine", "--region", "Karuford Downs"});
        ASSERT_EQ(a.status, 0) << a.errors.toStdString();
        const Rendered b = render({mines.path(), smaller, "--zoom", zoom});
        ASSERT_EQ(b.status, 0) << b.errors.toStdString();
        const Rendered c = render({all.path(), plain, "--zoom", zoom});
        ASSERT_EQ(c.status, 0) << c.errors.toStdString();
        EXPECT_EQ(QImage(filtered), QImage(smaller)) << "zoom " << zoom.toStdString();
        EXPECT_NE(QImage(filtered), QImage(plain)) << "the filter left out something that shows";
    }
    // Several kinds: either one is admitted.
    const Rendered d = render({all.path(), out.filePath("two.png"), "--kind", "mine", "--kind", "shrine"});
    EXPECT_EQ(d.status, 0) << d.errors.toStdString();
}

TEST(RenderFilter, AValueNoPlaceCanHoldIsAUsageError)
{
    QTemporaryDir dir;
    writeWorld(dir.path(), [](const Place&) { return true; });
    const Rendered r
        = render({dir.path(), dir.filePath("x.png"), "--kind", QString::fromUtf8("\u041C\u0438\u043D\u0430")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.errors.contains("--kind")) << r.errors.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));
}

} // namespace
} // namespace vdm
