// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vdm {

class Prompts;

/**
 * The program entry after the application object exists: the title, the choice of the
 * world (`worldArgument`, the working directory, the last world, the installed sample or
 * the folder chooser), the main window and its dialogs, the event loop, the shut-down.
 * Returns the exit status, 0 on every path. `applicationDirectory` ends with "/";
 * `worldArgument` is the folder named on the command line, or empty. With `chooseWorld`
 * the folder chooser comes first, whatever else there is ("Open world..." of the desktop
 * entry); cancelling it ends the run without a word.
 */
int runProgram(Prompts& prompts, const QString& applicationDirectory, const QString& worldArgument = {},
               bool chooseWorld = false);

} // namespace vdm
