// SPDX-License-Identifier: MIT
#include "map/jpegdecoder.h"

#include "data/errors.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace vdm::JpegDecoder {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void silentOutput(j_common_ptr) {}

} // namespace

QImage decode(const QByteArray& bytes)
{
    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silentOutput;

    // Everything that must survive the longjmp lives outside this frame's locals that
    // change after setjmp; the image is assigned only after the header passed.
    QImage image;
    QString failure;
    if (setjmp(err.jump)) {
        failure = QString::fromLocal8Bit(err.message);
        jpeg_destroy_decompress(&cinfo);
        throw Error(failure);
    }

    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX; // lands straight in QImage's 0xffRRGGBB words
    if (cinfo.image_width > unsigned(MaxSide) || cinfo.image_height > unsigned(MaxSide)
        || qint64(cinfo.image_width) * cinfo.image_height > MaxPixels) {
        const QString text = QStringLiteral("The map picture is too large (%1 x %2 pixels; at most %3 pixels are accepted)")
                                 .arg(cinfo.image_width).arg(cinfo.image_height).arg(MaxPixels);
        jpeg_destroy_decompress(&cinfo);
        throw Error(text);
    }
    jpeg_start_decompress(&cinfo);

    image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        throw Error(QStringLiteral("Not enough memory for the map picture"));
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

QImage decodeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throwCannotOpen(path);
    return decode(file.readAll());
}

} // namespace vdm::JpegDecoder
