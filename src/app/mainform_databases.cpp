// SPDX-License-Identifier: MIT
#include "app/mainform_databases.h"

#include "app/locationlistmodel.h"
#include "app/mainform.h"
#include "ui_mainform.h"

#include <QSignalBlocker>

namespace vdm {

void FillLocationList(TMainForm& form)
{
    QComboBox* combo = form.ui().CBLoc;
    const QSignalBlocker blocker(combo);
    static_cast<LocationListModel*>(combo->model())->fill(form.world().locations());
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
        form.endRun();
        return;
    }
    FillLocationList(form);
}

} // namespace vdm
