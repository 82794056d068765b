// SPDX-License-Identifier: MIT
#pragma once

#include "edit/locationsearch.h"

#include "app/floatingbar.h"

#include <QColor>

class QLabel;
class QLineEdit;
class QListWidget;

namespace vdm {

class World;
struct Settings;

/**
 * Quick find: a search field over the top-left corner of the map panel with the hits
 * under it, each with its status colour, its name and the two lines after the name.
 * Up and Down choose a hit, Enter (or a click) takes it, Escape closes the bar; closing
 * gives the focus back to the control that had it. What matches is LocationSearch's
 * business; the bar only shows it.
 */
class FindBar : public FloatingBar {
    Q_OBJECT

public:
    /** The most hits the list shows; the count below it tells how many matched. */
    static constexpr std::size_t ShownHits = 100;

    /** `mapPanel`: the bar keeps to its top-left corner; the marks take their colours from `settings`. */
    FindBar(const World& world, QWidget* mapPanel, const Settings& settings);

    /** Shows the bar with the focus in the field, its text selected, and searches again. */
    void openBar();

signals:
    /** The user took the hit on location `index`; the bar has closed. */
    void chosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    int barHeight(int width) override;

private:
    void search();
    void take();

    const World& m_world;
    const Settings& m_settings;
    LocationSearch m_search;
    QLineEdit* m_field;
    QListWidget* m_hits;
    QLabel* m_count;
    bool m_hitsStale = false; // the places were read again or replaced since the hits were found
};

} // namespace vdm
