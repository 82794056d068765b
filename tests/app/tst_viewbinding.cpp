// SPDX-License-Identifier: MIT
// The view binding on the window's own components, without the window: each command
// leaves the viewport where it should and every mirror showing it.
#include "app/mainformfixture.h" // the form's generated components
#include "app/viewbinding.h"
#include "data/settings.h"

#include <QScrollBar>
#include <gtest/gtest.h>

#include <optional>

namespace vdm::test {
namespace {

class ViewBindingTest : public ::testing::Test {
protected:
    ViewBindingTest()
    {
        QObject::connect(&binding, &ViewBinding::levelShown, [this] { ++levels; });
        window.resize(378, 644);
        binding.takePicture(QSize(3300, 3800), 10);
        binding.updateScrollRanges();
        binding.updateMargins();
    }

    /** The scroll bars, the title and the size limit show the viewport. */
    void expectMirrored(const char* what) const
    {
        const Viewport& v = binding.view();
        EXPECT_EQ(ui.ScrollBarH->maximum(), v.scrollMaximum().x()) << what;
        EXPECT_EQ(ui.ScrollBarV->maximum(), v.scrollMaximum().y()) << what;
        EXPECT_EQ(ui.ScrollBarH->value(), v.scrollX()) << what;
        EXPECT_EQ(ui.ScrollBarV->value(), v.scrollY()) << what;
        EXPECT_EQ(ui.ScrollBarH->isEnabled(), v.scrollMaximum().x() >= 1) << what;
        EXPECT_EQ(window.windowTitle(), titleWithZoom(v.zoomIndex())) << what;
    }

    static Ui::TMainForm& built(Ui::TMainForm& ui, QWidget& window)
    {
        ui.setupUi(&window);
        return ui;
    }

    QWidget window;
    Ui::TMainForm ui;
    Settings settings;
    int levels = 0;
    ViewBinding binding{window, {built(ui, window).PanelMap, ui.ScrollBarH, ui.ScrollBarV}, settings};
};

TEST_F(ViewBindingTest, ZoomCommandsMirrorTheirLevel)
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
        settings.KeepZoom = false;
        window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        binding.zoom(ZoomCommand::ActualSize); // the stored view's restore only steps up
        binding.restore(c.start, {});
        settings.KeepZoom = c.keepZoom;
        window.resize(c.window);
        levels = 0;
        EXPECT_EQ(binding.zoom(c.command), c.ran) << c.what;
        EXPECT_EQ(binding.view().zoomIndex(), c.zoom) << c.what;
        EXPECT_EQ(levels, c.ran ? 1 : 0) << c.what;
        expectMirrored(c.what);
        if (c.ran && c.keepZoom) {
            EXPECT_EQ(window.maximumSize(), Viewport::sizeLimit(c.zoom)) << c.what;
        }
    }
}

TEST_F(ViewBindingTest, ScrollsFollowTheKeysTheDragAndTheBars)
{
    binding.restore(5, {1000, 1000});
    expectMirrored("restored");
    EXPECT_EQ(binding.view().scroll(), QPoint(1000, 1000));

    binding.scroll(ScrollStep{Qt::Vertical, false, 1});
    EXPECT_EQ(binding.view().scrollY(), 1000 + binding.view().panel().height());
    expectMirrored("a page down");

    binding.scrollBy({-30, -40});
    EXPECT_EQ(binding.view().scrollX(), 970);
    expectMirrored("a drag");

    ui.ScrollBarH->setSliderPosition(123);
    binding.followScrollBar(Qt::Horizontal);
    ui.ScrollBarV->setSliderPosition(456);
    binding.followScrollBar(Qt::Vertical);
    EXPECT_EQ(binding.view().scroll(), QPoint(123, 456));
}

TEST_F(ViewBindingTest, GoCentresTheLocationAndTellsTheLevel)
{
    levels = 0;
    binding.goTo(0, 0, 3);
    EXPECT_EQ(binding.view().zoomIndex(), Viewport::goTargetIndex(3));
    EXPECT_EQ(levels, 1);
    const QPoint centre(binding.view().panel().width() / 2, binding.view().panel().height() / 2);
    EXPECT_EQ(binding.view().mapToPanel(0, 0), centre);
    binding.showTitle(); // the window's, after the highlight and the paint
    expectMirrored("go");
}

} // namespace
} // namespace vdm::test
