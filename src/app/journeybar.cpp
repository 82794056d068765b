// SPDX-License-Identifier: MIT
#include "app/journeybar.h"

#include "app/accessibility.h"
#include "data/codepage.h"
#include "journey/journeysession.h"
#include "journey/journeytext.h"
#include "world/world.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vdm {
namespace {

constexpr int kWidth = 440;          // at most; a narrow panel narrows the bar
constexpr int kListRows = 8;         // legs the list shows before it scrolls, in a tall panel
constexpr int kMinListRows = 3;      // and in a short one
constexpr std::size_t kOffered = 12; // names a field's completion offers

/** The check boxes' texts, in TravelMode order. */
const char* const ModeTexts[TravelModeCount] = {"Walk", "Skarnels", "Ships", "Mages guild"};

} // namespace

JourneyBar::JourneyBar(const World& world, QWidget* mapPanel)
    : FloatingBar(mapPanel, Corner::TopRight, kWidth), m_world(world), m_from(new QLineEdit(this)),
      m_to(new QLineEdit(this)), m_totals(new QLabel(this)), m_legs(new QListWidget(this)),
      m_copy(new QPushButton(QStringLiteral("Copy route"), this)), m_showLegs(new QToolButton(this))
{
    setObjectName(QStringLiteral("JourneyBar"));
    setAccessibleName(QStringLiteral("Journey"));
    // N and P step the legs from every control of the bar: the window asks it before
    // running its own command of the key.
    setProperty("asksForKeys", true);

    auto* fields = new QGridLayout;
    int column = 0;
    for (QLineEdit* field : {m_from, m_to}) {
        const bool to = field == m_to;
        const QString name = to ? QStringLiteral("To") : QStringLiteral("From");
        field->setObjectName(to ? QStringLiteral("JourneyTo") : QStringLiteral("JourneyFrom"));
        field->setAccessibleName(name);
        field->setPlaceholderText(QStringLiteral("Place name"));
        field->setClearButtonEnabled(true);
        nameClearButton(*field, QStringLiteral("Clear ") + name);
        auto* label = new QLabel(name + QLatin1Char(':'), this);
        label->setBuddy(field);
        if (to)
            m_toLabel = label;
        // From and To side by side: the bar keeps to one row of fields, the map its room.
        fields->addWidget(label, 0, column);
        fields->addWidget(field, 0, column + 1);
        column += 2;

        auto* names = new QStringListModel(this);
        auto* completer = new QCompleter(names, this);
        // The matcher chooses the names; the completer only offers them as they come.
        completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->popup()->setAccessibleName(name + QStringLiteral(" places"));
        field->setCompleter(completer);
        m_completers[to] = completer;
        m_names[to] = names;
        connect(field, &QLineEdit::textEdited, this, [this, field, to] {
            edited(to ? Subject::To : Subject::From);
            complete(field);
        });
        // Enter while the completion is up goes to the field past its filter, and the
        // completion is taken after the field has seen it: plan once it has been.
        connect(field, &QLineEdit::returnPressed, this, [this] {
            QMetaObject::invokeMethod(
                this, [this] { plan(); }, Qt::QueuedConnection);
        });
        connect(completer, qOverload<const QModelIndex&>(&QCompleter::activated), this,
                [this, to](const QModelIndex& i) {
                    const std::vector<int>& offered = m_offered[to];
                    m_taken[to]
                        = i.row() >= 0 && std::size_t(i.row()) < offered.size() ? offered[std::size_t(i.row())] : -1;
                });
        field->installEventFilter(this);
    }

    // A tour's choice of stops, in place of To.
    m_tourRow = new QWidget(this);
    auto* tourLayout = new QGridLayout(m_tourRow);
    tourLayout->setContentsMargins(0, 0, 0, 0);
    m_sources = new QComboBox(m_tourRow);
    m_sources->setObjectName(QStringLiteral("JourneyStops"));
    m_sources->setAccessibleName(QStringLiteral("Stops"));
    m_query = new QLineEdit(m_tourRow);
    m_query->setObjectName(QStringLiteral("JourneyQuery"));
    m_query->setAccessibleName(QStringLiteral("Query"));
    m_query->setPlaceholderText(QStringLiteral("Name, region, kind or note"));
    m_query->installEventFilter(this);
    m_active = new QCheckBox(QStringLiteral("Active places too"), m_tourRow);
    m_active->setObjectName(QStringLiteral("JourneyActive"));
    m_active->setAccessibleName(QStringLiteral("Active places too"));
    m_active->installEventFilter(this);
    m_sources->installEventFilter(this);
    auto* stopsLabel = new QLabel(QStringLiteral("Stops:"), m_tourRow);
    stopsLabel->setBuddy(m_sources);
    tourLayout->addWidget(stopsLabel, 0, 0);
    tourLayout->addWidget(m_sources, 0, 1);
    tourLayout->addWidget(m_query, 1, 1);
    tourLayout->addWidget(m_active, 2, 1);
    connect(m_sources, &QComboBox::currentIndexChanged, this, [this](int i) { m_query->setEnabled(i == 0); });
    // The user's choice of stops, not the bar's filling of the list when it opens.
    connect(m_sources, &QComboBox::activated, this, [this] { edited(Subject::Stops); });
    connect(m_query, &QLineEdit::textEdited, this, [this] { edited(Subject::Stops); });
    connect(m_active, &QCheckBox::clicked, this, [this] { edited(Subject::Stops); });
    m_tourRow->hide();

    auto* modes = new QHBoxLayout;
    for (int m = 0; m < TravelModeCount; ++m) {
        auto* box = new QCheckBox(QLatin1String(ModeTexts[m]), this);
        box->setObjectName(QStringLiteral("JourneyMode%1").arg(m));
        box->setAccessibleName(QLatin1String(ModeTexts[m]));
        box->setChecked(true);
        box->installEventFilter(this);
        connect(box, &QCheckBox::toggled, this, [this] { emit modesChanged(); });
        modes->addWidget(box);
        m_modes[std::size_t(m)] = box;
    }

    m_totals->setObjectName(QStringLiteral("JourneyTotals"));
    // Its name is what it shows (announced as it changes), its description what it is.
    m_totals->setAccessibleName(QStringLiteral("Journey totals"));
    m_totals->setAccessibleDescription(QStringLiteral("Journey totals"));
    m_totals->setWordWrap(true);
    m_legs->setObjectName(QStringLiteral("JourneyLegs"));
    m_legs->setAccessibleName(QStringLiteral("Legs"));
    m_legs->setUniformItemSizes(true);
    // A narrow bar elides long legs (each tells itself in full as its tooltip) rather
    // than spend a row on a scroll bar.
    m_legs->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_legs->setTextElideMode(Qt::ElideRight);
    m_legs->installEventFilter(this);
    connect(m_legs, &QListWidget::currentRowChanged, this, [this](int k) {
        if (!m_filling && k >= 0)
            emit legChosen(k);
    });

    m_copy->setObjectName(QStringLiteral("JourneyCopy"));
    m_copy->setAccessibleName(QStringLiteral("Copy route"));
    m_copy->setAutoDefault(false);
    m_copy->setEnabled(false);
    m_copy->installEventFilter(this);
    connect(m_copy, &QPushButton::clicked, this, [this] { emit copyAsked(); });
    // A small close button at the end of the fields' row, as a title bar has one.
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("JourneyClose"));
    close->setAccessibleName(QStringLiteral("Close the journey bar"));
    close->setToolTip(close->accessibleName()); // a tool button's hint is its name
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::StrongFocus);
    close->installEventFilter(this);
    connect(close, &QToolButton::clicked, this, [this] { closeBar(); });
    fields->addWidget(close, 0, column);
    modes->addStretch();

    // The legs fold away under their toggle, leaving the totals: the map keeps its room.
    m_showLegs->setObjectName(QStringLiteral("JourneyShowLegs"));
    m_showLegs->setAccessibleName(QStringLiteral("Show the legs"));
    m_showLegs->setText(QStringLiteral("Legs"));
    m_showLegs->setCheckable(true);
    m_showLegs->setChecked(true);
    m_showLegs->setArrowType(Qt::DownArrow);
    m_showLegs->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_showLegs->setAutoRaise(true);
    m_showLegs->setFocusPolicy(Qt::StrongFocus);
    m_showLegs->setEnabled(false);
    m_showLegs->installEventFilter(this);
    connect(m_showLegs, &QToolButton::toggled, this, [this](bool on) {
        m_showLegs->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
        m_legs->setVisible(on && m_legs->count() > 0);
        followPanel();
    });
    auto* totals = new QHBoxLayout;
    totals->addWidget(m_showLegs, 0, Qt::AlignTop);
    totals->addWidget(m_totals, 1);
    totals->addWidget(m_copy, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    layout->addLayout(fields);
    layout->addWidget(m_tourRow);
    layout->addLayout(modes);
    layout->addLayout(totals);
    layout->addWidget(m_legs);
    m_legs->hide();

    // Tab reads the bar row by row, each from the left, the close button last as a row of
    // dialog buttons ends it; a tour's choice of stops stands where To stands.
    QWidget* const order[] = {m_from,     m_to,       m_sources,  m_query, m_active, m_modes[0], m_modes[1],
                              m_modes[2], m_modes[3], m_showLegs, m_copy,  m_legs,   close};
    for (std::size_t k = 1; k < std::size(order); ++k)
        setTabOrder(order[k - 1], order[k]);
}

