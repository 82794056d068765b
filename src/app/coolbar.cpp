// SPDX-License-Identifier: MIT
#include "app/coolbar.h"

#include "data/errors.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace vdm {

namespace {

// Between the gripper's lines and the label, and after the label when the header is
// sized from the text.
constexpr int kLabelGap = 2;

void drawEtchedVLine(QPainter& p, const QPalette& pal, int x, int top, int bottom)
{
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(x, top, x, bottom);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(x + 1, top, x + 1, bottom);
}

void drawEtchedHLine(QPainter& p, const QPalette& pal, int y, int left, int right)
{
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(left, y, right, y);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(left, y + 1, right, y + 1);
}

} // namespace

CoolBar::CoolBar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

CoolBar::~CoolBar() = default;

int CoolBar::addBand(const QString& label, QWidget* child, int minWidth, int width, bool breakBefore)
{
    endDrag(); // a drag in progress starts from a layout that is about to change
    Band band;
    band.label = label;
    band.child = child;
    band.minWidth = std::max(0, minWidth);
    band.initialWidth = std::max(0, width);

    const bool beginsRow = breakBefore || m_rows.empty() || m_rows.back().empty();
    if (!beginsRow) {
        const Band& previous = m_bands[m_rows.back().back()];
        band.x = previous.left + previous.initialWidth;
    }
    const int contentStart = band.x + (beginsRow ? 0 : kDivider);

    // A tool bar the form already placed inside the bar keeps its place: the header spans
    // from the band's start to it, whatever the label measures in this font.
    if (child && child->parentWidget() == this && child->x() - contentStart >= kGripperWidth)
        band.headerWidth = child->x() - contentStart;
    else
        band.headerWidth = kGripperWidth + kLabelGap + fontMetrics().horizontalAdvance(label) + kLabelGap;

    // Assistive technology reads the tool bar by its band's label ("Map", "Tools").
    if (child && child->accessibleName().isEmpty())
        child->setAccessibleName(label.trimmed());
    if (child && child->parentWidget() != this) {
        const bool wasHidden = child->isHidden();
        child->setParent(this); // which hides it
        child->setHidden(wasHidden);
    }

    const int index = int(m_bands.size());
    m_bands.push_back(std::move(band));
    if (beginsRow)
        m_rows.emplace_back();
    m_rows.back().push_back(index);

    relayout();
    commit();
    return index;
}

void CoolBar::checkIndex(int band) const
{
    if (band < 0 || band >= bandCount())
        throw Error(QStringLiteral("List index out of bounds (%1)").arg(band));
}

int CoolBar::rowOf(int band) const
{
    for (int r = 0; r < rowCount(); ++r) {
        if (std::find(m_rows[r].begin(), m_rows[r].end(), band) != m_rows[r].end())
            return r;
    }
    return -1;
}

int CoolBar::positionInRow(int band) const
{
    const std::vector<int>& row = m_rows[rowOf(band)];
    return int(std::find(row.begin(), row.end(), band) - row.begin());
}

int CoolBar::childLeft(int band) const
{
    const Band& b = m_bands[band];
    return b.left + (positionInRow(band) > 0 ? kDivider : 0) + b.headerWidth;
}

int CoolBar::bandRight(int band) const
{
    const std::vector<int>& row = m_rows[rowOf(band)];
    const auto it = std::find(row.begin(), row.end(), band);
    return it + 1 == row.end() ? width() : m_bands[*(it + 1)].left;
}

int CoolBar::barHeight() const
{
    return rowCount() * kRowPitch + kEdges;
}

int CoolBar::bandRow(int band) const
{
    checkIndex(band);
    return rowOf(band);
}

QRect CoolBar::bandRect(int band) const
{
    checkIndex(band);
    const int left = m_bands[band].left;
    return QRect(left, rowOf(band) * kRowPitch, std::max(0, bandRight(band) - left), kBandHeight);
}

QRect CoolBar::bandHeaderRect(int band) const
{
    checkIndex(band);
    const int start = m_bands[band].left + (positionInRow(band) > 0 ? kDivider : 0);
    return QRect(start, rowOf(band) * kRowPitch, m_bands[band].headerWidth, kBandHeight);
}

QWidget* CoolBar::bandChild(int band) const
{
    checkIndex(band);
    return m_bands[band].child;
}

int CoolBar::bandHeaderWidth(int band) const
{
    checkIndex(band);
    return m_bands[band].headerWidth;
}

