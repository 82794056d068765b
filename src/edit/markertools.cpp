// SPDX-License-Identifier: MIT
#include "edit/markertools.h"

namespace vdm {

void MarkerTools::levelShown(int zoomIndex, std::size_t markers)
{
    const bool zoomedIn = zoomIndex >= 1;
    m_add = zoomedIn;
    m_delete = zoomedIn && markers > 0;
}

void MarkerTools::markersLoaded(int zoomIndex, std::size_t markers)
{
    if (markers == 0)
        return;
    m_clear = true;
    if (zoomIndex > 0)
        m_delete = true;
}

void MarkerTools::clicked(std::size_t before, std::size_t after, bool deleting)
{
    // Whatever the level: add mode outlives a zoom out, and its marker may be deleted.
    if (after > before) {
        m_clear = true;
        m_delete = true;
    } else if (deleting && after == 0) {
        m_clear = false;
        m_delete = false;
    }
}

void MarkerTools::markersChanged(std::size_t before, std::size_t after)
{
    clicked(before, after, true);
}

void MarkerTools::cleared()
{
    m_clear = false;
    m_delete = false;
}

void MarkerTools::worldOpened(int zoomIndex, std::size_t markers)
{
    levelShown(zoomIndex, markers);
    m_clear = markers > 0;
}

void MarkerTools::imported(int zoomIndex, std::size_t markers)
{
    if (markers > 0)
        m_clear = true;
    levelShown(zoomIndex, markers);
}

} // namespace vdm
