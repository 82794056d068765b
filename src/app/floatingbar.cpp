// SPDX-License-Identifier: MIT
#include "app/floatingbar.h"

#include <QEvent>
#include <QKeyEvent>

#include <algorithm>

namespace vdm {
namespace {

constexpr int kMargin = 4; // between the panel's corner and the bar

} // namespace

FloatingBar::FloatingBar(QWidget* mapPanel, Corner corner, int maxWidth)
    : QFrame(mapPanel->parentWidget()), m_panel(mapPanel), m_corner(corner), m_maxWidth(maxWidth)
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_panel->installEventFilter(this);
    hide();
}

void FloatingBar::showBar()
{
    if (!isVisible()) {
        QWidget* focus = window()->focusWidget();
        m_focusBefore = focus && !isAncestorOf(focus) ? focus : m_panel;
    }
    followPanel();
    show();
    raise();
}

void FloatingBar::hideBar()
{
    // A bar closed while the focus is elsewhere (its Close button clicked from another
    // bar) leaves the focus where it is.
    QWidget* focus = window()->focusWidget();
    const bool hadFocus = !focus || isAncestorOf(focus) || focus == this;
    hide();
    if (!hadFocus)
        return;
    QWidget* back
        = m_focusBefore && m_focusBefore->isVisible() && m_focusBefore->isEnabled() ? m_focusBefore.data() : m_panel;
    back->setFocus(Qt::OtherFocusReason);
}

void FloatingBar::closeBar()
{
    hideBar();
}

void FloatingBar::keyPressEvent(QKeyEvent* event)
{
    // A key its control leaves unused comes up to the bar: Escape on a button closes too.
    if (event->key() == Qt::Key_Escape && !(event->modifiers() & ~Qt::KeypadModifier)) {
        closeBar();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

int FloatingBar::barHeight(int width)
{
    return heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height();
}

void FloatingBar::followPanel()
{
    const QRect area = m_panel->geometry().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const int width = std::max(0, std::min(m_maxWidth, area.width()));
    const int height = std::max(0, std::min(barHeight(width), area.height()));
    const int left = m_corner == Corner::TopRight ? area.right() + 1 - width : area.left();
    const int top = m_corner == Corner::BottomLeft ? area.bottom() + 1 - height : area.top();
    setGeometry(left, top, width, height);
}

bool FloatingBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel && (event->type() == QEvent::Resize || event->type() == QEvent::Move) && isVisible())
        followPanel();
    return QFrame::eventFilter(watched, event);
}

} // namespace vdm
