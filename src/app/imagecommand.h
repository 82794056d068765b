// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWidget;

namespace vdm {

class MapCanvas;
class TMapPanel;
class Prompts;
class World;
class SettingsSession;

/**
 * "Save view as image...": the visible map panel (the image the clipboard copy takes) or
 * the whole map at the current zoom level, as PNG or JPEG by the file name's suffix. When
 * the whole map takes longer than half a second a progress dialog shows; its Cancel takes
 * effect between painting and writing, and then nothing is written. The window's command
 * table runs it (Command::SaveImage). The file proposed lies
 * in the folder last saved into (kept in `settings`), at first the user's pictures folder.
 */
class ImageCommand : public QObject {
    Q_OBJECT

public:
    /** `mapPanel` is painted anew before its image is taken, so the image is what it shows now. */
    ImageCommand(QWidget& window, TMapPanel& mapPanel, const MapCanvas& canvas, const World& world,
                 SettingsSession& settings, Prompts& prompts);

    void saveViewAsImage();
    /** The clipboard takes the visible map panel's image, painted anew (none while hidden). */
    void copyView();

private:
    QWidget& m_window;
    TMapPanel& m_panel;
    const MapCanvas& m_canvas;
    const World& m_world;
    SettingsSession& m_settings;
    Prompts& m_prompts;
};

} // namespace vdm
