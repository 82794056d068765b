// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vdm {

/**
 * Decodes a JPEG file once into a 32-bit picture (QImage::Format_RGB32). A decoder
 * error throws vdm::Error carrying the decoder's own message text. A header that claims
 * a picture larger than MaxPixels (or wider or taller than MaxSide) is refused before
 * any pixel memory is allocated.
 */
namespace JpegDecoder {
constexpr qint64 MaxPixels = 64LL * 1024 * 1024; // 256 MB of 32-bit pixels
constexpr int MaxSide = 32768;

QImage decodeFile(const QString& path);
QImage decode(const QByteArray& bytes);
} // namespace JpegDecoder

} // namespace vdm
