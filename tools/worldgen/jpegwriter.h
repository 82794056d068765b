// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

namespace vdm::worldgen {

/**
 * Encodes a picture as baseline JPEG through libjpeg's compress interface. libjpeg writes
 * no time stamps, so the same pixels always give the same bytes. Errors throw vdm::Error
 * with the encoder's own message.
 */
namespace JpegWriter {
QByteArray encode(const QImage& picture, int quality = 88);
} // namespace JpegWriter

} // namespace vdm::worldgen