int CoolBar::bandAt(QPoint point) const
{
    for (int band = 0; band < bandCount(); ++band) {
        if (bandRect(band).contains(point))
            return band;
    }
    return -1;
}

void CoolBar::relayout()
{
    const int barWidth = width();
    for (int r = 0; r < rowCount(); ++r) {
        const std::vector<int>& row = m_rows[r];
        const int n = int(row.size());
        std::vector<int> lefts(n);
        for (int i = 0; i < n; ++i)
            lefts[i] = i == 0 ? 0 : m_bands[row[i]].x;
        // Pull bands in from the right edge so that each one to their right keeps its minimum,
        // then push them apart so that each keeps its own; when the row is too narrow for all
        // minimums the second pass wins.
        int tail = 0;
        for (int i = n - 1; i >= 1; --i) {
            tail += m_bands[row[i]].minWidth;
            lefts[i] = std::min(lefts[i], barWidth - tail);
        }
        for (int i = 1; i < n; ++i)
            lefts[i] = std::max(lefts[i], lefts[i - 1] + m_bands[row[i - 1]].minWidth);
        // A row too narrow for the minimums still shows every header, or a band pushed off
        // the edge could never be dragged back.
        auto shown = [&](int i) { return (i > 0 ? kDivider : 0) + m_bands[row[i]].headerWidth; };
        tail = 0;
        for (int i = n - 1; i >= 1; --i) {
            tail += shown(i);
            lefts[i] = std::min(lefts[i], barWidth - tail);
        }
        for (int i = 1; i < n; ++i)
            lefts[i] = std::max(lefts[i], lefts[i - 1] + shown(i - 1));
        for (int i = 0; i < n; ++i)
            m_bands[row[i]].left = lefts[i];
    }

    for (int band = 0; band < bandCount(); ++band) {
        QWidget* child = m_bands[band].child;
        if (!child)
            continue;
        const int left = childLeft(band);
        child->setGeometry(left, rowOf(band) * kRowPitch, std::max(0, bandRight(band) - left), kBandHeight);
    }
    update();
}

void CoolBar::commit()
{
    // What is shown becomes what is wanted, so a later resize starts from the visible layout.
    // The first band of a row keeps its own wish: a band that is later put in front of it
    // (as a replayed layout does, one band after the other) leaves it where it was dropped.
    for (const std::vector<int>& row : m_rows) {
        for (std::size_t i = 1; i < row.size(); ++i)
            m_bands[row[i]].x = m_bands[row[i]].left;
    }
    const int height = barHeight();
    updateGeometry();
    if (height != this->height()) {
        resize(width(), height);
        emit heightChanged(height);
    }
    emit layoutChanged();
}

void CoolBar::removeFromRow(int band)
{
    const int r = rowOf(band);
    std::vector<int>& row = m_rows[r];
    row.erase(std::find(row.begin(), row.end(), band));
    if (row.empty())
        m_rows.erase(m_rows.begin() + r);
}

void CoolBar::insertIntoRow(std::vector<int>& row, int band, int wantedLeft)
{
    // Order by x: the band goes in front of every band that starts at or after its place.
    const auto before
        = std::find_if(row.begin(), row.end(), [&](int other) { return m_bands[other].left >= wantedLeft; });
    m_bands[band].x = std::max(0, wantedLeft);
    row.insert(before, band);
}

void CoolBar::setBandBreak(int band, bool breakBefore)
{
    checkIndex(band);
    endDrag(); // a drag in progress starts from a layout that is about to change
    const int r = rowOf(band);
    const int pos = positionInRow(band);
    if (breakBefore && pos > 0) {
        std::vector<int> tail(m_rows[r].begin() + pos, m_rows[r].end());
        m_rows[r].erase(m_rows[r].begin() + pos, m_rows[r].end());
        m_rows.insert(m_rows.begin() + r + 1, std::move(tail));
    } else if (!breakBefore && pos == 0 && r > 0) {
        std::vector<int>& above = m_rows[r - 1];
        const int end = m_bands[above.back()].left + m_bands[above.back()].minWidth;
        for (int moved : m_rows[r]) {
            m_bands[moved].x = std::max(m_bands[moved].x, end);
            above.push_back(moved);
        }
        m_rows.erase(m_rows.begin() + r);
    } else {
        return;
    }
    relayout();
    commit();
}

