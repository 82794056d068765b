// SPDX-License-Identifier: MIT
#include "app/program.h"
#include "dialogs/prompts.h"
#include "hint/shadowedhintwindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Tool-button tooltips of the whole application cast a soft shadow.
    vdm::TShadowedHintWindow::installForApplication();
    vdm::WidgetPrompts prompts;
    return vdm::runProgram(prompts, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}
