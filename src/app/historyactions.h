// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QAction;
class QUndoStack;

namespace vdm {

/**
 * Keeps the window's Undo and Redo commands on the editor's history: "&Undo Set status
 * of Falgard" and "&Redo ...", each enabled only while there is a step to walk, so its
 * keys (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y) go on to the control with the focus otherwise.
 * The commands themselves are rows of the window's table.
 */
class HistoryActions : public QObject {
    Q_OBJECT

public:
    HistoryActions(QAction& undo, QAction& redo, const QUndoStack& history, QObject* parent);

private:
    void follow();

    QAction& m_undo;
    QAction& m_redo;
    const QUndoStack& m_history;
};

} // namespace vdm
