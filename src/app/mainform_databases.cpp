// SPDX-License-Identifier: MIT
#include "app/mainform_databases.h"

#include "app/locationlistmodel.h"
#include "app/mainform.h"
#include "data/atomicfile.h"
#include "data/codepage.h"
#include "data/databasefile.h"
#include "data/locationsdb.h"
#include "data/markersdb.h"
#include "data/routesdb.h"
#include "data/userdb.h"
#include "ui_mainform.h"

#include <QFileInfo>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <algorithm>
#include <numeric>

namespace vdm {
namespace {

const QString kLocations = QStringLiteral("vdmain.gdb");
const QString kRoutes = QStringLiteral("routes.gdb");
const QString kUserData = QStringLiteral("user.gdb");
const QString kMarkers = QStringLiteral("markers.gdb");

/**
 * Keeps `bytes` (the stored file) as "<name>.bak". A backup left by an earlier run may be
 * the only whole copy of the user's data (a locations file that stays broken makes every
 * run incomplete), so it is never replaced: the next free "<name>.bak.2", ".bak.3", ...
 * is taken instead, unless one of them already holds exactly these bytes.
 */
void keepBackup(const QString& name, const QByteArray& bytes)
{
    const QString base = name + QStringLiteral(".bak");
    QString backup = base;
    for (int n = 2; QFileInfo::exists(backup); ++n) {
        if (QFileInfo(backup).isFile() && readDatabaseFile(backup) == bytes)
            return;
        backup = base + QLatin1Char('.') + QString::number(n);
    }
    AtomicFile::write(backup, bytes);
}

/**
 * Decides whether a database may be written and keeps the old file first when it was not
 * loaded completely but the user changed the data anyway. Returns false to skip the write.
 */
bool prepareWrite(const QString& name, bool& safe, bool edited)
{
    if (safe)
        return true;
    if (!edited)
        return false; // nothing of the user's to keep, and the stored file stays whole
    if (QFileInfo(name).isFile())
        keepBackup(name, readDatabaseFile(name));
    safe = true;
    return true;
}

} // namespace

void FillLocationList(TMainForm& form)
{
    QComboBox* combo = form.ui().CBLoc;
    const QSignalBlocker blocker(combo);
    static_cast<LocationListModel*>(combo->model())->fill(form.Locations);
}

void LoadLocations(TMainForm& form)
{
    if (!databaseExists(kLocations)) {
        QMetaObject::invokeMethod(&form, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    const QByteArray bytes = readDatabaseFile(kLocations);
    try {
        readLocations(bytes, form.Locations);
    } catch (...) {
        FillLocationList(form); // the records read before the error stay listed
        throw;
    }
    FillLocationList(form);
    form.LocationsLoaded = true;
}

void LoadRoutes(TMainForm& form)
{
    if (!databaseExists(kRoutes))
        return;
    readRoutes(readDatabaseFile(kRoutes), form.Locations);
}

void LoadUserData(TMainForm& form)
{
    readUserData(readDatabaseFile(kUserData), form.Locations);
}

void LoadMarkers(TMainForm& form)
{
    readMarkers(readDatabaseFile(kMarkers), form.Markers);
}

void SaveUserData(TMainForm& form)
{
    if (!prepareWrite(kUserData, form.UserDataSafe, form.UserDataEdited))
        return;
    AtomicFile::write(kUserData, writeUserData(form.Locations));
}

void SaveMarkers(TMainForm& form)
{
    if (!prepareWrite(kMarkers, form.MarkersSafe, form.MarkersEdited))
        return;
    AtomicFile::write(kMarkers, writeMarkers(form.Markers));
}

} // namespace vdm
