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
 *
 * A file is decoded as a stream, so bytes after the picture's end cost neither memory
 * nor time; only a regular file is opened ("Cannot open file %s" otherwise). Grey,
 * colour, CMYK and YCCK pictures (Adobe's inverted CMYK included) all come out as RGB.
 * A picture whose memory cannot be had says so, with its file and the size it needs.
 */
namespace JpegDecoder {
constexpr qint64 MaxPixels = 64LL * 1024 * 1024; // 256 MB of 32-bit pixels
constexpr int MaxSide = 32768;

QImage decodeFile(const QString& path);
QImage decode(const QByteArray& bytes);
} // namespace JpegDecoder

} // namespace vdm
