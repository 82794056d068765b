// SPDX-License-Identifier: MIT
#include "app/mainform.h"
#include "app/anchors.h"
#include "app/inifile.h"
#include "ui_mainform.h"

namespace vdm {
TMainForm::TMainForm(Prompts& prompts, QString dir, QWidget* parent)
    : QWidget(parent), m_prompts(prompts), m_appDir(std::move(dir)), m_ui(std::make_unique<Ui::TMainForm>())
{
    m_ui->setupUi(this);
}
TMainForm::~TMainForm() = default;
void TMainForm::showEvent(QShowEvent* e) { QWidget::showEvent(e); }
void TMainForm::wheelEvent(QWheelEvent* e) { QWidget::wheelEvent(e); }
void TMainForm::resizeEvent(QResizeEvent* e) { QWidget::resizeEvent(e); }
bool TMainForm::eventFilter(QObject* o, QEvent* e) { return QWidget::eventFilter(o, e); }
} // namespace vdm
