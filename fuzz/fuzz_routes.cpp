// SPDX-License-Identifier: MIT
// Any bytes as "routes.gdb" over a small fixed list of locations: routes attach or the
// reader throws vdm::Error; every target stays an index into the list.
#include "data/errors.h"
#include "data/routesdb.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vdm::LocationList locations;
    for (const char* name : {"A", "B", "C", "Port Selm", "", "A"}) {
        vdm::Location l;
        l.Name = name;
        locations.push_back(l);
    }
    try {
        vdm::readRoutes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), locations);
    } catch (const vdm::Error&) {}
    for (const vdm::Location& l : locations)
        for (const vdm::Route& r : l.Routes)
            if (r.Target < 0 || r.Target >= std::int32_t(locations.size()) || r.Kind > 9)
                std::abort();
    // Lookups by name find the first bearer: the second "A" never gets routes.
    if (!locations[5].Routes.empty())
        std::abort();
    return 0;
}
