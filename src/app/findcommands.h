// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QWidget;

namespace Ui {
class TMainForm;
}

namespace vdm {

class FindBar;
class MapHover;
class Prompts;
class Viewport;
class World;
struct Settings;

/**
 * Quick find and the progress line under the map. The find bar sits over the map panel;
 * the progress line shows the status counts and the map point and place under the
 * pointer.
 */
class FindCommands : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        std::function<void(int index)> chosen; // the bar took location `index`
    };

    FindCommands(QWidget& window, const Ui::TMainForm& ui, const World& world, const Viewport& view,
                 const MapHover& hover, const Settings& settings, Prompts& prompts, Hooks hooks);

    void openBar();
    /** The pointer moved over the map to panel point `at`. */
    void pointerMoved(QPoint at);
    /**
     * Shows the status counts and the pointer's line, worked out afresh, so a zoom or a
     * scroll under a still pointer shows the map point that is under it now.
     */
    void showProgressLine();

private:
    const Ui::TMainForm& m_ui;
    const World& m_world;
    const Viewport& m_view;
    const MapHover& m_hover;
    FindBar* m_bar;
    std::optional<QPoint> m_pointerAt; // the pointer's last panel position, once it has moved over the map
};

} // namespace vdm
