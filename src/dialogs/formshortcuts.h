// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace vdm {

/**
 * "Keyboard shortcuts": a read-only table of the window's keys and what each does, with
 * a Close button. Modeless; the window keeps one and shows it again.
 */
class TFormShortcuts : public QDialog {
    Q_OBJECT

public:
    explicit TFormShortcuts(QWidget* parent = nullptr);
    /** Shows `window`'s one list, made on first use, and raises it over the window. */
    static void showFor(QWidget* window);
};

} // namespace vdm
