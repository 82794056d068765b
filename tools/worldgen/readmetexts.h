// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vdm::worldgen {

/**
 * The read-me files shown by the viewer's about dialog, as ready file bytes with CR LF
 * line ends: English in the 8-bit code page, Russian in UTF-8, French in the 8-bit code
 * page. Paragraphs are wrapped to fit the dialog's fixed-pitch text box.
 */
namespace ReadmeTexts {
constexpr int Columns = 58;

QByteArray english();
QByteArray russian();
QByteArray french();

/** Word-wraps paragraphs (an empty string is a blank line) to `Columns`. */
QStringList wrap(const QStringList& paragraphs);
} // namespace ReadmeTexts

} // namespace vdm::worldgen
