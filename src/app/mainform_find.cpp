// SPDX-License-Identifier: MIT
// Quick find, the More button's menu and the list of keyboard shortcuts.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "app/findbar.h"
#include "app/keycommands.h"
#include "app/mappanel.h"
#include "data/packedcolor.h"
#include "edit/progresstext.h"
#include "dialogs/errorguard.h"
#include "dialogs/formshortcuts.h"
#include "ui_mainform.h"

#include <QMenu>

namespace vdm {

void TMainForm::setupFinding()
{
    m_findBar = new FindBar(m_world, m_ui->PanelMap, [this](std::int32_t status) {
        return packedToColor(status == Visited  ? Config.ColorVisited
                             : status == Active ? Config.ColorActive
                                                : Config.ColorUnvisited);
    });
    connectGuarded(m_prompts, this, m_findBar, &FindBar::chosen, [this](int index) { FindChosen(index); });

    // The progress line follows the pointer over the map, through the window's hit test.
    connectGuarded(m_prompts, this, m_ui->PanelMap, &TMapPanel::moved, [this](Qt::MouseButtons, QPoint at) {
        m_pointerAt = at;
        m_view.followPanel();
        showProgressLine();
    });

    // The extra commands sit in one menu at the end of the tools band; a menu shows the
    // text after a tab as the entry's shortcut, which the window's key handling runs.
    auto* menu = new QMenu(m_ui->ToolButtonMore);
    menu->setObjectName(QStringLiteral("MenuMore"));
    menu->setAccessibleName(QStringLiteral("More"));
    const auto entry = [&](const char* name, const QString& text, void (TMainForm::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connectGuarded(m_prompts, this, action, &QAction::triggered, [this, handler] { (this->*handler)(); });
    };
    entry("ActionFind", QStringLiteral("Find\t") + shortcutText(KeyCommand::Find), &TMainForm::FindClick);
    // The window's own actions, each with its shortcut, where they exist.
    for (const char* name : {"ActionSaveImage", "ActionExportProgress", "ActionImportProgress", "ActionOpenWorld"})
        if (auto* action = findChild<QAction*>(QLatin1String(name), Qt::FindDirectChildrenOnly))
            menu->addAction(action);
    entry("ActionShortcuts", QStringLiteral("Keyboard shortcuts"), &TMainForm::ShortcutsClick);
    m_ui->ToolButtonMore->setMenu(menu);

    // The hint window adds a button's shortcut to its tooltip text, which stays as it is.
    const std::pair<QToolButton*, KeyCommand> shortcuts[] = {
        {m_ui->ToolButtonZoomIn, KeyCommand::ZoomIn},
        {m_ui->ToolButtonZoomOut, KeyCommand::ZoomOut},
        {m_ui->ToolButtonZoomActual, KeyCommand::ActualSize},
        {m_ui->ToolButtonClip, KeyCommand::Copy},
        {m_ui->ToolButtonAbout, KeyCommand::About},
    };
    for (const auto& [button, command] : shortcuts)
        button->setProperty("shortcutText", shortcutText(command));
}

void TMainForm::showProgressLine()
{
    // The pointer's line is worked out afresh, so a zoom or a scroll under a still pointer
    // (from the keys or the wheel) shows the map point that is under it now.
    QString pointer;
    if (m_pointerAt) {
        const QPoint picture = view().panelToPicture(*m_pointerAt);
        const int index = m_hover.locationAt(*m_pointerAt);
        pointer = pointerText(view().ScreenToMap(picture.x(), picture.y()),
                              index >= 0 ? &m_world.locations()[std::size_t(index)] : nullptr);
    }
    const QString text = progressText(m_world.statusCounts()) + QLatin1Char('\n') + pointer;
    if (m_ui->LabelProgress->text() != text)
        m_ui->LabelProgress->setText(text);
}

void TMainForm::FindClick()
{
    m_findBar->openBar();
}

void TMainForm::FindChosen(int index)
{
    // As a user would: the list selects the place, then Go takes the view there.
    if (m_editControls->selectLocation(index))
        GoButtonClick();
}

void TMainForm::ShortcutsClick()
{
    auto* dialog = findChild<TFormShortcuts*>(QStringLiteral("FormShortcuts"));
    if (!dialog)
        dialog = new TFormShortcuts(this);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace vdm
