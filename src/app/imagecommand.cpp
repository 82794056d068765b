// SPDX-License-Identifier: MIT
#include "app/imagecommand.h"

#include "app/mainform.h"
#include "dialogs/errorguard.h"
#include "map/mapimage.h"

#include <QAction>
#include <QFileInfo>
#include <QProgressDialog>

namespace vdm {
namespace {

const QString kCaption = QStringLiteral("Save view as image");

} // namespace

ImageCommand::ImageCommand(TMainForm& form)
    : QObject(&form), m_form(form), m_action(new QAction(QStringLiteral("Save view as image..."), &form))
{
    m_action->setObjectName(QStringLiteral("ActionSaveImage"));
    connectGuarded(form.prompts(), &form, m_action, &QAction::triggered, [this] { saveViewAsImage(); });
    form.addAction(m_action);
}

void ImageCommand::saveViewAsImage()
{
    const World& world = m_form.world();
    // Both choices carry the screen's resolution: the panel's image is painted at it, and
    // the whole map is painted at it too.
    const qreal ratio = m_form.backBuffer().isNull() ? 1.0 : m_form.backBuffer().devicePixelRatio();
    const QSize whole = backBufferSize(MapImage::wholeMapSize(m_form.view()), ratio);
    const std::optional<int> choice = m_form.prompts().askChoice(
        &m_form, kCaption,
        QStringLiteral("Save the visible map panel, or the whole map at this zoom level (%1 x %2 pixels)?")
            .arg(whole.width())
            .arg(whole.height()),
        {QStringLiteral("Visible panel"), QStringLiteral("Whole map")});
    if (!choice)
        return;
    const QString start = QFileInfo(world.filePath(QStringLiteral("map.png"))).absoluteFilePath();
    const std::optional<QString> path = m_form.prompts().chooseFileToSave(
        &m_form, kCaption, start, QStringLiteral("Images (*.png *.jpg *.jpeg)"));
    if (!path)
        return;
    MapImage::requireFormat(*path); // before any painting

    if (*choice == 0) {
        // Exactly what the panel shows now, as the clipboard copy takes it.
        m_form.RepaintMap();
        MapImage::write(*path, m_form.backBuffer());
        return;
    }

    // The whole map as veldamar-render paints it: no Go highlight, which belongs to the view.
    // Cancel is looked at before the paint and again before the file is written.
    QProgressDialog progress(QStringLiteral("Painting the whole map..."), QStringLiteral("Cancel"), 0, 3, &m_form);
    progress.setWindowTitle(kCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    GoHighlight none;
    MapPainter painter;
    const QImage image = MapImage::paintWholeMap(
        painter,
        MapScene{m_form.view(), world.picture(), world.locations(), world.markers(), m_form.session().settings(),
                 m_form.session().objects(), none, &world.index()},
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
