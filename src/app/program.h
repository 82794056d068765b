// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vdm {

class Prompts;

/**
 * The program entry after the application object exists: the title, the check for a map
 * picture, the main window and its dialogs, the event loop, the shut-down. Returns the
 * exit status, 0 on every path. `applicationDirectory` ends with "/".
 */
int runProgram(Prompts& prompts, const QString& applicationDirectory);

/** True when the working directory holds a map picture. */
bool mapPictureExists();

} // namespace vdm
