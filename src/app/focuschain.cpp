// SPDX-License-Identifier: MIT
#include "app/focuschain.h"

#include "app/coolbar.h"
#include "app/mappanel.h"
#include "ui_mainform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusFrame>

#include <algorithm>

namespace vdm {

FocusChain::FocusChain(const Ui::TMainForm& ui) : m_ui(ui), m_mapFrame(new QFocusFrame(ui.PanelMap->parentWidget()))
{
    m_mapFrame->setObjectName(QStringLiteral("MapFocusFrame"));
    for (QAbstractButton* button : ui.CoolBarMain->findChildren<QAbstractButton*>())
        button->setFocusPolicy(Qt::TabFocus);
    for (QAbstractButton* button : {ui.SBU, ui.SBA, ui.SBV})
        button->setFocusPolicy(Qt::TabFocus);
    ui.PanelMap->setFocusPolicy(Qt::StrongFocus);
    // A note is one line: Tab leaves the editor, as it leaves every other control.
    ui.MemoNotes->setTabChangesFocus(true);
    apply();
    connect(ui.CoolBarMain, &CoolBar::layoutChanged, this, &FocusChain::apply);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusChanged(now); });
}

QList<QWidget*> FocusChain::order() const
{
    // The bar's controls by their band's row, then from the left.
    CoolBar* bar = m_ui.CoolBarMain;
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
    return inBar + QList<QWidget*>{m_ui.PanelMap, m_ui.MemoNotes, m_ui.SBU, m_ui.SBA, m_ui.SBV};
}

void FocusChain::apply()
{
    const QList<QWidget*> chain = order();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void FocusChain::focusChanged(QWidget* now)
{
    m_mapFrame->setWidget(now == m_ui.PanelMap ? now : nullptr);
}

} // namespace vdm
