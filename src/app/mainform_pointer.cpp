// SPDX-License-Identifier: MIT
// The pointer over the map: drag-pan, the right button's add mode, and the hover hints.
#include "app/mainform.h"

#include "data/codepage.h"
#include "dialogs/platform.h"
#include "hint/ddghintwindow.h"
#include "ui_mainform.h"

#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace vdm {
namespace {

/**
 * The map-unit box of the items in reach of a panel point, so the hover test compares two
 * integers per item and converts only the few items inside. An item is in reach when its
 * panel point lies within 4 pixels of the pointer on both axes. The panel x of a map
 * point depends on its x alone and never falls as x grows; the panel y depends on its y
 * alone and never rises as y grows. Each bound is therefore found by bisecting the
 * conversion itself, and the box holds exactly the map points the conversion puts in
 * reach, whatever its rounding.
 */
struct Reach {
    std::int64_t xlo, xhi, ylo, yhi; // inclusive; empty when lo > hi

    bool contains(const Location& item) const
    {
        return item.X >= xlo && item.X <= xhi && item.Y >= ylo && item.Y <= yhi;
    }
};

/** The first value in lo..hi for which `pred` holds (false up to it, true from it on); hi + 1 if none. */
template <typename Pred> std::int64_t firstWhere(std::int64_t lo, std::int64_t hi, Pred pred)
{
    std::int64_t first = hi + 1;
    while (lo <= hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            first = mid;
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return first;
}

/**
 * As firstWhere over all of int, but bisecting only 2^16 either side of `guess` when the
 * answer is known to lie there (false just below the window, true at its top); otherwise
 * over everything. The answer is the same either way.
 */
template <typename Pred> std::int64_t firstWhereNear(std::int64_t guess, Pred pred)
{
    constexpr std::int64_t window = std::int64_t(1) << 16;
    const std::int64_t lo = std::max<std::int64_t>(INT_MIN, guess - window);
    const std::int64_t hi = std::min<std::int64_t>(INT_MAX, guess + window);
    if (lo > INT_MIN && hi < INT_MAX && !pred(lo) && pred(hi))
        return firstWhere(lo + 1, hi, pred);
    return firstWhere(INT_MIN, INT_MAX, pred);
}

Reach reachOf(const Viewport& view, QPoint pointer)
{
    // The picture point under the pointer, and the map point there as a first guess.
    const std::int64_t ax = std::int64_t(pointer.x()) + view.LastScrollX - view.MarginX;
    const std::int64_t ay = std::int64_t(pointer.y()) + view.LastScrollY - view.MarginY;
    const QPoint guess = view.ScreenToMap(int(std::clamp<std::int64_t>(ax, INT_MIN, INT_MAX)),
                                          int(std::clamp<std::int64_t>(ay, INT_MIN, INT_MAX)));
    const auto px = [&](std::int64_t x) { return std::int64_t(view.MapToScreen(int(x), 0).x()); };
    const auto py = [&](std::int64_t y) { return std::int64_t(view.MapToScreen(0, int(y)).y()); };
    Reach r;
    r.xlo = firstWhereNear(guess.x(), [&](std::int64_t x) { return px(x) >= ax - 4; });
    r.xhi = firstWhereNear(guess.x(), [&](std::int64_t x) { return px(x) > ax + 4; }) - 1;
    r.ylo = firstWhereNear(guess.y(), [&](std::int64_t y) { return py(y) <= ay + 4; });
    r.yhi = firstWhereNear(guess.y(), [&](std::int64_t y) { return py(y) < ay - 4; }) - 1;
    return r;
}

} // namespace

void TMainForm::ImageMapMouseDown(Qt::MouseButton button, Qt::MouseButtons, int x, int y)
{
    if (button == Qt::LeftButton && View.ZoomIndex != 0) {
        Dragging = true; // at 10 % the map cannot be dragged
        DragStart = QPoint(x, y);
    }
    if (button == Qt::RightButton && View.ZoomIndex > 1) {
        // One click must never both add and delete: entering add mode ends delete mode.
        DeleteMarkerMode = false;
        m_ui->ToolButtonDelM->setChecked(false);
        m_ui->ToolButtonAddM->setChecked(true);
        AddMarkerMode = true;
        setMapCursor(true);
    }
}

void TMainForm::ImageMapMouseUp(Qt::MouseButton button, int, int)
{
    if (button == Qt::LeftButton)
        Dragging = false;
}

void TMainForm::ImageMapMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    LastMouse = QPoint(x, y);

