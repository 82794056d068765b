// SPDX-License-Identifier: MIT
// The map view on the window's own components, without the window: each command leaves
// the viewport where it should, the scroll bars showing it, and tells what followers need.
#include "app/mainformfixture.h" // the form's generated components
#include "app/mappanel.h"
#include "common/fakeprompts.h"
#include "data/settings.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QScrollBar>
#include <gtest/gtest.h>

#include <optional>

namespace vdm::test {
namespace {

class MapViewTest : public ::testing::Test {
protected:
    MapViewTest()
    {
        ui.setupUi(&window);
        map = ui.PanelMap;
        map->attach(world, session, prompts);
        map->setScrollBars(ui.ScrollBarH, ui.ScrollBarV);
        QObject::connect(map, &TMapPanel::levelShown, [this] { told += "level "; });
        QObject::connect(map, &TMapPanel::zoomShown, [this] { told += "zoom "; });
        window.resize(378, 644);
        map->takePicture(QSize(3300, 3800), 10);
        map->updateScrollRanges();
        map->updateMargins();
    }

    void keepZoom(bool on)
    {
        Settings changed = session.settings();
        changed.KeepZoom = on;
        session.apply(changed);
    }

    /** The scroll bars show the viewport. */
    void expectMirrored(const char* what) const
    {
        const Viewport& v = map->view();
        EXPECT_EQ(ui.ScrollBarH->maximum(), v.scrollMaximum().x()) << what;
        EXPECT_EQ(ui.ScrollBarV->maximum(), v.scrollMaximum().y()) << what;
        EXPECT_EQ(ui.ScrollBarH->value(), v.scrollX()) << what;
        EXPECT_EQ(ui.ScrollBarV->value(), v.scrollY()) << what;
        EXPECT_EQ(ui.ScrollBarH->isEnabled(), v.scrollMaximum().x() >= 1) << what;
    }

    QWidget window;
    Ui::TMainForm ui;
    World world;
    SettingsSession session;
    FakePrompts prompts;
    TMapPanel* map = nullptr;
    QString told; // the signals, in order
};

TEST_F(MapViewTest, ZoomCommandsMirrorAndTellTheirLevel)
{
    using Z = ZoomCommand;
    const struct {
        const char* what;
        int start;
        Z command;
        bool keepZoom;
        QSize window;
        int zoom; // the level after the command
        bool ran;
    } cases[] = {
        {"in", 0, Z::In, false, {378, 644}, 1, true},
        {"in at the top", Viewport::HighestZoom, Z::In, false, {378, 644}, Viewport::HighestZoom, false},
        {"out", 3, Z::Out, false, {900, 900}, 2, true},
        {"out kept by the size limit", 3, Z::Out, true, {900, 1300}, 3, false},
        {"out within the limit", 3, Z::Out, true, {800, 1000}, 2, true},
        {"actual size", 5, Z::ActualSize, true, {378, 644}, 0, true},
    };
    for (const auto& c : cases) {
        keepZoom(false);
        map->zoom(ZoomCommand::ActualSize); // the stored view's restore only steps up
        map->restore(c.start, {});
        keepZoom(c.keepZoom);
        window.resize(c.window);
        told.clear();
        EXPECT_EQ(map->zoom(c.command), c.ran) << c.what;
        EXPECT_EQ(map->view().zoomIndex(), c.zoom) << c.what;
        EXPECT_EQ(told, c.ran ? QStringLiteral("level zoom ") : QString()) << c.what;
        expectMirrored(c.what);
    }
}

TEST_F(MapViewTest, ScrollsFollowTheKeysTheDragAndTheBarsAndTellNoZoom)
{
    map->restore(5, {1000, 1000});
    expectMirrored("restored");
    EXPECT_EQ(map->view().scroll(), QPoint(1000, 1000));

    told.clear();
    map->scroll(ScrollStep{Qt::Vertical, false, 1});
    EXPECT_EQ(map->view().scrollY(), 1000 + map->view().panel().height());
    expectMirrored("a page down");

    map->scrollBy({-30, -40});
    EXPECT_EQ(map->view().scrollX(), 970);
    expectMirrored("a drag");

    ui.ScrollBarH->setSliderPosition(123);
    map->followScrollBar(Qt::Horizontal);
    ui.ScrollBarV->setSliderPosition(456);
    map->followScrollBar(Qt::Vertical);
    EXPECT_EQ(map->view().scroll(), QPoint(123, 456));

    map->scrollTo({200, 300});
    EXPECT_EQ(map->view().scroll(), QPoint(200, 300));
    expectMirrored("the navigator");
    EXPECT_EQ(told, QString()); // the level, the title and the size limit stay
}

TEST_F(MapViewTest, GoAndABookmarkCentreTheirPointAndTellTheLevelThenTheZoom)
{
    const QPoint centre(map->view().panel().width() / 2, map->view().panel().height() / 2);
    told.clear();
    map->goTo(0, 0, 3, 7);
    EXPECT_EQ(map->view().zoomIndex(), Viewport::goTargetIndex(3));
    EXPECT_EQ(map->view().mapToPanel(0, 0), centre);
    EXPECT_EQ(map->highlight().index(), 7); // kept for the paint after Go's own
    EXPECT_EQ(told, QStringLiteral("level zoom "));
    expectMirrored("go");

    const ViewBookmark kept = ViewBookmark::of(map->view());
    map->goTo(20000, 30000, 1);
    EXPECT_EQ(map->highlight().index(), 7) << "a centring without a location highlights nothing new";
    told.clear();
    map->showBookmark(kept);
    EXPECT_EQ(map->view().zoomIndex(), Viewport::goTargetIndex(3));
    EXPECT_EQ(map->view().mapToPanel(0, 0), centre);
    EXPECT_EQ(told, QStringLiteral("level zoom "));
    expectMirrored("bookmark");

    map->forgetHighlight();
    EXPECT_EQ(map->highlight().index(), -1);
}

} // namespace
} // namespace vdm::test
