// SPDX-License-Identifier: MIT
// Any bytes as a map picture: the decoder returns a picture of the size the header
// claims, or throws vdm::Error with the decoder's text. Huge headers are refused
// before pixel memory is taken.
#include "data/errors.h"
#include "map/jpegdecoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QImage image;
    try {
        image = vdm::JpegDecoder::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const vdm::Error& e) {
        if (e.message().isEmpty())
            std::abort(); // the user must be told something
        return 0;
    }
    if (image.isNull() || image.format() != QImage::Format_RGB32
        || qint64(image.width()) * image.height() > vdm::JpegDecoder::MaxPixels)
        std::abort();
    return 0;
}
