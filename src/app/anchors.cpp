// SPDX-License-Identifier: MIT
#include "app/anchors.h"

#include <QEvent>
#include <QWidget>

namespace vdm {

void AnchorTable::add(QWidget* child, int edges, QSize designParent)
{
    m_entries.push_back({child, edges, child->geometry(), designParent});
    child->parentWidget()->installEventFilter(this);
}

void AnchorTable::apply(QWidget* parent)
{
    const QSize size = parent->size();
    for (const Entry& e : std::as_const(m_entries)) {
        if (e.child->parentWidget() != parent)
            continue;
        const int rightGap = e.designParent.width() - e.design.right() - 1;
        const int bottomGap = e.designParent.height() - e.design.bottom() - 1;
        QRect r = e.design;
        if ((e.edges & Left) && (e.edges & Right))
            r.setWidth(qMax(0, size.width() - e.design.left() - rightGap));
        else if (e.edges & Right)
            r.moveLeft(size.width() - rightGap - e.design.width());
        if ((e.edges & Top) && (e.edges & Bottom))
            r.setHeight(qMax(0, size.height() - e.design.top() - bottomGap));
        else if (e.edges & Bottom)
            r.moveTop(size.height() - bottomGap - e.design.height());
        if (e.child->geometry() != r)
            e.child->setGeometry(r);
    }
}

bool AnchorTable::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched->isWidgetType())
        apply(static_cast<QWidget*>(watched));
    return false;
}

} // namespace vdm
