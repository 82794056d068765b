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
 * `worldArgument` is the folder named on the command line, or empty.
 */
int runProgram(Prompts& prompts, const QString& applicationDirectory, const QString& worldArgument = {});

} // namespace vdm
