// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <gtest/gtest.h>

class QRandomGenerator;

namespace vdm::test {

/**
 * One kill -9 trial: starts `program` with `arguments`, waits for its first line (a writer
 * prints one once its first round is done, so the kill falls among the writes and never
 * before them), lets it run a random time below `maxWaitUs` microseconds and kills it.
 * SIGKILL runs no handler and no clean-up, as a crash or a power cut would not. Fails when
 * the program cannot start, prints nothing, or ends by itself before the kill.
 */
::testing::AssertionResult killAtRandomMoment(const QString& program, const QStringList& arguments, int maxWaitUs,
                                              QRandomGenerator& random);

} // namespace vdm::test
