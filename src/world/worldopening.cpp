// SPDX-License-Identifier: MIT
#include "world/worldopening.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "world/world.h"
#include "world/worldchoice.h"

#include <QDir>
#include <QScopeGuard>

#include <exception>
#include <utility>

namespace vdm {

WorldOpening openWorld(World& world, const QString& folder)
{
    using Outcome = WorldOpening::Outcome;
    const QString absolute = QDir(folder).absolutePath();
    if (!World::pictureExists(absolute))
        return {Outcome::NoPicture, worldNotFoundMessage(absolute), {}};
    const QString locations = QDir(absolute).filePath(World::locationsFileName());
    if (!databaseExists(locations))
        return {Outcome::NoLocations, locationsMissingMessage(locations), {}};

    // The last writes' messages go with the outcome: the world that said them may be gone.
    QStringList notices;
    try {
        const auto told = qScopeGuard([&] { notices = world.takeNotices(); });
        world.SaveUserData();
        world.SaveMarkers();
    } catch (...) {
        return {Outcome::NotSaved, errorText(std::current_exception()), notices};
    }

    World next(absolute);
    next.readDatabasesAhead(); // while the picture decodes
    try {
        next.LoadPicture();
    } catch (...) {
        return {Outcome::PictureError, errorText(std::current_exception()), notices};
    }
    // A loader error keeps what was read before it, as at the start, and is told.
    QString loaderError;
    try {
        next.LoadDatabases();
    } catch (...) {
        loaderError = errorText(std::current_exception());
    }
    world.replaceWith(std::move(next));
    return {Outcome::Opened, loaderError, notices};
}

} // namespace vdm
