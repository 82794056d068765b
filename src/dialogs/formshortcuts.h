// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QTableWidget;

namespace vdm {

/** One line of the shortcuts list: the keys ("Ctrl+F", "Ctrl++  or  Ctrl+=") and what they do. */
struct ShortcutEntry {
    QString keys;
    QString what;
};

/**
 * "Keyboard shortcuts": a read-only table of the window's keys and what each does, with
 * a Close button. Modeless; the window keeps one and shows it again. It sizes itself to
 * show every row and column whole, as far as the screen allows.
 */
class TFormShortcuts : public QDialog {
    Q_OBJECT

public:
    explicit TFormShortcuts(const QList<ShortcutEntry>& entries, QWidget* parent = nullptr);
    /** Shows `window`'s one list, made on first use, and raises it over the window. */
    static void showFor(QWidget* window, const QList<ShortcutEntry>& entries);

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    QTableWidget* m_table;
};

} // namespace vdm
