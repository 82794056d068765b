// SPDX-License-Identifier: MIT
#pragma once

namespace vdm {

class TMainForm;

/**
 * The four databases of the main window, read at first show and written back. Files are
 * looked up by bare name in the current working directory. The readers themselves live in
 * src/data and know nothing of windows; these functions open the files, fill the window's
 * lists and its location list, and guard what may be written back.
 */

/** Reads "vdmain.gdb"; a missing file closes the window at the loop's next turn. */
void LoadLocations(TMainForm& form);
/** Reads "routes.gdb" when present. */
void LoadRoutes(TMainForm& form);
void LoadUserData(TMainForm& form);
void LoadMarkers(TMainForm& form);

/**
 * Write "user.gdb" / "markers.gdb" atomically. A file this run did not load completely is
 * never replaced by the incomplete lists; if the user edited that data anyway, the old
 * file is first kept beside it as "user.gdb.bak" / "markers.gdb.bak" (an older backup is
 * never replaced: the next free "<name>.bak.2", ".bak.3", ... is used).
 */
void SaveUserData(TMainForm& form);
void SaveMarkers(TMainForm& form);

/** Refills the location list: sorted by name without regard to case, each entry carrying its index. */
void FillLocationList(TMainForm& form);

} // namespace vdm
