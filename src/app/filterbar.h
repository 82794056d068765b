// SPDX-License-Identifier: MIT
#pragma once

#include "app/floatingbar.h"
#include "map/placefilter.h"

class QListWidget;
class QPushButton;

namespace vdm {

/**
 * The place filter as the user sets it: a bar over the map panel's bottom-left corner
 * with the kinds and the regions of the world, each with how many places hold it, to tick
 * (none ticked: all). Space ticks the current entry, Tab moves between the lists and the
 * buttons, Escape closes the bar and gives the focus back. "Show all" unticks everything.
 * Every change is announced at once; what a filter shows is PlaceFilter's business.
 */
class FilterBar : public FloatingBar {
    Q_OBJECT

public:
    explicit FilterBar(QWidget* mapPanel);

    /** Fills the lists with a world's choices, ticking what `filter` chose. */
    void setChoices(const std::vector<FilterChoice>& kinds, const std::vector<FilterChoice>& regions,
                    const PlaceFilter& filter);
    /** The filter the ticks make. */
    PlaceFilter filter() const;

    /** Shows the bar with the focus in the kinds list. */
    void openBar();

signals:
    /** The user changed a tick: the filter() is new. */
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    int barHeight(int width) override;

private:
    void clearTicks();

    QListWidget* m_kinds;
    QListWidget* m_regions;
    QPushButton* m_all;
    QPushButton* m_close;
    bool m_filling = false;
};

/** An entry's text: the value ("(no kind)" when empty) and its count, "mine (40)". */
QString choiceText(const FilterChoice& choice, const QString& emptyName);

} // namespace vdm
