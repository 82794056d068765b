// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

namespace vdm {

class CommandParts;
class EditControls;
class FormLayout;
class MapHintPresenter;
class OtherChanges;
class Prompts;
class SettingsSession;
class TMapPanel;
class TypingPause;
class World;

/**
 * The world over one run of the window: its databases loaded at the first show (what
 * loaded stays listed after a loader error; a missing list ends the run after its box),
 * another world shown from its start in its place, another program's changes watched from
 * the first show on, the user's files written back at the close, and the world's notices
 * told in message boxes until the run ends.
 */
class WorldShow {
public:
    /** The window's widgets and parts it shows the world with, all of them outliving it. */
    struct Window {
        QWidget& window;
        World& world;
        SettingsSession& session;
        TMapPanel& map;
        EditControls& edit;
        CommandParts& commands;
        MapHintPresenter& hint;
        FormLayout& layout;
        Prompts& prompts;
        TypingPause& typing;
    };
    explicit WorldShow(const Window& window);
    WorldShow(const WorldShow&) = delete;
    WorldShow& operator=(const WorldShow&) = delete;

    /** The window is shown: true the first time only, when the databases are to load. */
    bool firstShow();
    /** Whether the window has been shown (and the databases loaded, as far as they could). */
    bool shown() const { return m_shown; }
    /**
     * The first show's loading: the locations listed, the user's filter and bookmarks,
     * the routes, the user data and the markers, each told of in turn, the first location
     * selected also after an error, the stored bands and window state applied.
     */
    void load();
    /**
     * Ends the run: at the loop's next turn the window closes, and with it any box still
     * open from the first show. No box comes after that.
     */
    void endRun();
    /** Whether the run has ended (a box of the first show then throws out of it). */
    bool runEnded() const { return m_runEnded; }
    /** Another world was opened in `folder`: the window shows it from its start. */
    void opened(const QString& folder);
    /**
     * The close: nothing of another program is watched or shown any more, the user's
     * files are written back (each write on its own, a failing one says so) and the
     * picture let go. False when the close has run already.
     */
    bool close();
    /** Shows the world's messages about user files it keeps unread. */
    void reportNotices();

private:
    /** Reads "vdmain.gdb" and lists it, also the records read before a loader error. */
    void loadLocations();
    void repaint();

    Window m_w;
    OtherChanges* m_otherChanges; // a child of the window, as its boxes are
    bool m_shown = false;
    bool m_runEnded = false;
    bool m_closed = false;
};

} // namespace vdm
