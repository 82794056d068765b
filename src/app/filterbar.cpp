// SPDX-License-Identifier: MIT
#include "app/filterbar.h"

#include "data/codepage.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace vdm {
namespace {

constexpr int kWidth = 320;  // at most; a narrow panel narrows the bar
constexpr int kHeight = 190; // at most; a low panel lowers the bar
constexpr int kValueRole = Qt::UserRole;

void fill(QListWidget* list, const std::vector<FilterChoice>& choices, const std::vector<QByteArray>& chosen,
          const QString& emptyName)
{
    list->clear();
    for (const FilterChoice& c : choices) {
        auto* item = new QListWidgetItem(choiceText(c, emptyName), list);
        item->setData(kValueRole, c.value);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(std::binary_search(chosen.begin(), chosen.end(), c.value) ? Qt::Checked : Qt::Unchecked);
    }
    if (list->count() > 0)
        list->setCurrentRow(0);
}

std::vector<QByteArray> ticked(const QListWidget* list)
{
    std::vector<QByteArray> values;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            values.push_back(list->item(i)->data(kValueRole).toByteArray());
    return values;
}

} // namespace

QString choiceText(const FilterChoice& choice, const QString& emptyName)
{
    const QString value = choice.value.isEmpty() ? emptyName : CodePage::decode(choice.value);
    return QStringLiteral("%1 (%2)").arg(value).arg(choice.count);
}

FilterBar::FilterBar(QWidget* mapPanel)
    : FloatingBar(mapPanel, Corner::BottomLeft, kWidth), m_kinds(new QListWidget(this)),
      m_regions(new QListWidget(this)), m_all(new QPushButton(QStringLiteral("Show all"), this)),
      m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("FilterBar"));
    setAccessibleName(QStringLiteral("Filter"));
    setFocusProxy(m_kinds);
    setProperty("keepsWheel", true); // the lists scroll under the wheel, not the map
    m_kinds->setObjectName(QStringLiteral("FilterKinds"));
    m_kinds->setAccessibleName(QStringLiteral("Kinds to show"));
    m_regions->setObjectName(QStringLiteral("FilterRegions"));
    m_regions->setAccessibleName(QStringLiteral("Regions to show"));
    m_all->setObjectName(QStringLiteral("FilterShowAll"));
    m_all->setAccessibleName(QStringLiteral("Show all places"));
    m_close->setObjectName(QStringLiteral("FilterClose"));
    m_close->setAccessibleName(QStringLiteral("Close the filter"));
    for (QPushButton* b : {m_all, m_close})
        b->setAutoDefault(false);

    auto* kindsLabel = new QLabel(QStringLiteral("&Kinds"), this);
    kindsLabel->setBuddy(m_kinds);
    auto* regionsLabel = new QLabel(QStringLiteral("&Regions"), this);
    regionsLabel->setBuddy(m_regions);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    layout->addWidget(kindsLabel, 0, 0);
    layout->addWidget(regionsLabel, 0, 1);
    layout->addWidget(m_kinds, 1, 0);
    layout->addWidget(m_regions, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_all);
    buttons->addWidget(m_close);
    layout->addLayout(buttons, 2, 0, 1, 2);

    for (QListWidget* list : {m_kinds, m_regions}) {
        connect(list, &QListWidget::itemChanged, this, [this] {
            if (!m_filling)
                emit changed();
        });
        list->installEventFilter(this);
    }
    connect(m_all, &QPushButton::clicked, this, [this] { clearTicks(); });
    connect(m_close, &QPushButton::clicked, this, [this] { closeBar(); });
}

void FilterBar::setChoices(const std::vector<FilterChoice>& kinds, const std::vector<FilterChoice>& regions,
                           const PlaceFilter& filter)
{
    m_filling = true;
    fill(m_kinds, kinds, filter.kinds(), QStringLiteral("(no kind)"));
    fill(m_regions, regions, filter.regions(), QStringLiteral("(no region)"));
    m_filling = false;
}

PlaceFilter FilterBar::filter() const
{
    return PlaceFilter(ticked(m_kinds), ticked(m_regions));
}

void FilterBar::clearTicks()
{
    m_filling = true;
    for (QListWidget* list : {m_kinds, m_regions})
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Unchecked);
    m_filling = false;
    emit changed();
}

void FilterBar::openBar()
{
    showBar();
    m_kinds->setFocus(Qt::ShortcutFocusReason);
}

int FilterBar::barHeight(int)
{
    return kHeight;
}

bool FilterBar::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_kinds || watched == m_regions) && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        closeBar();
        return true;
    }
    return FloatingBar::eventFilter(watched, event);
}

} // namespace vdm
