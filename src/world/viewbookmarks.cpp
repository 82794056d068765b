// SPDX-License-Identifier: MIT
#include "world/viewbookmarks.h"

#include <algorithm>

namespace vdm {

ViewBookmark ViewBookmark::of(const Viewport& view)
{
    const QPoint centre(view.panel().width() / 2, view.panel().height() / 2);
    const QPoint picture = view.panelToPicture(centre);
    const QPoint map = view.ScreenToMap(picture.x(), picture.y());
    // The conversion truncates, so its point may come back a pixel short of the centre;
    // a map unit is finer than a pixel at every level, so a near neighbour lands exactly
    // and returning shows the very same scroll position.
    std::int32_t x = map.x(), y = map.y();
    for (int d : {0, 1, -1, 2, -2, 3, -3, 4, -4})
        if (view.MapToScreen(map.x() + d, map.y()).x() == picture.x()) {
            x = map.x() + d;
            break;
        }
    for (int d : {0, 1, -1, 2, -2, 3, -3, 4, -4})
        if (view.MapToScreen(map.x(), map.y() + d).y() == picture.y()) {
            y = map.y() + d;
            break;
        }
    return {view.zoomIndex(), x, y};
}

void ViewBookmark::showIn(Viewport& view) const
{
    // The level first, then the point centred at it: the point lands where the level's
    // rounding puts it, exactly as Go centres a location.
    if (view.zoomIndex() != zoom)
        view.zoomTo(std::clamp(zoom, 0, Viewport::HighestZoom), QPoint());
    view.centreOn(x, y);
}

std::optional<ViewBookmark> ViewBookmarks::digit(int d) const
{
    if (d < FirstDigit || d > LastDigit)
        return std::nullopt;
    return m_digits[size_t(d - FirstDigit)];
}

bool ViewBookmarks::setDigit(int d, const ViewBookmark& view)
{
    if (d < FirstDigit || d > LastDigit)
        return false;
    m_digits[size_t(d - FirstDigit)] = view;
    return true;
}

void ViewBookmarks::clearDigit(int d)
{
    if (d >= FirstDigit && d <= LastDigit)
        m_digits[size_t(d - FirstDigit)].reset();
}

bool ViewBookmarks::addNamed(const QByteArray& name, const ViewBookmark& view)
{
    const QByteArray clean = name.trimmed();
    if (clean.isEmpty())
        return false;
    const auto same
        = std::find_if(m_named.begin(), m_named.end(), [&](const NamedBookmark& b) { return b.name == clean; });
    if (same != m_named.end())
        same->view = view;
    else
        m_named.push_back({clean, view});
    return true;
}

bool ViewBookmarks::removeNamed(std::size_t index)
{
    if (index >= m_named.size())
        return false;
    m_named.erase(m_named.begin() + std::ptrdiff_t(index));
    return true;
}

bool ViewBookmarks::empty() const
{
    return m_named.empty()
           && std::none_of(m_digits.begin(), m_digits.end(), [](const auto& d) { return d.has_value(); });
}

int ViewBookmarks::merge(const ViewBookmarks& other)
{
    int changed = 0;
    for (int d = FirstDigit; d <= LastDigit; ++d) {
        const auto theirs = other.digit(d);
        if (theirs && digit(d) != theirs) {
            setDigit(d, *theirs);
            ++changed;
        }
    }
    for (const NamedBookmark& b : other.named()) {
        const auto same
            = std::find_if(m_named.begin(), m_named.end(), [&](const NamedBookmark& n) { return n.name == b.name; });
        if (same != m_named.end() && same->view == b.view)
            continue;
        addNamed(b.name, b.view);
        ++changed;
    }
    return changed;
}

} // namespace vdm
