// SPDX-License-Identifier: MIT
#include "worldgen/jpegwriter.h"

#include "data/errors.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace vdm::worldgen::JpegWriter {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

} // namespace

QByteArray encode(const QImage& source, int quality)
{
    const QImage picture
        = source.format() == QImage::Format_RGB888 ? source : source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;

    // Nothing with a destructor lives between setjmp and the last libjpeg call.
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        throw Error(QStringLiteral("JPEG encoding failed: %1").arg(QString::fromLocal8Bit(errors.message)));
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(length));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

} // namespace vdm::worldgen::JpegWriter
