// SPDX-License-Identifier: MIT
#include "app/savetarget.h"

#include "dialogs/prompts.h"
#include "session/settingssession.h"
#include "world/ownfiles.h"

#include <QDir>
#include <QFileInfo>

namespace vdm {

std::optional<QString> chooseSaveTarget(Prompts& prompts, QWidget* parent, const QString& caption, const QString& start,
                                        const QString& filter, const World& world, const SettingsSession& settings)
{
    const QString proposedName = QFileInfo(start).fileName();
    QString from = start;
    for (;;) {
        const std::optional<QString> path = prompts.chooseFileToSave(parent, caption, from, filter);
        if (!path)
            return std::nullopt;
        // Looked at after each pick: the autosave may have made a backup meanwhile.
        const QString own = OwnFiles(world, settings.filePath()).clash(*path);
        if (own.isEmpty())
            return path;
        prompts.showError(parent, OwnFiles::refusal(*path, own));
        from = QDir(QFileInfo(*path).absolutePath()).filePath(proposedName);
    }
}

} // namespace vdm
