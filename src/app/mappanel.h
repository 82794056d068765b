// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace vdm {

class TMainForm;

/**
 * The map panel. Its painting is done entirely by the main window's map painter (the
 * panel draws the back buffer the painter made); mouse and resize events go to the main
 * window's handlers. Click and double click follow the desktop's order: press, release
 * and click; then double click (with its press) and a release without a click.
 */
class TMapPanel : public QWidget {
    Q_OBJECT
public:
    explicit TMapPanel(QWidget* parent = nullptr);
    void setForm(TMainForm* form) { m_form = form; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Nothing on the map shows the focus, so gaining or losing it paints nothing: a paint
    // there would spend the one extra paint Go's highlight is meant to survive.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    TMainForm* m_form = nullptr;
    bool m_afterDoubleClick = false;
};

} // namespace vdm
