// SPDX-License-Identifier: MIT
#include "dialogs/fixedlayout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

namespace vdm {
namespace {

/** A control placed by the form itself: its parent has no layout and does not place it. */
bool placedByForm(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    return parent && !w->isWindow() && !parent->layout() && !qobject_cast<const QStackedWidget*>(parent)
           && !qobject_cast<const QTabWidget*>(parent);
}

/** The form's own children, the pages of its tab widgets among them, in tree order. */
QList<QWidget*> containersOf(QWidget& form)
{
    QList<QWidget*> list{&form};
    for (QWidget* w : form.findChildren<QWidget*>())
        if (qobject_cast<QGroupBox*>(w) || qobject_cast<QTabWidget*>(w)
            || qobject_cast<QStackedWidget*>(w->parentWidget()))
            list << w;
    return list;
}

/**
 * The size a control needs to show its text whole. Labels and check boxes are their text
 * (and indicator); a push button and a field need their text's line with a thin frame, not
 * the roomy padding the style would like, which the stored form never had.
 */
QSize textNeed(const QWidget* w)
{
    const QFontMetrics metrics = w->fontMetrics();
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        const QString text = QString(button->text()).remove(QLatin1Char('&'));
        return {metrics.horizontalAdvance(text) + 8, metrics.height() + 2};
    }
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w))
        return {0, metrics.height() + 4}; // a field's width is its own; its text scrolls
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w))
        return w->sizeHint();
    return {0, 0};
}

/** How much larger than it stands a control would have to be to show its text whole. */
double shortfall(const QWidget* w)
{
    if (!placedByForm(w) || !w->isVisibleTo(w->window()))
        return 1.0;
    const QSize need = textNeed(w);
    double factor = 1.0;
    if (w->height() > 0)
        factor = std::max(factor, double(need.height()) / w->height());
    if (w->width() > 0)
        factor = std::max(factor, double(need.width()) / w->width());
    return factor;
}

QRect scaled(const QRect& r, double f)
{
    return {int(std::lround(r.x() * f)), int(std::lround(r.y() * f)), int(std::ceil(r.width() * f)),
            int(std::ceil(r.height() * f))};
}

/** The size `container` needs around its children: their extent and the margin they keep at the start. */
QSize neededSize(const QWidget* container)
{
    QRect children;
    for (QWidget* c : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (placedByForm(c) && c->isVisibleTo(container->window()))
            children |= c->geometry();
    if (children.isEmpty())
        return container->size();
    const int margin = std::clamp(std::min(children.left(), children.top()), 4, 12);
    return {children.right() + 1 + margin, children.bottom() + 1 + margin};
}

/** Grows `w` by `by`, moving along the siblings that stand below it or right of it. */
void grow(QWidget* w, QSize by)
{
    if (by.width() <= 0 && by.height() <= 0)
        return;
    const QRect before = w->geometry();
    by = by.expandedTo(QSize(0, 0));
    if (QWidget* parent = w->parentWidget(); parent && placedByForm(w)) {
        for (QWidget* s : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (s == w || !placedByForm(s))
                continue;
            QPoint move;
            if (s->y() >= before.bottom())
                move.ry() = by.height();
            else if (s->x() >= before.right())
                move.rx() = by.width();
            s->move(s->pos() + move);
        }
    }
    if (w->isWindow()) {
        const QSize size = w->size() + by;
        if (w->minimumSize() == w->maximumSize())
            w->setFixedSize(size);
        else
            w->setMinimumSize(w->minimumSize().expandedTo(size));
        w->resize(size);
    } else {
        w->resize(w->size() + by);
    }
}

} // namespace

void fitFixedLayout(QWidget& form)
{
    double factor = 1.0;
    for (QWidget* w : form.findChildren<QWidget*>())
        factor = std::max(factor, shortfall(w));
    if (factor > 1.0) {
        for (QWidget* w : form.findChildren<QWidget*>())
            if (placedByForm(w))
                w->setGeometry(scaled(w->geometry(), factor));
    }
    // From the innermost boxes outwards, each round around what its children became.
    QList<QWidget*> containers = containersOf(form);
    std::reverse(containers.begin(), containers.end());
    for (QWidget* c : containers) {
        if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
            QSize page(0, 0);
            for (int i = 0; i < tabs->count(); ++i)
                page = page.expandedTo(neededSize(tabs->widget(i)));
            const QWidget* shown = tabs->currentWidget();
            const QSize current = shown ? shown->size() : QSize();
            grow(tabs, page - current);
            continue;
        }
        if (qobject_cast<QStackedWidget*>(c->parentWidget()))
            continue; // a page grows with its tab widget
        grow(c, neededSize(c) - c->size());
    }
}

} // namespace vdm
