// SPDX-License-Identifier: MIT
#pragma once

#include "journey/travelgraph.h"

namespace vdm {

class IniFile;

/**
 * The planner's settings in the settings file: a section of their own, "Journey", with
 * the four ways on or off, the speeds in map units per hour and the guild jump and the
 * change of way in whole minutes. The section is written only when the user has made the
 * settings differ from what the file gives, so a run that never touches them leaves the
 * file as it was, byte for byte.
 */
namespace JourneySettings {

inline constexpr const char* Section = "Journey";

/** The settings the file holds; a missing or unusable value (not a number, out of range) gives its default. */
TravelSettings read(const IniFile& ini);

/**
 * Writes `settings` when they differ from what the file holds now (each value as read,
 * minutes rounded); returns whether it wrote. Only keys whose value differs are written.
 */
bool write(IniFile& ini, const TravelSettings& settings);

} // namespace JourneySettings

} // namespace vdm
