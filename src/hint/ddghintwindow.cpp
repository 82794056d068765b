// SPDX-License-Identifier: MIT
#include "hint/ddghintwindow.h"

namespace vdm {

TddgHintWindow::TddgHintWindow(QWidget* owner) : QWidget(owner, Qt::ToolTip) {}

} // namespace vdm
