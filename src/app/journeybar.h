// SPDX-License-Identifier: MIT
#pragma once

#include "app/floatingbar.h"
#include "edit/locationsearch.h"
#include "journey/routeplanner.h"

#include <array>

class QCheckBox;
class QComboBox;
class QCompleter;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStringListModel;
class QToolButton;

namespace vdm {

class World;

/**
 * The journey bar: From and To side by side over the top-right corner of the map panel,
 * completing place names as quick find matches them, a check box for each way of
 * travelling, the totals and the legs (which fold away under their toggle, and take no
 * more than a fifth of the panel's height). Enter in either field plans, and each field then
 * shows the whole name of the place planned with, from its beginning; Up and Down in the
 * legs, or N and P anywhere in the bar but the fields, choose a leg; Escape closes the bar.
 * A problem (a name that matches no place) stays until the user edits what it is about. It
 * shows what it is given and tells what the user asks; planning and drawing are the window's.
 *
 * For a tour the bar asks, instead of To, which places to take the stops from (those quick
 * find matches a query, those in view, one region's or one kind's) and whether active places
 * count as left to do; the legs then mark the stops already visited as done.
 */
class JourneyBar : public FloatingBar {
    Q_OBJECT

public:
    /** `mapPanel`: the bar keeps to its top-right corner. */
    JourneyBar(const World& world, QWidget* mapPanel);

    /** Shows the bar; `from` (a place, or -1) fills From. The focus goes to the first empty field. */
    void openBar(int from);
    /**
     * Shows the bar for a tour from `from`, the stops to come from one of `sources` (the
     * first of which takes the places the query field matches).
     */
    void openTour(int from, const QStringList& sources, const QString& query);
    /** The bar plans a tour (openTour) rather than a route. */
    bool plansTour() const { return m_tour; }
    /** Hides the bar, gives the focus back and says closed(). */
    void closeBar() override;

    /** The ways the check boxes allow, in TravelMode order. */
    std::array<bool, TravelModeCount> modes() const;
    void setModes(const std::array<bool, TravelModeCount>& modes);

    /**
     * Shows `journey` (its totals, one line per leg); `done` (when given, one flag per leg)
     * marks the legs that end at a stop already visited, `heading` goes before the totals.
     */
    void showJourney(const Journey& journey, const std::vector<bool>& done = {}, const QString& heading = {});
    /** What a problem the bar tells is about: editing that control takes the problem away. */
    enum class Subject { None, From, To, Stops };
    /**
     * Tells `problem` in place of the totals, until the user edits what it is about
     * (`about`); then the bar says problemGone().
     */
    void showProblem(const QString& problem, Subject about = Subject::None);
    /** Marks leg `k` (-1: none) as the current one in the list. */
    void setCurrentLeg(int k);
    /**
     * The place a field names: the completion taken, else the place whose name its text is
     * or holds (see placeNamed()), else the first place the completion offers for it; -1
     * when nothing matches.
     */
    int placeIn(bool to);

signals:
    /** Enter in a field: plan from `from` to `to` (both places of the world). */
    void planAsked(int from, int to);
    /** Enter in a field of a tour: from `from` through the places of source `source`. */
    void tourAsked(int from, int source, const QString& query, bool withActive);
    /** A mode's check box changed. */
    void modesChanged();
    /** The user chose leg `k` in the list. */
    void legChosen(int k);
    /** N (+1) or P (-1): the next or the previous leg. */
    void legStepped(int step);
    void copyAsked();
    /** The user edited what the problem shown was about: the problem is gone from the bar. */
    void problemGone();
    /** The bar closed (Escape, its close button). */
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    int barHeight(int width) override;

private:
    /** Whether `key`, pressed in `watched`, steps through the legs (N or P outside the text fields). */
    bool stepsLegs(const QObject* watched, const QKeyEvent* key) const;
    void complete(QLineEdit* field);
    void plan();
    /** Puts the name of `place` into a field, showing its beginning, as the planner takes it. */
    void fill(bool to, int place);
    /** The user changed what `subject` names: a problem about it goes. */
    void edited(Subject subject);
    /** No totals, no legs, nothing to copy: no journey is planned. */
    void showNothing();

    const World& m_world;
    LocationSearch m_search;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QWidget* m_toLabel;
    QComboBox* m_sources;
    QLineEdit* m_query;
    QCheckBox* m_active;
    QWidget* m_tourRow;
    bool m_tour = false;
    std::array<QCompleter*, 2> m_completers{};
    std::array<QStringListModel*, 2> m_names{};
    std::array<std::vector<int>, 2> m_offered; // the places behind each completion list's rows
    std::array<int, 2> m_taken{-1, -1};        // the place a completion put into each field
    std::array<QCheckBox*, TravelModeCount> m_modes{};
    QLabel* m_totals;
    QListWidget* m_legs;
    QPushButton* m_copy;
    QToolButton* m_showLegs;           // folds the legs away
    bool m_filling = false;            // the list is being filled: its row changes are no choice of the user's
    Subject m_problem = Subject::None; // what the problem shown is about
};

} // namespace vdm