void CoolBar::maximizeBand(int band)
{
    checkIndex(band);
    endDrag(); // a drag in progress starts from a layout that is about to change
    const std::vector<int>& row = m_rows[rowOf(band)];
    const int pos = positionInRow(band);
    int x = 0;
    for (int i = 0; i <= pos; ++i) {
        m_bands[row[i]].x = x;
        x += m_bands[row[i]].minWidth;
    }
    int tail = 0;
    for (int i = int(row.size()) - 1; i > pos; --i) {
        tail += m_bands[row[i]].minWidth;
        m_bands[row[i]].x = width() - tail;
    }
    relayout();
    commit();
}

void CoolBar::beginDrag(int band, QPoint start)
{
    checkIndex(band);
    m_dragBand = band;
    m_dragHold = bandRect(band).contains(start) ? start.x() - childLeft(band) : 0;
    m_dragRows = m_rows;
    m_dragLefts.clear();
    m_dragWanted.clear();
    for (const Band& b : m_bands) {
        m_dragLefts.push_back(b.left);
        m_dragWanted.push_back(b.x);
    }
}

void CoolBar::dragMove(QPoint point)
{
    if (!isDragging())
        return;
    m_rows = m_dragRows;
    for (int i = 0; i < bandCount(); ++i)
        m_bands[i].x = m_dragWanted[i], m_bands[i].left = m_dragLefts[i];

    const int band = m_dragBand;
    const int wantedLeft = point.x() - m_dragHold - m_bands[band].headerWidth - kDivider;
    const int ownRow = rowOf(band);
    const int ownTop = ownRow * kRowPitch;

    int target = ownRow;
    if (point.y() >= ownTop && point.y() < ownTop + kRowPitch) {
        std::vector<int>& row = m_rows[ownRow];
        row.erase(std::find(row.begin(), row.end(), band));
    } else {
        // The row is chosen in the layout without the band, so that the band ends up in the
        // row under the point: a live drag then stays put, and a replayed drag lands where
        // the band was saved.
        removeFromRow(band);
        target = point.y() < 0 ? 0 : point.y() / kRowPitch;
        if (target >= rowCount()) {
            target = rowCount();
            m_rows.emplace_back();
        }
    }
    insertIntoRow(m_rows[target], band, wantedLeft);
    relayout();
    commit();
}

void CoolBar::endDrag()
{
    m_dragBand = -1;
    m_dragHold = 0;
    m_dragRows.clear();
    m_dragLefts.clear();
    m_dragWanted.clear();
}

QSize CoolBar::sizeHint() const
{
    int widest = 0;
    for (const std::vector<int>& row : m_rows) {
        int sum = 0;
        for (int band : row)
            sum += m_bands[band].minWidth;
        widest = std::max(widest, sum);
    }
    return QSize(widest, barHeight());
}

QSize CoolBar::minimumSizeHint() const
{
    return sizeHint();
}

void CoolBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));
    for (int r = 0; r < rowCount(); ++r)
        drawEtchedHLine(p, pal, r * kRowPitch + kBandHeight, 0, width() - 1);

    p.setFont(font());
    for (int band = 0; band < bandCount(); ++band) {
        const QRect header = bandHeaderRect(band);
        if (positionInRow(band) > 0)
            drawEtchedVLine(p, pal, m_bands[band].left + 1, header.top() + 1, header.bottom() - 1);
        // Two raised ridges make the gripper.
        for (int ridge : {2, 5})
            drawEtchedVLine(p, pal, header.left() + ridge, header.top() + 3, header.bottom() - 3);
        const QRect text = header.adjusted(kGripperWidth + kLabelGap, 0, 0, 0);
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_bands[band].label);
    }
}

void CoolBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void CoolBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    const int band = bandAt(pos);
    if (band < 0 || !bandHeaderRect(band).contains(pos)) {
        event->ignore();
        return;
    }
    beginDrag(band, pos);
    setCursor(Qt::SizeAllCursor);
}

void CoolBar::mouseMoveEvent(QMouseEvent* event)
{
    if (isDragging())
        dragMove(event->position().toPoint());
    else
        event->ignore();
}

void CoolBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isDragging()) {
        endDrag();
        unsetCursor();
    } else {
        event->ignore();
    }
}

void CoolBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int band = bandAt(pos);
    if (event->button() != Qt::LeftButton || band < 0 || !bandHeaderRect(band).contains(pos)) {
        event->ignore();
        return;
    }
    endDrag();
    maximizeBand(band);
}

} // namespace vdm
