// SPDX-License-Identifier: MIT
#include "app/program.h"

#include "app/mainform.h"
#include "data/errors.h"
#include "dialogs/prompts.h"
#include "world/world.h"

#include <QApplication>

#include <memory>

namespace vdm {

bool mapPictureExists()
{
    return World::pictureExists();
}

int runProgram(Prompts& prompts, const QString& applicationDirectory)
{
    // The application's name (not its display name, which X11 title bars would append to
    // every window title) is the title the error box is captioned with.
    QApplication::setApplicationName(QStringLiteral("Veldamar Interactive Map"));
    if (!mapPictureExists()) {
        prompts.showMessage(nullptr, QStringLiteral("Error!"),
                            QStringLiteral("Map file not found. Please reinstall application."), Prompts::Icon::Stop);
        return 0;
    }

    std::unique_ptr<TMainForm> form;
    try {
        form = std::make_unique<TMainForm>(prompts, applicationDirectory);
        form->createDialogs();
    } catch (const Error& e) {
        // An error while the window is built ends the program; nothing is written.
        prompts.showError(nullptr, e.message());
        return 0;
    } catch (const std::exception& e) {
        prompts.showError(nullptr, QString::fromLocal8Bit(e.what()));
        return 0;
    }
    form->show();
    // A box shown by the first show runs its own event loop before the main one; when the
    // window closes in there (the locations file missing), no quit can reach a loop that
    // has not started yet. A window closed already needs no loop.
    if (form->isVisible())
        QApplication::exec();
    form.reset(); // the shut-down writes the user's data and settings
    return 0;
}

} // namespace vdm
