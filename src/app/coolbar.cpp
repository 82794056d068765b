// SPDX-License-Identifier: MIT
#include "app/coolbar.h"

namespace vdm {

CoolBar::CoolBar(QWidget* parent) : QWidget(parent) {}

int CoolBar::addBand(const QString&, QWidget* child, int, int, bool)
{
    child->setParent(this);
    return 0;
}

} // namespace vdm
