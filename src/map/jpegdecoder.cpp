// SPDX-License-Identifier: MIT
#include "map/jpegdecoder.h"

#include "data/errors.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

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

/**
 * A warning means the data is damaged (cut short, corrupt entropy data, bad markers):
 * the library would go on and paint grey or garbage where the picture should be. Such a
 * picture is refused with the warning's own text. Only remarks about the file's
 * labelling, which say nothing about the pixels, are let through.
 */
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM)
        return;
    cinfo->err->error_exit(cinfo);
}

/**
 * The part that may be left by longjmp. The image lives in the caller's frame, so its
 * value stays defined whatever happens here; returns false with `failure` set.
 */
bool decodeInto(const QByteArray& bytes, QImage& image, QString& failure)
{
    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silentOutput;
    err.pub.emit_message = emitMessage;

    if (setjmp(err.jump)) {
        failure = QString::fromLocal8Bit(err.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX; // lands straight in QImage's 0xffRRGGBB words
    if (cinfo.image_width > unsigned(MaxSide) || cinfo.image_height > unsigned(MaxSide)
        || qint64(cinfo.image_width) * cinfo.image_height > MaxPixels) {
        failure = QStringLiteral("The map picture is too large (%1 x %2 pixels; at most %3 pixels are accepted)")
                      .arg(cinfo.image_width).arg(cinfo.image_height).arg(MaxPixels);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);

    image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        failure = QStringLiteral("Not enough memory for the map picture");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QImage decode(const QByteArray& bytes)
{
    QImage image;
    QString failure;
    if (!decodeInto(bytes, image, failure))
        throw Error(failure);
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
