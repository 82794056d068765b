// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace vdm {

class Prompts;
class SettingsSession;
class World;

/**
 * The save chooser of a command that writes a file the user picks: as
 * Prompts::chooseFileToSave, but a pick that is one of the open world's own files (see
 * OwnFiles) is refused with an error box naming it, before anything is written, and the
 * chooser opens again in that folder with the name first proposed. nullopt when cancelled.
 */
std::optional<QString> chooseSaveTarget(Prompts& prompts, QWidget* parent, const QString& caption, const QString& start,
                                        const QString& filter, const World& world, const SettingsSession& settings);

} // namespace vdm