    if (Dragging && (buttons & Qt::LeftButton) && !AddMarkerMode) {
        // The picture follows the pointer pixel for pixel and stops at the bounds; the
        // start moves on even at a bound, so turning back moves the map at once.
        QScrollBar* h = m_ui->ScrollBarH;
        QScrollBar* v = m_ui->ScrollBarV;
        h->setValue(qBound(0, h->value() - (x - DragStart.x()), h->maximum()));
        v->setValue(qBound(0, v->value() - (y - DragStart.y()), v->maximum()));
        DragStart = QPoint(x, y);
        View.LastScrollY = v->value();
        View.LastScrollX = h->value();
        RepaintMap();
    }
    if (Dragging)
        return; // no hover test during a drag

    const QPoint pointer(x, y);
    // A move costs a few dozen conversions instead of one per item: the box settles who
    // is in reach, and the shared hit test still has the last word.
    const Reach reach = reachOf(View, pointer);
    for (int i = 0; i < int(Locations.size()); ++i) {
        const Location& l = Locations[size_t(i)];
        if (!reach.contains(l) || !locationShown(i) || !underPointer(l, pointer))
            continue;
        if (HintShown || !Config.ShowHint)
            return; // a hint already showing stays, even one of another item
        if (!Config.ConstantHints && l.Name == LastHintName)
            return;
        HintText = l.Note;
        ShowMapHint(l.Name, x, y);
        HintShown = true;
        LastHintName = l.Name;
        return;
    }
    // Every marker that can be hit and is not under the pointer clears EditedMarker, the
    // first one under it takes it; while the box edits a marker, it keeps editing that one.
    bool markerShown = false;
    for (int i = 0; i < int(Markers.size()); ++i) {
        const Location& m = Markers[size_t(i)];
        if (!View.LevelVisible(m.Level))
            continue;
        markerShown = true;
        if (!reach.contains(m) || !underPointer(m, pointer))
            continue;
        if (!EditMarkerMode)
            EditedMarker = i;
        if (HintShown || !Config.ShowHint)
            return;
        if (!Config.ConstantHints && m.Name == LastHintName)
            return;
        HintText = m.Name;
        ShowMapHint(QByteArray("Marker"), x, y);
        HintShown = true;
        LastHintName = m.Name;
        return;
    }
    if (markerShown && !EditMarkerMode)
        EditedMarker = -1;
    if (HintShown) {
        HintWindow->ReleaseHandle();
        HintShown = false;
        Timer->stop();
    }
    LastHintName.clear();
}

void TMainForm::ShowMapHint(const QByteArray& text, int x, int y)
{
    if (!HintWindow)
        HintWindow = new TddgHintWindow(m_ui->PanelMap);
    const QPoint origin = m_ui->PanelMap->mapToGlobal(QPoint(0, 0));
    const QString title = CodePage::decode(text);
    HintWindow->setCanvasFontSize(Config.HintFontSize);
    HintWindow->setCanvasFontName(Config.HintFontName);
    const QRect rect(origin.x() + x + 10, origin.y() + y + 5, HintWindow->textWidth(title) + 10,
                     HintWindow->textHeight() + 2);
    if (ExtendedGraphicsSupported())
        HintWindow->setAlpha(Config.HintOpacity * 255 / 100);
    HintWindow->SetExText(CodePage::decode(HintText));
    HintWindow->SetText(title);
    HintWindow->setColor(Qt::black);
    HintWindow->ActivateHint(rect, title);
    Timer->stop();
    Timer->setInterval(qMax(0, Config.HintDelay));
    Timer->start();
}

void TMainForm::TimerTimer()
{
    Timer->stop();
    if (!Config.ConstantHints) {
        if (HintWindow)
            HintWindow->ReleaseHandle();
        HintShown = false;
    }
}

} // namespace vdm
