// SPDX-License-Identifier: MIT
#include "app/historyactions.h"

#include <QAction>
#include <QUndoStack>

namespace vdm {

HistoryActions::HistoryActions(QAction& undo, QAction& redo, const QUndoStack& history, QObject* parent)
    : QObject(parent), m_undo(undo), m_redo(redo), m_history(history)
{
    m_undo.setStatusTip(QStringLiteral("Take back the last change of statuses, notes or markers"));
    m_redo.setStatusTip(QStringLiteral("Make the change taken back again"));
    connect(&history, &QUndoStack::indexChanged, this, &HistoryActions::follow);
    connect(&history, &QUndoStack::undoTextChanged, this, &HistoryActions::follow);
    connect(&history, &QUndoStack::redoTextChanged, this, &HistoryActions::follow);
    connect(&history, &QUndoStack::canUndoChanged, this, &HistoryActions::follow);
    connect(&history, &QUndoStack::canRedoChanged, this, &HistoryActions::follow);
    follow();
}

void HistoryActions::follow()
{
    const auto show = [](QAction& action, const QString& verb, bool can, const QString& step) {
        action.setEnabled(can);
        // A name's "&" is no mnemonic.
        action.setText(can ? verb + QLatin1Char(' ') + QString(step).replace(QLatin1Char('&'), QStringLiteral("&&"))
                           : verb);
        // What assistive technology reads wherever the command is shown.
        action.setToolTip(QString(action.text()).remove(QLatin1Char('&')));
    };
    show(m_undo, QStringLiteral("&Undo"), m_history.canUndo(), m_history.undoText());
    show(m_redo, QStringLiteral("&Redo"), m_history.canRedo(), m_history.redoText());
}

} // namespace vdm
