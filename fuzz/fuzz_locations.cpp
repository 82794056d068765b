// SPDX-License-Identifier: MIT
// Any bytes as "vdmain.gdb": the reader either fills the list or throws vdm::Error.
#include "data/errors.h"
#include "data/locationsdb.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    vdm::LocationList locations;
    try {
        vdm::readLocations(bytes, locations);
    } catch (const vdm::Error&) {
        // A conversion error keeps what was read before it.
    }
    // Every record that made it into the list came from a header line, so it costs input.
    if (qsizetype(locations.size()) > bytes.size())
        std::abort();
    return 0;
}
