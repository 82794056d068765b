// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>

class QFocusFrame;
class QWidget;

namespace Ui {
class TMainForm;
}

namespace vdm {

/**
 * The window's Tab order: every tool button, the location list and Go, the map, the
 * note editor and the status buttons, in the order they stand on screen (the bands' rows
 * from the top, each from the left; below them the map, then the box with its editor
 * left of its buttons). It follows the bands when the user moves them. The tool buttons
 * take the focus from Tab only, so a click leaves it where it was, as it always did; the
 * map shows its focus with a frame around it, outside its own pixels, so taking or losing
 * the focus never paints the map.
 */
class FocusChain : public QObject {
    Q_OBJECT

public:
    explicit FocusChain(const Ui::TMainForm& ui);

    /** The controls in Tab order as they stand now. */
    QList<QWidget*> order() const;

private:
    void apply();
    void focusChanged(QWidget* now);

    const Ui::TMainForm& m_ui;
    QFocusFrame* m_mapFrame;
};

} // namespace vdm
