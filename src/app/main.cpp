// SPDX-License-Identifier: MIT
#include "app/mainform.h"
#include <QApplication>
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vdm::WidgetPrompts prompts;
    vdm::TMainForm form(prompts, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    form.show();
    return app.exec();
}
