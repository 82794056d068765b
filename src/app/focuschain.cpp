// SPDX-License-Identifier: MIT
#include "app/focuschain.h"

#include "app/coolbar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusFrame>
#include <QPlainTextEdit>
#include <QPointer>

#include <algorithm>

namespace vdm {

FocusChain::FocusChain(CoolBar& bands, QList<QWidget*> below, QWidget* framed)
    : m_bands(bands), m_below(std::move(below)), m_framed(framed)
{
    for (QAbstractButton* button : bands.findChildren<QAbstractButton*>())
        button->setFocusPolicy(Qt::TabFocus);
    for (QWidget* w : m_below) {
        if (qobject_cast<QAbstractButton*>(w))
            w->setFocusPolicy(Qt::TabFocus);
        // A note is one line: Tab leaves the editor, as it leaves every other control.
        if (auto* editor = qobject_cast<QPlainTextEdit*>(w))
            editor->setTabChangesFocus(true);
    }
    if (m_framed)
        m_framed->setFocusPolicy(Qt::StrongFocus);
    m_frame = new QFocusFrame(bands.window());
    m_frame->setObjectName(QStringLiteral("ChainFocusFrame"));
    apply();
    connect(&bands, &CoolBar::layoutChanged, this, &FocusChain::apply);
    // The frame goes with the framed control's parent; the chain may outlive it.
    QPointer<QFocusFrame> frame = m_frame;
    connect(qApp, &QApplication::focusChanged, this, [this, frame](QWidget*, QWidget* now) {
        if (frame)
            focusChanged(now);
    });
}

QList<QWidget*> FocusChain::order() const
{
    // The bar's controls by their band's row, then from the left.
    CoolBar* bar = &m_bands;
    QList<QWidget*> inBar;
    for (QWidget* w : bar->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->window() == bar->window()) // not the More menu
            inBar << w;
    const auto place = [bar](QWidget* w) {
        QWidget* toolBar = w;
        while (toolBar->parentWidget() != bar)
            toolBar = toolBar->parentWidget();
        return std::pair{toolBar->y(), w->mapTo(bar, QPoint()).x()};
    };
    std::stable_sort(inBar.begin(), inBar.end(), [&](QWidget* a, QWidget* b) { return place(a) < place(b); });
    return inBar + m_below;
}

void FocusChain::apply()
{
    const QList<QWidget*> chain = order();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void FocusChain::focusChanged(QWidget* now)
{
    m_frame->setWidget(now && now == m_framed ? now : nullptr);
}

} // namespace vdm
