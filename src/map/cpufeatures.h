// SPDX-License-Identifier: MIT
#pragma once

namespace vdm {

/**
 * Whether the hand-vectorised paths may use AVX2: the processor has it and the user has
 * not switched it off. QT_NO_CPU_FEATURE, Qt's own switch, is honoured too, so one setting
 * ("QT_NO_CPU_FEATURE=avx2") runs Qt's painting and our resampler and search on the same
 * narrower units; CI uses it to show that no pixel depends on the machine's vector units.
 * Asked once per process.
 */
bool useAvx2();

/** Whether `list` (QT_NO_CPU_FEATURE's form: names split by blanks or commas) names `feature`. */
bool featureListed(const char* list, const char* feature);

} // namespace vdm
