// SPDX-License-Identifier: MIT
// Any bytes as "user.gdb": the reader applies its blocks or throws vdm::Error. Whatever
// it left in the list, the writer's file reads back without error to the same bytes; the
// load's check that a file was read whole agrees with formatting and comparing.
#include "data/errors.h"
#include "data/userdb.h"

#include <cstdint>
#include <cstdlib>

namespace {

vdm::LocationList freshLocations()
{
    vdm::LocationList locations;
    for (const char* name : {"Alpha", "Beta", "Gamma", "Delta"}) {
        vdm::Location l;
        l.Name = name;
        locations.push_back(l);
    }
    return locations;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vdm::LocationList locations = freshLocations();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        vdm::readUserData(input, locations);
    } catch (const vdm::Error&) {}
    const QByteArray written = vdm::writeUserData(locations);
    // The load's check that nothing was lost agrees with formatting and comparing.
    if (vdm::userDataWritesBack(locations, input) != (written == input) || !vdm::userDataWritesBack(locations, written))
        std::abort();
    vdm::LocationList again = freshLocations();
    try {
        vdm::readUserData(written, again);
    } catch (const vdm::Error&) {
        std::abort(); // the writer's own file must always read back
    }
    if (vdm::writeUserData(again) != written)
        std::abort();
    return 0;
}
