// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vdm {

/**
 * The single-byte code page of every text file (Windows-1252). The five bytes that
 * code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control
 * characters of the same value, so every byte sequence decodes and encodes unchanged.
 */
namespace CodePage {
QChar toUnicode(unsigned char byte);
QString decode(QByteArrayView bytes);
/** True when the character has a byte in the code page. */
bool canEncode(QChar ch);
/** Encodes; characters outside the code page become '?'. Check with canEncode() first. */
QByteArray encode(QStringView text);
/** Drops every character the code page cannot hold. */
QString filter(QStringView text);
} // namespace CodePage

} // namespace vdm
