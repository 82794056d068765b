// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>

class QFocusFrame;
class QWidget;

namespace vdm {

class CoolBar;

/**
 * The window's Tab order: every control of the band bar in the order it stands on screen
 * (the bands' rows from the top, each from the left), then the controls below the bar in
 * the order given (the map, the note editor, the status buttons). It follows the bands
 * when the user moves them. Buttons take the focus from Tab only, so a click leaves it
 * where it was, as it always did; a text editor in the chain gives Tab up, as every other
 * control does. The framed control (the map) shows its focus with a frame around it,
 * outside its own pixels, so taking or losing the focus never paints it; the others draw
 * their focus themselves.
 */
class FocusChain : public QObject {
    Q_OBJECT

public:
    /** `below`: the controls under the band bar, in screen order; `framed`: one of them, or null. */
    FocusChain(CoolBar& bands, QList<QWidget*> below, QWidget* framed);

    /** The controls in Tab order as they stand now. */
    QList<QWidget*> order() const;

private:
    void apply();
    void focusChanged(QWidget* now);

    CoolBar& m_bands;
    const QList<QWidget*> m_below;
    QWidget* m_framed;
    QFocusFrame* m_frame = nullptr;
};

} // namespace vdm
