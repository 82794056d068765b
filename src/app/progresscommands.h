// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QAction;

namespace vdm {

class TMainForm;
struct ProgressPlan;

/**
 * The window's commands that move the user's progress in and out: "Export progress..."
 * writes the progress file of the world, "Import progress..." reads one, shows what it
 * would change and applies it only when the user agrees. Each is a QAction of the window
 * (ActionExportProgress, ActionImportProgress), which its menu of extra commands shows.
 * Files are chosen and questions asked through the window's Prompts.
 */
class ProgressCommands : public QObject {
    Q_OBJECT

public:
    explicit ProgressCommands(TMainForm& form);

    QAction* exportAction() const { return m_export; }
    QAction* importAction() const { return m_import; }

    void exportProgress();
    void importProgress();

private:
    /** Shows the world as the import left it: the map, the marker tools, the location box. */
    void showImported();

    TMainForm& m_form;
    QAction* m_export;
    QAction* m_import;
};

/** The question an import asks before it changes anything: what it adds, replaces and could not place. */
QString importQuestion(const QString& file, const ProgressPlan& plan);

} // namespace vdm
