// SPDX-License-Identifier: MIT
// Opening another world while the program runs: the world part loads it, the window
// shows it from its start.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "app/mainform_databases.h"
#include "dialogs/errorguard.h"
#include "ui_mainform.h"
#include "world/worldchoice.h"
#include "world/worldopening.h"

#include <QAction>
#include <QApplication>
#include <QDir>

namespace vdm {

void TMainForm::setupOpenWorld()
{
    auto* action = new QAction(QStringLiteral("Open world..."), this);
    action->setObjectName(QStringLiteral("ActionOpenWorld"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    action->setShortcutContext(Qt::WindowShortcut);
    // What assistive technology reads for the command wherever it is shown.
    action->setToolTip(QStringLiteral("Open world"));
    action->setStatusTip(QStringLiteral("Open another world folder"));
    // Added to the window itself, so the shortcut works whichever control has the focus.
    addAction(action);
    connectGuarded(m_prompts, this, action, &QAction::triggered, [this] { OpenWorldClick(); });
}

QAction* TMainForm::openWorldAction() const
{
    return findChild<QAction*>(QStringLiteral("ActionOpenWorld"), Qt::FindDirectChildrenOnly);
}

void TMainForm::OpenWorldClick()
{
    const auto folder = m_prompts.chooseFolder(this, worldChooserCaption(), QDir::currentPath());
    if (!folder)
        return;
    const WorldOpening opening = openWorld(m_world, *folder);
    switch (opening.outcome) {
    case WorldOpening::Outcome::Opened:
        break;
    case WorldOpening::Outcome::NoPicture:
        // The box of the start, with the folder looked in.
        m_prompts.showMessage(this, QStringLiteral("Error!"), opening.message, Prompts::Icon::Stop);
        return;
    default:
        m_prompts.showError(this, opening.message);
        return;
    }
    // The world's files are looked up by bare name from here on, as at the start, and the
    // next run started outside a world opens this one.
    QDir::setCurrent(*folder);
    rememberWorld(QDir::currentPath());
    showNewWorld();
    reportWorldNotices();
    if (!opening.message.isEmpty())
        m_prompts.showError(this, opening.message);
}

void TMainForm::showNewWorld()
{
    // Nothing of the old world's pointer state, hint or highlight reaches the new one.
    m_highlight = GoHighlight();
    m_hint.restart();

    // The zoom level stays (map units are the same in every world); the scroll position
    // is clamped into the new picture's ranges.
    m_view.takePicture(m_world.picture().size(), m_world.mapScale());
    UpdateMargins();
    UpdateScrollRanges();

    m_edit.restart();
    FillLocationList(*this);
    m_editControls->selectFirst();
    m_editControls->mirror();
    m_editControls->worldOpened();
    SetTitleWithZoom();
    RepaintMap();
}

} // namespace vdm
