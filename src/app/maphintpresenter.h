// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QPointer>

class QTimer;
class QWidget;

namespace vdm {

class MapHover;
class Prompts;
class TddgHintWindow;
struct Settings;

/**
 * Shows what the hover decides about the hint: the hint window beside the pointer over
 * the map, in the hint font and opacity of the settings, and the timer that ends a timed
 * hint. The hint window is made on the first hint, as a child of the map panel; the
 * timer ("Timer") is a child of the window, so an error in its handler shows over it.
 */
class MapHintPresenter {
public:
    /** `mapPanel`: the hint's parent, whose corner places it. */
    MapHintPresenter(QWidget& window, QWidget& mapPanel, MapHover& hover, const Settings& settings, Prompts& prompts);

    /** Shows `title` over the hover's text beside panel point `at`; the timer starts over. */
    void show(const QByteArray& title, QPoint at);
    /** The pointer left the item: the hint goes and the timer stops. */
    void hide();
    /** The timer ran out: the hint goes when the hover says so (timed hints only). */
    void expire();
    /** A new world: no hint stays up, and the hover starts over. */
    void restart();

    /** The hint keeps off `bar` (a bar over the map) while it is shown; null: nothing. */
    void keepClearOf(const QWidget* bar) { m_bar = bar; }

    /** The hint window, once a hint has been shown. */
    const TddgHintWindow* hintWindow() const { return m_hintWindow; }

private:
    QWidget& m_window;
    QWidget& m_panel;
    MapHover& m_hover;
    const Settings& m_settings;
    QTimer* m_timer;
    TddgHintWindow* m_hintWindow = nullptr;
    QPointer<const QWidget> m_bar;
};

} // namespace vdm
