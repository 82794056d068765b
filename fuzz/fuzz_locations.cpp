// SPDX-License-Identifier: MIT
// Any bytes as "vdmain.gdb": the reader either fills the list or throws vdm::Error, and two
// readers, the second one starting where the input's first bytes say, read just as one.
#include "data/errors.h"
#include "data/locationsdb.h"

#include <cstdint>
#include <cstdlib>

namespace {

/** The records read and the error's text, as one reading gave them. */
template <typename Read> std::pair<vdm::LocationList, QString> reading(Read read)
{
    vdm::LocationList locations;
    QString error;
    try {
        read(locations);
    } catch (const vdm::Error& e) {
        // A conversion error keeps what was read before it.
        error = e.message();
    }
    return {std::move(locations), error};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto one = reading([&](vdm::LocationList& out) { vdm::readLocations(bytes, out); });
    // Every record that made it into the list came from a header line, so it costs input.
    if (qsizetype(one.first.size()) > bytes.size())
        std::abort();
    const qsizetype split = size >= 2 ? qsizetype((data[0] | data[1] << 8) % size) : 0;
    if (reading([&](vdm::LocationList& out) { vdm::readLocations(bytes, out, split); }) != one)
        std::abort();
    return 0;
}