void JourneyBar::openBar(int from)
{
    m_tour = false;
    m_tourRow->hide();
    m_to->show();
    m_toLabel->show();
    if (from >= 0 && std::size_t(from) < m_world.locations().size())
        fill(false, from);
    showBar();
    QLineEdit* first = m_from->text().isEmpty() ? m_from : m_to;
    first->setFocus(Qt::ShortcutFocusReason);
    // All of it selected, so typing replaces it, with the cursor before it: a name longer
    // than the field shows its beginning.
    first->setSelection(int(first->text().size()), -int(first->text().size()));
}

void JourneyBar::fill(bool to, int place)
{
    QLineEdit* field = to ? m_to : m_from;
    const QString name = CodePage::decode(m_world.locations()[std::size_t(place)].Name);
    if (field->text() != name)
        field->setText(name);
    m_taken[to] = place;
    if (field->hasFocus())
        field->setSelection(int(name.size()), -int(name.size()));
    else
        field->setCursorPosition(0);
}

void JourneyBar::edited(Subject subject)
{
    if (m_problem == Subject::None || subject != m_problem)
        return;
    showNothing();
    emit problemGone();
}

void JourneyBar::showNothing()
{
    showProblem(QString());
    setAccessibleNameIfChanged(*m_totals, QStringLiteral("Journey totals"));
}

