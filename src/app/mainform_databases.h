// SPDX-License-Identifier: MIT
#pragma once

namespace vdm {

class TMainForm;

/**
 * The window's side of loading the world: the world reads the files (src/world), the
 * window lists what it read and ends the run when there is nothing to show.
 */

/**
 * Reads "vdmain.gdb" into the window's world and fills the location list, also with the
 * records read before a loader error. A missing file is named in an error box, and the
 * window closes at the loop's next turn after it.
 */
void LoadLocations(TMainForm& form);

/** Refills the location list: sorted by name without regard to case, each entry carrying its index. */
void FillLocationList(TMainForm& form);

} // namespace vdm
