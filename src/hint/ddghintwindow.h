// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace vdm {

/** The shaped hint window of the map (being written). */
class TddgHintWindow : public QWidget {
    Q_OBJECT
public:
    explicit TddgHintWindow(QWidget* owner);
};

} // namespace vdm
