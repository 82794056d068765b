// SPDX-License-Identifier: MIT
#pragma once
#include <QWidget>
namespace vdm { class TMapPanel : public QWidget { Q_OBJECT public: using QWidget::QWidget; }; }
