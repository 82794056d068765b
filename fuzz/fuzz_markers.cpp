// SPDX-License-Identifier: MIT
// Any bytes as "markers.gdb": the reader appends markers or throws vdm::Error. The
// writer's file of whatever was read reads back without error to the same bytes.
#include "data/errors.h"
#include "data/markersdb.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vdm::LocationList markers;
    try {
        vdm::readMarkers(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), markers);
    } catch (const vdm::Error&) {}
    const QByteArray written = vdm::writeMarkers(markers);
    vdm::LocationList again;
    try {
        vdm::readMarkers(written, again);
    } catch (const vdm::Error&) {
        std::abort(); // the writer's own file must always read back
    }
    if (again.size() != markers.size() || vdm::writeMarkers(again) != written)
        std::abort();
    for (size_t i = 0; i < markers.size(); ++i)
        if (again[i].X != markers[i].X || again[i].Y != markers[i].Y || again[i].Level != 1)
            std::abort();
    return 0;
}