void JourneyBar::openTour(int from, const QStringList& sources, const QString& query)
{
    const int chosen = m_sources->currentIndex();
    m_sources->clear();
    m_sources->addItems(sources);
    if (chosen >= 0 && chosen < sources.size())
        m_sources->setCurrentIndex(chosen); // the choice of the last tour, when it is still offered
    if (!query.isEmpty())
        m_query->setText(query);
    m_query->setEnabled(m_sources->currentIndex() == 0);
    openBar(from);
    m_tour = true;
    m_to->hide();
    m_toLabel->hide();
    m_tourRow->show();
    followPanel();
    if (!m_from->text().isEmpty()) {
        m_sources->setFocus(Qt::ShortcutFocusReason);
    }
}

void JourneyBar::closeBar()
{
    const bool wasOpen = isVisible();
    hideBar();
    showNothing(); // the journey goes with the bar: opened again, it lists none
    if (wasOpen)
        emit closed();
}

std::array<bool, TravelModeCount> JourneyBar::modes() const
{
    std::array<bool, TravelModeCount> on{};
    for (std::size_t m = 0; m < on.size(); ++m)
        on[m] = m_modes[m]->isChecked();
    return on;
}

void JourneyBar::setModes(const std::array<bool, TravelModeCount>& modes)
{
    for (std::size_t m = 0; m < modes.size(); ++m) {
        const QSignalBlocker quiet(m_modes[m]);
        m_modes[m]->setChecked(modes[m]);
    }
}

void JourneyBar::complete(QLineEdit* field)
{
    const bool to = field == m_to;
    m_taken[to] = -1; // typed over: the completion taken before no longer stands
    const LocationSearch::Result found = m_search.find(m_world, field->text(), kOffered);
    QStringList names;
    m_offered[to].clear();
    for (const LocationSearch::Hit& hit : found.hits) {
        names << CodePage::decode(m_world.locations()[std::size_t(hit.index)].Name);
        m_offered[to].push_back(hit.index);
    }
    m_names[to]->setStringList(names);
    if (!names.isEmpty())
        m_completers[to]->complete();
}

int JourneyBar::placeIn(bool to)
{
    const QLineEdit* field = to ? m_to : m_from;
    const int taken = m_taken[to];
    if (taken >= 0 && std::size_t(taken) < m_world.locations().size()
        && CodePage::decode(m_world.locations()[std::size_t(taken)].Name) == field->text())
        return taken;
    const int named = placeNamed(m_world, m_search, field->text());
    if (named >= 0)
        return named;
    // No name holds the text, yet the completion offers places for it (by their region,
    // kind or note): Enter takes the first, as it stands at the top of the list offered.
    const LocationSearch::Result offered = m_search.find(m_world, field->text(), 1);
    return offered.hits.empty() ? -1 : offered.hits.front().index;
}

void JourneyBar::plan()
{
    std::array<int, 2> places{-1, -1};
    for (const bool to : {false, true}) {
        if (to && m_tour)
            break; // a tour's stops come from its choice, not from To
        m_completers[to]->popup()->hide();
        places[to] = placeIn(to);
        if (places[to] < 0) {
            const QString text = (to ? m_to : m_from)->text().trimmed();
            const QString unnamed = m_tour ? QStringLiteral("Name the place to start from.")
                                           : QStringLiteral("Name the place to go %1.")
                                                 .arg(to ? QStringLiteral("to") : QStringLiteral("from"));
            showProblem(text.isEmpty() ? unnamed : QStringLiteral("No place is named \u201c%1\u201d.").arg(text),
                        to ? Subject::To : Subject::From);
            return;
        }
    }
    // Each field shows the place planned with, not the part of its name that was typed.
    for (const bool to : {false, true})
        if (places[to] >= 0)
            fill(to, places[to]);
    if (m_tour)
        emit tourAsked(places[0], m_sources->currentIndex(), m_query->text(), m_active->isChecked());
    else
        emit planAsked(places[0], places[1]);
}

