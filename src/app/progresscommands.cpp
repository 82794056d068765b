// SPDX-License-Identifier: MIT
#include "app/progresscommands.h"

#include "app/mainform.h"
#include "data/codepage.h"
#include "dialogs/errorguard.h"
#include "world/progressfile.h"
#include "ui_mainform.h"

#include <QAction>
#include <QFileInfo>
#include <QScopeGuard>

namespace vdm {
namespace {

const QString kExportCaption = QStringLiteral("Export progress");
const QString kImportCaption = QStringLiteral("Import progress");
const QString kFilter = QStringLiteral("Progress files (*.txt);;All files (*)");
const QString kDefaultName = QStringLiteral("progress.txt");

// The question lists this many names a file holds but the world does not; the rest are counted.
constexpr int kNamesListed = 10;

QString addedReplaced(int added, int replaced)
{
    return QStringLiteral("%1 added, %2 replaced").arg(added).arg(replaced);
}

/** "N places of the file were not found in this world: A, B, ... and M more." */
QString unmatchedText(const ProgressPlan& plan)
{
    if (plan.unmatched.isEmpty())
        return {};
    QStringList names;
    for (qsizetype i = 0; i < plan.unmatched.size() && i < kNamesListed; ++i)
        names << CodePage::decode(plan.unmatched[i]);
    QString text = QStringLiteral("%1 %2 of the file %3 not found in this world and %4 left out: %5")
                       .arg(plan.unmatched.size())
                       .arg(plan.unmatched.size() == 1 ? QStringLiteral("place") : QStringLiteral("places"))
                       .arg(plan.unmatched.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"))
                       .arg(plan.unmatched.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                       .arg(names.join(QStringLiteral(", ")));
    if (plan.unmatched.size() > kNamesListed)
        text += QStringLiteral(" and %1 more").arg(plan.unmatched.size() - kNamesListed);
    return text + QLatin1Char('.');
}

} // namespace

QString importQuestion(const QString& file, const ProgressPlan& plan)
{
    QString text = QStringLiteral("Import the progress in %1?\n\n"
                                  "Statuses: %2\nNotes: %3\nMarkers: %4")
                       .arg(file, addedReplaced(plan.statusesAdded, plan.statusesReplaced),
                            addedReplaced(plan.notesAdded, plan.notesReplaced),
                            addedReplaced(plan.markersAdded(), plan.markersReplaced()));
    const QString unmatched = unmatchedText(plan);
    if (!unmatched.isEmpty())
        text += QStringLiteral("\n\n") + unmatched;
    return text + QStringLiteral("\n\nThe changed files are written at once; no marker is removed.");
}

ProgressCommands::ProgressCommands(TMainForm& form)
    : QObject(&form), m_form(form), m_export(new QAction(QStringLiteral("Export progress..."), &form)),
      m_import(new QAction(QStringLiteral("Import progress..."), &form))
{
    m_export->setObjectName(QStringLiteral("ActionExportProgress"));
    m_import->setObjectName(QStringLiteral("ActionImportProgress"));
    connectGuarded(form.prompts(), &form, m_export, &QAction::triggered, [this] { exportProgress(); });
    connectGuarded(form.prompts(), &form, m_import, &QAction::triggered, [this] { importProgress(); });
    form.addActions({m_export, m_import});
}

void ProgressCommands::exportProgress()
{
    const QString start = QFileInfo(m_form.world().filePath(kDefaultName)).absoluteFilePath();
    const std::optional<QString> path = m_form.prompts().chooseFileToSave(&m_form, kExportCaption, start, kFilter);
    if (path)
        saveProgressFile(*path, m_form.world());
}

void ProgressCommands::importProgress()
{
    const QString start = QFileInfo(m_form.world().filePath(kDefaultName)).absoluteFilePath();
    const std::optional<QString> path = m_form.prompts().chooseFileToOpen(&m_form, kImportCaption, start, kFilter);
    if (!path)
        return;
    // A file that cannot be read leaves here with its message, before anything changes.
    const Progress progress = loadProgressFile(*path);
    World& world = m_form.world();
    const ProgressPlan plan = planProgressImport(progress, world.locations(), world.markers());
    const QString file = QFileInfo(*path).absoluteFilePath();
    if (!plan.changesUserData() && !plan.changesMarkers()) {
        QString text = QStringLiteral("The progress in %1 holds nothing that differs from this world.").arg(file);
        const QString unmatched = unmatchedText(plan);
        if (!unmatched.isEmpty())
            text += QStringLiteral("\n\n") + unmatched;
        m_form.prompts().showMessage(&m_form, kImportCaption, text, Prompts::Icon::Information);
        return;
    }
    if (!m_form.prompts().askYesNo(&m_form, kImportCaption, importQuestion(file, plan)))
        return;
    // The window shows the changes even when a file could not be written: they are kept.
    const auto shown = qScopeGuard([this] { showImported(); });
    applyProgressImport(world, plan);
}

void ProgressCommands::showImported()
{
    if (!m_form.world().markers().empty())
        m_form.ui().ToolButtonClearM->setEnabled(true);
    m_form.UpdateMarkerButtons();
    if (!m_form.editor().showsMarker())
        m_form.CBLocChange(); // the box shows the selected location's new status and note
    m_form.RepaintMap();
}

} // namespace vdm
