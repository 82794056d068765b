// SPDX-License-Identifier: MIT
#include "app/program.h"

#include "app/mainform.h"
#include "data/errors.h"
#include "dialogs/prompts.h"
#include "data/inifile.h"
#include "data/settings.h"
#include "session/shutdownsignals.h"
#include "session/worldinstance.h"
#include "world/datalocations.h"
#include "world/world.h"
#include "world/worldchoice.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QSessionManager>

#include <cstdio>

#include <memory>
#include <optional>

namespace vdm {

namespace {

void showWorldNotFound(Prompts& prompts, const QString& folder)
{
    prompts.showMessage(nullptr, QStringLiteral("Error!"), worldNotFoundMessage(folder), Prompts::Icon::Stop);
}

/**
 * Makes the world of this run the working directory, where the window looks its files
 * up. Returns the folder to remember for the next run: empty when the run was started
 * inside its world (that run leaves the settings file as it always did), nullopt when
 * no world was found (the box has been shown).
 */
std::optional<QString> enterWorld(Prompts& prompts, const QString& applicationDirectory, const QString& worldArgument,
                                  bool askFirst, const bool& closeRequested)
{
    Settings stored;
    readSettings(IniFile(DataLocations::settingsFile(applicationDirectory)), stored);
    const WorldCandidates candidates = askFirst ? WorldCandidates{}
                                                : WorldCandidates{worldArgument, QDir::currentPath(), stored.LastWorld,
                                                                  sampleWorldFolder(applicationDirectory)};
    const WorldChoice choice
        = chooseWorld(candidates, [](const QString& folder) { return World::pictureExists(folder); });
    if (choice.source == WorldSource::WorkingDirectory)
        return QString();
    QString folder = choice.folder;
    if (choice.source == WorldSource::Chooser) {
        const auto picked = prompts.chooseFolder(nullptr, worldChooserCaption(), QDir::homePath());
        // The user asked for the chooser and changed their mind, or a signal or the end
        // of the session closed it: no box is to wait on anyone then.
        if (!picked && (askFirst || closeRequested))
            return std::nullopt;
        if (!picked) {
            showWorldNotFound(prompts, QDir::currentPath());
            return std::nullopt;
        }
        folder = *picked;
    }
    if (!World::pictureExists(folder) || !QDir::setCurrent(folder)) {
        showWorldNotFound(prompts, folder);
        return std::nullopt;
    }
    // A folder whose name has no exact text (not valid UTF-8) cannot be remembered by it.
    const QString current = QDir::currentPath();
    return QFileInfo(current).isDir() ? current : QString();
}

/** Answers every open modal box and dialog as its Cancel would: nothing waits on the user any more. */
void dismissModalDialogs()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isModal() && dialog->isVisible())
            dialog->reject();
}

/** Another start asked for this world's window: it comes to the front, restored when minimised. */
void bringToFront(QWidget& window)
{
    if (window.windowState() & Qt::WindowMinimized)
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

int runProgram(Prompts& prompts, const QString& applicationDirectory, const QString& worldArgument, bool chooseWorld)
{
    // The application's name (not its display name, which X11 title bars would append to
    // every window title) is the title the error box is captioned with.
    QApplication::setApplicationName(QStringLiteral("Veldamar Interactive Map"));

    // A signal (logout, kill, Ctrl+C) and the desktop's request to save before it logs
    // out both close the window as its close button does: the shut-down below writes
    // everything, and the exit status is 0.
    ShutdownSignals signalsToClose;
    std::unique_ptr<TMainForm> form;
    bool closeRequested = false;
    const auto requestClose = [&] {
        closeRequested = true;
        if (form)
            form->endRun();
        else
            dismissModalDialogs();
    };
    QObject::connect(&signalsToClose, &ShutdownSignals::closeRequested, requestClose);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &signalsToClose,
                     [&](QSessionManager&) { requestClose(); });

    const std::optional<QString> chosenWorld
        = enterWorld(prompts, applicationDirectory, worldArgument, chooseWorld, closeRequested);
    if (!chosenWorld || closeRequested)
        return 0;

    // One window per world: a start on a world that is open already brings that window up.
    WorldInstance instance;
    switch (instance.claim(QDir::currentPath())) {
    case WorldInstance::Claim::Held:
        break;
    case WorldInstance::Claim::HandedOver:
        return 0;
    case WorldInstance::Claim::Unanswered:
        std::fprintf(stderr, "veldamar-map: the window already open on this world does not answer; "
                             "opening another\n");
        break;
    }
    QObject::connect(&instance, &WorldInstance::raiseRequested, [&] {
        if (form && !closeRequested)
            bringToFront(*form);
    });

    try {
        form = std::make_unique<TMainForm>(prompts, applicationDirectory);
        form->rememberWorld(*chosenWorld);
        form->setWorldInstance(&instance);
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
    instance.setReady();
    // A box shown by the first show runs its own event loop before the main one; when the
    // window closes in there (the locations file missing), no quit can reach a loop that
    // has not started yet. A window closed already needs no loop.
    if (form->isVisible())
        QApplication::exec();
    form.reset(); // the shut-down writes the user's data and settings
    return 0;
}

} // namespace vdm