void JourneyBar::showJourney(const Journey& journey, const std::vector<bool>& done, const QString& heading)
{
    const LocationList& places = m_world.locations();
    QString totals = JourneyText::totals(journey);
    if (!journey.legs.empty())
        totals += QStringLiteral(" \u00b7 ") + JourneyText::duration(journey.totals().cost);
    if (!journey.reached && journey.end >= 0 && journey.target >= 0)
        totals = QStringLiteral(
                     "%1 cannot be reached with these ways; the route leads to %2, the nearest place that can.\n")
                     .arg(CodePage::decode(places[std::size_t(journey.target)].Name),
                          CodePage::decode(places[std::size_t(journey.end)].Name))
                 + totals;
    m_problem = Subject::None;
    m_totals->setText(heading.isEmpty() ? totals : heading + QLatin1Char('\n') + totals);
    setAccessibleNameIfChanged(*m_totals, m_totals->text());
    const int current = m_legs->currentRow();
    const bool same = m_legs->count() == int(journey.legs.size());
    m_filling = true;
    m_legs->clear();
    QStringList lines = JourneyText::legLines(journey, places);
    for (qsizetype k = 0; k < lines.size(); ++k)
        if (std::size_t(k) < done.size() && done[std::size_t(k)])
            lines[k] = QStringLiteral("\u2713 ") + lines[k] + QStringLiteral(" (done)");
    m_legs->addItems(lines);
    for (int k = 0; k < m_legs->count(); ++k)
        m_legs->item(k)->setToolTip(lines[k]);
    if (same && !done.empty())
        m_legs->setCurrentRow(current); // the same tour with a stop ticked off: stay on the leg
    m_filling = false;
    m_legs->setVisible(m_showLegs->isChecked() && m_legs->count() > 0);
    m_showLegs->setEnabled(m_legs->count() > 0);
    m_copy->setEnabled(!journey.legs.empty());
    followPanel();
}

void JourneyBar::showProblem(const QString& problem, Subject about)
{
    m_problem = about;
    m_totals->setText(problem);
    setAccessibleNameIfChanged(*m_totals, problem);
    m_filling = true;
    m_legs->clear();
    m_filling = false;
    m_legs->hide();
    m_showLegs->setEnabled(false);
    m_copy->setEnabled(false);
    followPanel();
}

void JourneyBar::setCurrentLeg(int k)
{
    m_filling = true;
    m_legs->setCurrentRow(k);
    m_filling = false;
}

int JourneyBar::barHeight(int width)
{
    // The legs take at most a fifth of the panel's height (three rows at the least).
    const int rowHeight = std::max(m_legs->sizeHintForRow(0), fontMetrics().height());
    const int fitting = std::max(kMinListRows, (panel()->height() / 5) / std::max(1, rowHeight));
    const int rows = std::min({m_legs->count(), kListRows, fitting});
    m_legs->setFixedHeight(rows * rowHeight + 2 * m_legs->frameWidth());
    return FloatingBar::barHeight(width);
}

bool JourneyBar::stepsLegs(const QObject* watched, const QKeyEvent* key) const
{
    return (key->key() == Qt::Key_N || key->key() == Qt::Key_P) && watched != m_from && watched != m_to
           && watched != m_query && watched != m_sources
           && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

bool JourneyBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed before the window's commands, so the key press then comes here.
        auto* key = static_cast<QKeyEvent*>(event);
        if (stepsLegs(watched, key)) {
            key->accept();
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return FloatingBar::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool field = watched == m_from || watched == m_to;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!field && watched != m_query && watched != m_sources && watched != m_active
            && std::find(m_modes.begin(), m_modes.end(), watched) == m_modes.end())
            return false;
        plan();
        return true;
    case Qt::Key_Escape:
        if (field && static_cast<QLineEdit*>(watched)->completer()->popup()->isVisible())
            return false; // the first Escape closes the completion
        closeBar();
        return true;
    case Qt::Key_N:
    case Qt::Key_P:
        if (!stepsLegs(watched, key))
            return false; // typed into the name
        emit legStepped(key->key() == Qt::Key_N ? 1 : -1);
        return true;
    default:
        return false;
    }
}

} // namespace vdm
