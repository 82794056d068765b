// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QPointer>

namespace vdm {

/**
 * A bar floating over one corner of the map panel (quick find, the place filter, the
 * journey), following the panel as it moves or grows. Opening it remembers the control
 * that had the window's focus; closing gives the focus back to it, or to the map when that
 * control is gone or hidden (unless the focus had left the bar already). The window's own focus widget counts, not the
 * application's: the window need not be the active one to take keys (under X without a window manager).
 */
class FloatingBar : public QFrame {
    Q_OBJECT

public:
    enum class Corner { TopLeft, TopRight, BottomLeft };

    /** `mapPanel`: the bar keeps to its `corner`, at most `maxWidth` wide. */
    FloatingBar(QWidget* mapPanel, Corner corner, int maxWidth);

    /** Hides the bar and gives the focus back (Escape anywhere in the bar). */
    virtual void closeBar();

protected:
    /** Shows the bar over the panel, remembering where the focus was when it was closed. */
    void showBar();
    /** Hides the bar and gives the focus back, if the bar had it. */
    void hideBar();
    /** Places the bar in its corner again (after its contents changed size). */
    void followPanel();
    /** The height the bar wants at `width` (before the panel limits it). */
    virtual int barHeight(int width);

    QWidget* panel() const { return m_panel; }
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* m_panel;
    Corner m_corner;
    int m_maxWidth;
    QPointer<QWidget> m_focusBefore;
};

} // namespace vdm
