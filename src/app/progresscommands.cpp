// SPDX-License-Identifier: MIT
#include "app/progresscommands.h"

#include "app/orientationcommands.h"
#include "app/savetarget.h"
#include "data/codepage.h"
#include "data/settings.h"
#include "dialogs/errorguard.h"
#include "dialogs/prompts.h"
#include "edit/mapeditor.h"
#include "session/proposedfile.h"
#include "session/settingssession.h"
#include "world/world.h"
#include "world/progressfile.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QWidget>

#include <utility>

namespace vdm {
namespace {

const QString kExportCaption = QStringLiteral("Export progress");
const QString kImportCaption = QStringLiteral("Import progress");
const QString kFilter = QStringLiteral("Progress files (*.txt);;All files (*)");
const QString kDefaultName = QStringLiteral("progress.txt");

// A summary lists this many names, each cut to this many characters; the rest are counted.
constexpr int kNamesListed = 20;
constexpr int kNameShown = 80;

QString addedReplaced(int added, int replaced)
{
    return QStringLiteral("%1 added, %2 replaced").arg(added).arg(replaced);
}

/** "A, B, ... and M more.": a list that stays a readable size whatever the file holds. */
QString nameList(const QList<QByteArray>& names)
{
    QStringList shown;
    for (qsizetype i = 0; i < names.size() && i < kNamesListed; ++i) {
        QString name
            = CodePage::decode(QByteArrayView(names[i]).first(qMin<qsizetype>(names[i].size(), kNameShown + 1)));
        if (name.size() > kNameShown)
            name = name.left(kNameShown - 3) + QStringLiteral("...");
        shown << name;
    }
    QString text = shown.join(QStringLiteral(", "));
    if (names.size() > kNamesListed)
        text += QStringLiteral(" and %1 more").arg(names.size() - kNamesListed);
    return text + QLatin1Char('.');
}

/** A word and its plural, chosen by a count. */
struct Counted {
    const char* one;
    const char* many;
    QString of(qsizetype n) const { return QString::fromLatin1(n == 1 ? one : many); }
};

/** "3 places of the file were not found in this world and are left out: A, B, C." */
QString leftOutSentence(const QList<QByteArray>& names, Counted noun, Counted verb, const char* why)
{
    const qsizetype n = names.size();
    return QStringLiteral("%1 %2 of the file %3 %4 and %5 left out: %6")
        .arg(n)
        .arg(noun.of(n), verb.of(n), QString::fromLatin1(why), Counted{"is", "are"}.of(n), nameList(names));
}

/** What of the file was left out: places not found, places listed twice. Empty: nothing. */
QString unmatchedText(const ProgressPlan& plan)
{
    QStringList parts;
    if (!plan.unmatched.isEmpty())
        parts << leftOutSentence(plan.unmatched, {"place", "places"}, {"was", "were"}, "not found in this world");
    if (!plan.duplicates.isEmpty())
        parts << leftOutSentence(plan.duplicates, {"line", "lines"}, {"repeats", "repeat"}, "a place listed before");
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

QString importQuestion(const QString& file, const ProgressPlan& plan, int bookmarks)
{
    QString text = QStringLiteral("Import the progress in %1?\n\n"
                                  "Statuses: %2\nNotes: %3\nMarkers: %4")
                       .arg(file, addedReplaced(plan.statusesAdded, plan.statusesReplaced),
                            addedReplaced(plan.notesAdded, plan.notesReplaced),
                            addedReplaced(plan.markersAdded(), plan.markersReplaced()));
    // A file without bookmarks asks exactly what it asked before bookmarks existed.
    if (bookmarks > 0)
        text += QStringLiteral("\nBookmarks: %1 added or replaced").arg(bookmarks);
    const QString unmatched = unmatchedText(plan);
    if (!unmatched.isEmpty())
        text += QStringLiteral("\n\n") + unmatched;
    return text + QStringLiteral("\n\nThe changed files are written at once; no marker is removed.");
}

ProgressCommands::ProgressCommands(QWidget& window, World& world, MapEditor& editor, SettingsSession& settings,
                                   Prompts& prompts)
    : QObject(&window), m_window(window), m_world(world), m_editor(editor), m_settings(settings), m_prompts(prompts)
{}

void ProgressCommands::exportProgress()
{
    const QString start
        = proposedFile(m_settings.settings().ExportFolder, QStandardPaths::DocumentsLocation, m_world.folder(),
                       QStringLiteral("progress"), QDate::currentDate(), QStringLiteral("txt"));
    const std::optional<QString> path
        = chooseSaveTarget(m_prompts, &m_window, kExportCaption, start, kFilter, m_world, m_settings);
    if (!path)
        return;
    Settings remembered = m_settings.settings();
    remembered.ExportFolder = rememberedFolder(*path);
    m_settings.apply(remembered);
    saveProgressFile(*path, m_world, m_views ? m_views->bookmarks() : ViewBookmarks());
}

void ProgressCommands::importProgress()
{
    const QString start = QFileInfo(m_world.filePath(kDefaultName)).absoluteFilePath();
    const std::optional<QString> path = m_prompts.chooseFileToOpen(&m_window, kImportCaption, start, kFilter);
    if (!path)
        return;
    // A file that cannot be read leaves here with its message, before anything changes.
    const Progress progress = loadProgressFile(*path);
    const ProgressPlan plan = planProgressImport(progress, m_world.locations(), m_world.markers());
    const QString file = QFileInfo(*path).absoluteFilePath();
    // The bookmarks the file would add or replace, worked out on a copy.
    ViewBookmarks merged = m_views ? m_views->bookmarks() : ViewBookmarks();
    const int bookmarks = m_views ? merged.merge(progress.bookmarks) : 0;
    if (!plan.changesUserData() && !plan.changesMarkers() && bookmarks == 0) {
        QString text = QStringLiteral("The progress in %1 holds nothing that differs from this world.").arg(file);
        const QString unmatched = unmatchedText(plan);
        if (!unmatched.isEmpty())
            text += QStringLiteral("\n\n") + unmatched;
        m_prompts.showMessage(&m_window, kImportCaption, text, Prompts::Icon::Information);
        return;
    }
    if (!m_prompts.askYesNo(&m_window, kImportCaption, importQuestion(file, plan, bookmarks)))
        return;
    if (bookmarks > 0)
        m_views->takeBookmarks(progress.bookmarks);
    // The window shows the changes even when a file could not be written: they are kept.
    const auto shown = qScopeGuard([this] { emit imported(); });
    if (plan.changesUserData() || plan.changesMarkers())
        m_editor.importProgress(plan);
}

} // namespace vdm
