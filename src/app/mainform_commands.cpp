// SPDX-License-Identifier: MIT
// The display toggles and the commands of the tools band.
#include "app/mainform.h"

#include "app/displaytoggles.h"
#include "app/imagecommand.h"
#include "app/progresscommands.h"
#include "app/windowcommands.h"
#include "app/worldcommand.h"
#include "dialogs/formabout.h"
#include "dialogs/formoptions.h"
#include "ui_mainform.h"

#include <utility>

namespace vdm {

void TMainForm::createDialogs()
{
    FormAbout = new TFormAbout(m_appDir, m_prompts, this);
    TFormOptions::Hooks hooks;
    hooks.repaintMap = [this] { RepaintMap(); };
    hooks.saveUserData = [this] { m_world.SaveUserData(); };
    hooks.applyWindowSizeLimit = [this] { ApplyWindowSizeLimit(); };
    hooks.clearWindowSizeLimit = [this] { setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
    FormOptions = new TFormOptions(Config, m_edit, m_prompts, std::move(hooks), this);
}

void TMainForm::ToolButtonShowClick(QToolButton* sender)
{
    if (DisplayToggles(*m_ui, Config).click(sender))
        RepaintMap();
}

void TMainForm::OptionsToolButtonClick(QToolButton* sender)
{
    if (sender == m_ui->ToolButtonAbout) {
        if (FormAbout)
            FormAbout->exec();
    } else if (sender == m_ui->ToolButtonOptions) {
        if (!FormOptions)
            return;
        // The database buttons act at once, whichever button closes the dialog; the world
        // records them as the user's edits.
        const int result = FormOptions->exec();
        showProgressLine(); // the bulk edits count however the dialog closed
        if (result != QDialog::Accepted)
            return;
        m_session.rebuildObjects();
        RepaintMap();
        WriteSettings();
    } else if (sender == m_ui->ToolButtonClip) {
        CopyingToClipboard = true;
        RepaintMap();
        CopyingToClipboard = false;
    }
}

QAction* TMainForm::command(Command command) const
{
    return m_commands ? m_commands->action(command) : nullptr;
}

void TMainForm::KeyScroll(const ScrollStep& step)
{
    m_view.scroll(step);
}

void TMainForm::FullScreenClick()
{
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void TMainForm::SaveImageClick()
{
    m_imageCommand->saveViewAsImage();
}

void TMainForm::ExportProgressClick()
{
    m_progressCommands->exportProgress();
}

void TMainForm::ImportProgressClick()
{
    m_progressCommands->importProgress();
}

void TMainForm::OpenWorldClick()
{
    m_worldCommand->openWorld();
}

void TMainForm::MenuClick()
{
    m_commands->openMenu();
}

} // namespace vdm
