// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

namespace vdm {

/** Where the world of a run came from. */
enum class WorldSource {
    Argument,         // named on the command line
    WorkingDirectory, // the folder the program was started in holds a map picture
    LastWorld,        // the world of an earlier run, remembered in the settings file
    Sample,           // the sample world installed with the program
    Chooser,          // none of these: the user picks a folder
};

/** The folders a run may open, in the order they are tried. Empty: not there. */
struct WorldCandidates {
    QString argument;
    QString workingDirectory;
    QString lastWorld;
    QString sample;
};

struct WorldChoice {
    WorldSource source;
    QString folder; // empty for the chooser
};

/**
 * Picks the world of this run: a folder named on the command line, whatever it holds
 * (a wrong one is then reported by name); else the working directory when it holds a
 * map picture, so a run started inside a world behaves as it always did; else the last
 * world, then the installed sample, each only while it still holds a picture; else the
 * chooser. `holdsPicture` answers for a folder.
 */
WorldChoice chooseWorld(const WorldCandidates& candidates, const std::function<bool(const QString&)>& holdsPicture);

/** The sample world installed beside the program: <prefix>/share/veldamar-map/world. */
QString sampleWorldFolder(const QString& applicationDirectory);

/** The folder chooser's caption, at the start and for "Open world...". */
QString worldChooserCaption();

/**
 * The box shown when no map picture was found: the fixed first line, then the folder
 * looked in and how to name another.
 */
QString worldNotFoundMessage(const QString& folder);

/** The box shown when a world has its picture but no locations database at `path`. */
QString locationsMissingMessage(const QString& path);

} // namespace vdm
