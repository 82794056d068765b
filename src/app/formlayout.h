// SPDX-License-Identifier: MIT
#pragma once

#include "data/settings.h"

#include <Qt>

#include <array>
#include <memory>

class QWidget;

namespace vdm {

class AnchorTable;
class CoolBar;
class Viewport;

/** The stored window state: 0 normal, 1 minimised, 2 maximised (minimised wins). */
int windowStateCode(Qt::WindowStates states);
/** `states` with the stored state `code` added; a normal state adds nothing. */
Qt::WindowStates withWindowState(Qt::WindowStates states, int code);

/**
 * How the main window's components sit: the design size and position, the components
 * anchored to the edges of their panels, the cool bar's four bands, and the top panel
 * that takes the bar's height. It restores the stored band layout and window state and
 * takes the snapshot the settings file stores.
 */
class FormLayout {
public:
    /** The components it places, each as the form names it. */
    struct Widgets {
        CoolBar* bar;                         // CoolBarMain, over the top panel
        QWidget* top;                         // PanelTop, as high as the bar's rows
        QWidget* main;                        // PanelMain, the rest of the window
        QWidget* bands[BandPositions::Count]; // the bands' tool bars, in their stored order
        // Anchored in the main panel:
        QWidget* bevel;
        QWidget* horizontal;
        QWidget* vertical;
        QWidget* map;
        QWidget* progress;
        QWidget* box; // the location box, and anchored in it:
        QWidget* statusButtons[3];
        QWidget* notes;
    };

    /** Sizes the window to its design, gives it its icon and adds the anchors and the bands. */
    FormLayout(QWidget& window, const Widgets& widgets);
    ~FormLayout();

    /** Lays the panels out for the window's size and the bar's rows. */
    void layoutPanels();
    /**
     * The stored size, and the stored position where the window system lets a window
     * choose it (moved onto a screen when it would lie beyond every one); nothing when
     * the file held no geometry.
     */
    void restoreGeometry(const StoredView& stored, bool positionsKnown);
    /** Rebuilds the band layout from where the bands were saved. */
    void restoreBands(const BandPositions& saved);
    /** Shows the window minimised (1) or maximised (2); 0 leaves it as it is. */
    void applyWindowState(int code);
    /**
     * The title names the zoom level; with KeepZoom the window grows no larger than the
     * picture at that level, without it as large as the user likes.
     */
    void showZoom(int zoomIndex, bool keepZoom);
    /** What the settings file stores of the window: view, size, position, bands, state. */
    WindowSnapshot snapshot(const Viewport& view) const;

private:
    QWidget& m_window;
    Widgets m_widgets;
    std::unique_ptr<AnchorTable> m_anchors;
};

} // namespace vdm
