// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace vdm {

/** The band container (being written). */
class CoolBar : public QWidget {
    Q_OBJECT
public:
    explicit CoolBar(QWidget* parent = nullptr);
    int addBand(const QString& label, QWidget* child, int minWidth, int width, bool breakBefore);
};

} // namespace vdm
