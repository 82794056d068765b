// SPDX-License-Identifier: MIT
#include "app/findbar.h"

#include "app/accessibility.h"
#include "data/codepage.h"
#include "data/location.h"
#include "data/packedcolor.h"
#include "data/settings.h"
#include "world/world.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace vdm {
namespace {

/** The colour the map frames a place of this status in. */
QColor statusColour(const Settings& settings, std::int32_t status)
{
    return packedToColor(status == Visited  ? settings.ColorVisited
                         : status == Active ? settings.ColorActive
                                            : settings.ColorUnvisited);
}

/** What the status mark's colour says, in words, for assistive technology to read. */
QString statusWord(std::int32_t status)
{
    return status == Visited  ? QStringLiteral("visited")
           : status == Active ? QStringLiteral("active")
                              : QStringLiteral("unvisited");
}

constexpr int kWidth = 300;   // at most; a narrow panel narrows the bar
constexpr int kListRows = 8;  // rows the hit list shows before it scrolls
constexpr int kMarkSize = 10; // the status mark before each hit

QPixmap statusMark(const QColor& colour)
{
    QPixmap mark(kMarkSize, kMarkSize);
    mark.fill(colour);
    QPainter p(&mark);
    p.setPen(Qt::black);
    p.drawRect(0, 0, kMarkSize - 1, kMarkSize - 1);
    return mark;
}

/** "Name — region · kind", leaving out empty lines. */
QString hitText(const Location& l)
{
    QStringList lines;
    for (QByteArrayView line : {l.Region.view(), l.Kind.view()})
        if (!line.trimmed().isEmpty())
            lines << CodePage::decode(line.trimmed());
    const QString name = CodePage::decode(l.Name);
    return lines.isEmpty() ? name : name + QStringLiteral(" \u2014 ") + lines.join(QStringLiteral(" \u00B7 "));
}

} // namespace

FindBar::FindBar(const World& world, QWidget* mapPanel, const Settings& settings)
    : FloatingBar(mapPanel, Corner::TopLeft, kWidth), m_world(world), m_settings(settings),
      m_field(new QLineEdit(this)), m_hits(new QListWidget(this)), m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setAccessibleName(QStringLiteral("Find"));
    setFocusProxy(m_field);

    m_field->setObjectName(QStringLiteral("FindEdit"));
    m_field->setAccessibleName(QStringLiteral("Find a place"));
    m_field->setPlaceholderText(QStringLiteral("Name, region, kind or note"));
    m_field->setClearButtonEnabled(true);
    nameClearButton(*m_field, QStringLiteral("Clear the search"));
    m_hits->setObjectName(QStringLiteral("FindHits"));
    m_hits->setAccessibleName(QStringLiteral("Places found"));
    m_hits->setFocusPolicy(Qt::NoFocus); // the field keeps the keys; Up and Down move here
    m_hits->setUniformItemSizes(true);
    m_count->setObjectName(QStringLiteral("FindCount"));
    m_count->setAccessibleName(QStringLiteral("No search"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    layout->addWidget(m_field);
    layout->addWidget(m_hits);
    layout->addWidget(m_count);

    connect(m_field, &QLineEdit::textChanged, this, [this] { search(); });
    connect(m_hits, &QListWidget::itemClicked, this, [this] { take(); });
    m_field->installEventFilter(this);
    // The hits name places by index: after a read or another world they may name others.
    for (const auto notice : {&WorldEvents::placesRead, &WorldEvents::replaced})
        connect(&world.events(), notice, this, [this] { m_hitsStale = true; });
}

void FindBar::openBar()
{
    showBar();
    search(); // the notes may have changed since the bar was last open
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::search()
{
    const LocationSearch::Result found = m_search.find(m_world, m_field->text(), ShownHits);
    m_hitsStale = false;
    m_hits->clear();
    for (const LocationSearch::Hit& hit : found.hits) {
        const Location& l = m_world.locations()[std::size_t(hit.index)];
        auto* item = new QListWidgetItem(QIcon(statusMark(statusColour(m_settings, l.Status))), hitText(l), m_hits);
        item->setData(Qt::UserRole, hit.index);
        // The mark's colour is the place's status: a screen reader hears it after the line.
        item->setData(Qt::AccessibleTextRole, item->text() + QStringLiteral(", ") + statusWord(l.Status));
        if (!l.Note.isEmpty())
            item->setToolTip(CodePage::decode(l.Note));
    }
    if (m_hits->count() > 0)
        m_hits->setCurrentRow(0);
    if (m_field->text().trimmed().isEmpty())
        m_count->clear();
    else if (found.total == 0)
        m_count->setText(QStringLiteral("No place found"));
    else if (std::size_t(found.total) > found.hits.size())
        m_count->setText(QStringLiteral("%1 of %2 places").arg(found.hits.size()).arg(found.total));
    else
        m_count->setText(found.total == 1 ? QStringLiteral("1 place") : QStringLiteral("%1 places").arg(found.total));
    m_hits->setVisible(m_hits->count() > 0);
    // What assistive technology reads, and announces as it changes: "12 places found".
    const QString shown = m_count->text();
    setAccessibleNameIfChanged(*m_count, shown.isEmpty()                          ? QStringLiteral("No search")
                                         : shown.endsWith(QLatin1String("found")) ? shown
                                                                                  : shown + QStringLiteral(" found"));
    followPanel();
}

void FindBar::take()
{
    if (m_hitsStale) {
        search(); // another world came in under the bar: its hits, not the old ones
        return;
    }
    QListWidgetItem* item = m_hits->currentItem();
    if (!item)
        return;
    const int index = item->data(Qt::UserRole).toInt();
    closeBar();
    emit chosen(index);
}

int FindBar::barHeight(int)
{
    const int rows = std::min(m_hits->count(), kListRows);
    const int rowHeight = std::max(m_hits->sizeHintForRow(0), fontMetrics().height());
    m_hits->setFixedHeight(rows * rowHeight + 2 * m_hits->frameWidth());
    return sizeHint().height();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field || event->type() != QEvent::KeyPress)
        return FloatingBar::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const int rows = m_hits->count();
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (rows > 0) {
            const int step = key->key() == Qt::Key_Up ? -1 : 1;
            m_hits->setCurrentRow(std::clamp(m_hits->currentRow() + step, 0, rows - 1));
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        take();
        return true;
    case Qt::Key_Escape:
        closeBar();
        return true;
    default:
        return false;
    }
}

} // namespace vdm
