// SPDX-License-Identifier: MIT
#include "app/mainform_databases.h"

#include "app/locationlistmodel.h"
#include "app/mainform.h"
#include "ui_mainform.h"

#include "world/worldchoice.h"

#include <QFileInfo>
#include <QSignalBlocker>

namespace vdm {

void FillLocationList(TMainForm& form)
{
    QComboBox* combo = form.ui().CBLoc;
    const QSignalBlocker blocker(combo);
    static_cast<LocationListModel*>(combo->model())->fill(form.world().listedLocations());
}

void LoadLocations(TMainForm& form)
{
    bool found = false;
    try {
        found = form.world().LoadLocations();
    } catch (...) {
        FillLocationList(form); // the records read before the error stay listed
        throw;
    }
    if (!found) {
        // Told before the run ends, while the first show still runs: the box belongs to
        // the start, so the program cannot end before it (or wait on it after its window
        // has gone). The close is queued after the box, so the box stays until answered.
        const QString path = QFileInfo(form.world().filePath(QStringLiteral("vdmain.gdb"))).absoluteFilePath();
        form.prompts().showError(&form, locationsMissingMessage(path));
        form.endRun();
        return;
    }
    FillLocationList(form);
}

} // namespace vdm
