// SPDX-License-Identifier: MIT
// The display toggles and the commands of the tools band.
#include "app/mainform.h"

#include "app/displaytoggles.h"
#include "app/imagecommand.h"
#include "app/progressline.h"
#include "app/worldcommand.h"
#include "app/windowcommands.h"
#include "dialogs/formabout.h"
#include "dialogs/formoptions.h"
#include "ui_mainform.h"

namespace vdm {

void TMainForm::createDialogs()
{
    FormAbout = new TFormAbout(m_appDir, m_prompts, this);
    FormOptions = new TFormOptions(m_session.settings(), m_edit, m_world, m_prompts, this);
    connect(FormOptions, &TFormOptions::mapChanged, this, [this] { RepaintMap(); });
    // The dialog edits a copy; Ok hands it to the settings' owner.
    connect(FormOptions, &TFormOptions::settingsEdited, this,
            [this](const Settings& edited) { m_session.apply(edited); });
}

void TMainForm::ToolButtonShowClick(QToolButton* sender)
{
    if (m_toggles->click(sender))
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
        m_progressLine->show(); // the bulk edits count however the dialog closed
        if (result != QDialog::Accepted)
            return;
        ApplyWindowSizeLimit();
        RepaintMap();
        WriteSettings();
    } else if (sender == m_ui->ToolButtonClip) {
        m_parts->image().copyView();
    }
}

void TMainForm::setWorldInstance(WorldInstance* instance)
{
    m_parts->world().setInstance(instance);
}

QAction* TMainForm::command(Command command) const
{
    return m_parts ? m_parts->commands().action(command) : nullptr;
}

} // namespace vdm
