// SPDX-License-Identifier: MIT
#include "world/worldopening.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "world/world.h"
#include "world/worldchoice.h"

#include <QDir>

#include <exception>
#include <utility>

namespace vdm {

WorldOpening openWorld(World& world, const QString& folder)
{
    using Outcome = WorldOpening::Outcome;
    const QString absolute = QDir(folder).absolutePath();
    if (!World::pictureExists(absolute))
        return {Outcome::NoPicture, worldNotFoundMessage(absolute)};
    const QString locations = QDir(absolute).filePath(QStringLiteral("vdmain.gdb"));
    if (!databaseExists(locations))
        return {Outcome::NoLocations, locationsMissingMessage(locations)};

    try {
        world.SaveUserData();
        world.SaveMarkers();
    } catch (...) {
        return {Outcome::NotSaved, errorText(std::current_exception())};
    }

    World next(absolute);
    next.readDatabasesAhead(); // while the picture decodes
    try {
        next.LoadPicture();
    } catch (...) {
        return {Outcome::PictureError, errorText(std::current_exception())};
    }
    // A loader error keeps what was read before it, as at the start, and is told.
    QString loaderError;
    try {
        next.LoadDatabases();
    } catch (...) {
        loaderError = errorText(std::current_exception());
    }
    world = std::move(next);
    return {Outcome::Opened, loaderError};
}

} // namespace vdm
