// SPDX-License-Identifier: MIT
#include "app/imagecommand.h"

#include "app/mapcanvas.h"
#include "app/mappanel.h"
#include "app/savetarget.h"
#include "dialogs/errorguard.h"
#include "data/settings.h"
#include "map/mapimage.h"
#include "session/proposedfile.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>

namespace vdm {
namespace {

const QString kCaption = QStringLiteral("Save view as image");

} // namespace

ImageCommand::ImageCommand(QWidget& window, TMapPanel& mapPanel, const MapCanvas& canvas, const World& world,
                           SettingsSession& settings, Prompts& prompts)
    : QObject(&window), m_window(window), m_panel(mapPanel), m_canvas(canvas), m_world(world), m_settings(settings),
      m_prompts(prompts)
{}

void ImageCommand::copyView()
{
    // Exactly the image the panel has just been given: a scroll's reuse paints the same
    // pixels as a whole paint, so the copy takes none of its own.
    m_panel.repaintWhole();
    if (m_panel.isVisible() && !m_canvas.backBuffer().isNull())
        QGuiApplication::clipboard()->setImage(m_canvas.backBuffer());
}

void ImageCommand::saveViewAsImage()
{
    // Both choices carry the screen's resolution: the panel's image is painted at it, and
    // the whole map is painted at it too.
    const qreal ratio = m_canvas.backBuffer().isNull() ? 1.0 : m_canvas.backBuffer().devicePixelRatio();
    // The whole map as veldamar-render paints it: no Go highlight, which belongs to the view.
    GoHighlight none;
    const MapScene whole = m_canvas.scene(none);
    const QSize wholeSize = backBufferSize(MapImage::wholeMapSize(whole.view), ratio);
    const std::optional<int> choice = m_prompts.askChoice(
        &m_window, kCaption,
        QStringLiteral("Save the visible map panel, or the whole map at this zoom level (%1 x %2 pixels)?")
            .arg(wholeSize.width())
            .arg(wholeSize.height()),
        {QStringLiteral("Visible panel"), QStringLiteral("Whole map")});
    if (!choice)
        return;
    const QString start
        = proposedFile(m_settings.settings().ImageFolder, QStandardPaths::PicturesLocation, m_world.folder(),
                       QStringLiteral("map"), QDate::currentDate(), QStringLiteral("png"));
    const std::optional<QString> path = chooseSaveTarget(
        m_prompts, &m_window, kCaption, start, QStringLiteral("Images (*.png *.jpg *.jpeg)"), m_world, m_settings);
    if (!path)
        return;
    MapImage::requireFormat(*path); // before any painting
    Settings remembered = m_settings.settings();
    remembered.ImageFolder = rememberedFolder(*path);
    m_settings.apply(remembered);

    if (*choice == 0) {
        // Exactly what the panel shows now, as the clipboard copy takes it.
        m_panel.repaintWhole();
        MapImage::write(*path, m_canvas.backBuffer());
        return;
    }

    // Cancel is looked at before the paint and again before the file is written.
    QProgressDialog progress(QStringLiteral("Painting the whole map..."), QStringLiteral("Cancel"), 0, 3, &m_window);
    progress.setWindowTitle(kCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    MapPainter painter;
    const QImage image = MapImage::paintWholeMap(
        painter, whole,
        [&progress](int step, int) {
            progress.setValue(step);
            return !progress.wasCanceled();
        },
        ratio);
    if (image.isNull())
        return; // cancelled: nothing written
    progress.setLabelText(QStringLiteral("Writing the image..."));
    progress.setValue(2);
    if (progress.wasCanceled())
        return;
    MapImage::write(*path, image);
    progress.setValue(3);
}

} // namespace vdm
