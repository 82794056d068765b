// SPDX-License-Identifier: MIT
// Any bytes as a progress file: the reader gives places and markers or throws vdm::Error.
// What it read, written again, reads back to the same; planning its import into a small
// world never reaches outside the world's lists.
#include "data/errors.h"
#include "world/progressfile.h"

#include <cstdint>
#include <cstdlib>

namespace {

vdm::LocationList asLocations(const std::vector<vdm::ProgressPlace>& places)
{
    vdm::LocationList out;
    for (const vdm::ProgressPlace& p : places) {
        vdm::Location l;
        l.Name = p.name;
        l.X = p.x;
        l.Y = p.y;
        l.Status = p.status;
        l.Note = p.note;
        out.push_back(std::move(l));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vdm::Progress progress;
    try {
        progress = vdm::readProgress(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                     QStringLiteral("fuzz"));
    } catch (const vdm::Error&) {
        return 0;
    }
    const QByteArray written = vdm::writeProgress(asLocations(progress.places), progress.markers);
    vdm::Progress again;
    try {
        again = vdm::readProgress(written, QStringLiteral("fuzz"));
    } catch (const vdm::Error&) {
        std::abort(); // the writer's own file must always read back
    }
    if (again.places != progress.places || again.markers != progress.markers)
        std::abort();

    // A world holding half the file's places and markers, so every kind of match happens.
    vdm::LocationList world = asLocations(progress.places);
    world.resize(world.size() / 2);
    vdm::LocationList markers = progress.markers;
    markers.resize(markers.size() / 2);
    const vdm::ProgressPlan plan = vdm::planProgressImport(progress, world, markers);
    for (const auto& s : plan.statuses)
        if (s.index < 0 || size_t(s.index) >= world.size())
            std::abort();
    for (const auto& n : plan.notes)
        if (n.index < 0 || size_t(n.index) >= world.size())
            std::abort();
    for (const auto& m : plan.markerTexts)
        if (m.index < 0 || size_t(m.index) >= markers.size())
            std::abort();
    return 0;
}
