// SPDX-License-Identifier: MIT
#pragma once

#include "world/worldevents.h"

namespace vdm {

class World;

/**
 * Writes the user's two files after an edit, by what the world told changed while the
 * edit was under way: a status or a note writes "user.gdb", the markers "markers.gdb".
 * The world's notices outside an edit (a load, another program's changes merged, another
 * world opened) write nothing.
 *
 * An edit is a scope (`Edit`): it listens from its start, and write() writes what it was
 * told, by its rule, and only with autosave on (an import's own write excepted). A few
 * user actions write a file even when nothing in it changed (a status button, a
 * keystroke in the box, a click in delete mode): they name it with include().
 */
class Autosave {
public:
    explicit Autosave(World& world);
    Autosave(const Autosave&) = delete;
    Autosave& operator=(const Autosave&) = delete;

    /** Each edit is written at once (by the world's save rules); off: nothing before the close. */
    void setOn(bool on) { m_on = on; }
    bool on() const { return m_on; }

    /** How an edit writes the files it changed. */
    enum class Rule {
        /** Each file by itself, as autosaved: a failure told once in a row, a big "user.gdb" in the background. */
        EachFile,
        /** Both files as one (an import undone or redone). */
        Together,
        /** Both files as one, whatever autosave says: the user asked for the import. */
        TogetherAlways,
        /** Nothing before the close ("delete all markers"). */
        Never,
    };

    /** The files one user action changed (or names), written once it is done. */
    class Edit {
    public:
        explicit Edit(Autosave& autosave, Rule rule = Rule::EachFile);
        /** Stops listening; what was not written by write() is left for the close. */
        ~Edit();
        Edit(const Edit&) = delete;
        Edit& operator=(const Edit&) = delete;

        /** This action writes "user.gdb" even when nothing in it changed. */
        void includeUserData() { m_userData = true; }
        /** This action writes "markers.gdb" even when nothing in it changed. */
        void includeMarkers() { m_markers = true; }
        /**
         * Stops listening, then writes what was told or included, by the rule. Both files
         * are attempted; the first failure ("Unable to write to %s") is thrown after that.
         */
        void write();

    private:
        friend class Autosave;
        Autosave& m_autosave;
        Edit* m_outer;
        Rule m_rule;
        bool m_listening = true;
        bool m_userData = false;
        bool m_markers = false;
    };

private:
    World& m_world;
    bool m_on = true;
    Edit* m_open = nullptr; // the innermost edit under way, told the world's notices
    EventConnections m_connections;
};

} // namespace vdm
