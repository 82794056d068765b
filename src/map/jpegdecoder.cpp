// SPDX-License-Identifier: MIT
#include "map/jpegdecoder.h"

#include "data/errors.h"
#include "data/regularfile.h"

#include <QFileInfo>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include <new>
#include <vector>

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

void silentOutput(j_common_ptr)
{}

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

/** What the decoder reads from, set up once the library's structure exists. */
struct Source {
    const QByteArray* bytes = nullptr; // from memory
    std::FILE* file = nullptr;         // or streamed from a file
    QString name;                      // the file's path, for messages; empty for memory
};

/**
 * What the decoded picture costs: its 32-bit pixels, and for a picture in several scans
 * the coefficients the library keeps for the whole picture.
 */
qint64 bytesNeeded(const jpeg_decompress_struct& cinfo)
{
    const qint64 pixels = qint64(cinfo.image_width) * cinfo.image_height;
    qint64 bytes = pixels * 4;
    if (jpeg_has_multiple_scans(const_cast<jpeg_decompress_struct*>(&cinfo)))
        bytes += pixels * cinfo.num_components * qint64(sizeof(JCOEF));
    return bytes;
}

QString outOfMemory(const Source& source, const jpeg_decompress_struct& cinfo)
{
    const qint64 mb = (bytesNeeded(cinfo) + (1 << 20) - 1) >> 20;
    const QString size
        = QStringLiteral("%1 x %2 pixels need %3 MB").arg(cinfo.image_width).arg(cinfo.image_height).arg(mb);
    if (source.name.isEmpty())
        return QStringLiteral("Not enough memory for the map picture (%1)").arg(size);
    return QStringLiteral("Not enough memory for the map picture %1 (%2)").arg(source.name, size);
}

/**
 * Four-channel pictures are ink amounts. Adobe's files store them inverted (255 is no
 * ink), and a YCCK file decodes to that same inverted CMYK; others store plain CMYK.
 */
void cmykToRgb32(const JSAMPLE* in, QRgb* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = qRgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
    }
}

/**
 * The part that may be left by longjmp. The image and the row buffer live in the
 * caller's frame, so their values stay defined whatever happens here; returns false
 * with `failure` set.
 */
bool decodeInto(const Source& source, QImage& image, std::vector<JSAMPLE>& row, QString& failure)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silentOutput;
    err.pub.emit_message = emitMessage;

    if (setjmp(err.jump)) {
        failure
            = err.pub.msg_code == JERR_OUT_OF_MEMORY ? outOfMemory(source, cinfo) : QString::fromLocal8Bit(err.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    jpeg_create_decompress(&cinfo);
    // From a file the library reads as it decodes, a buffer at a time: whatever follows
    // the picture's end is never read, and the memory is that of the decoded picture.
    if (source.file)
        jpeg_stdio_src(&cinfo, source.file);
    else
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(source.bytes->constData()),
                     static_cast<unsigned long>(source.bytes->size()));
    jpeg_read_header(&cinfo, TRUE);
    const bool inks = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = inks ? JCS_CMYK : JCS_EXT_BGRX; // BGRX lands straight in QImage's 0xffRRGGBB words
    if (cinfo.image_width > unsigned(MaxSide) || cinfo.image_height > unsigned(MaxSide)
        || qint64(cinfo.image_width) * cinfo.image_height > MaxPixels) {
        failure = QStringLiteral("The map picture is too large (%1 x %2 pixels; at most %3 pixels are accepted)")
                      .arg(cinfo.image_width)
                      .arg(cinfo.image_height)
                      .arg(MaxPixels);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);

    image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        failure = outOfMemory(source, cinfo);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (inks)
        row.resize(size_t(cinfo.output_width) * 4);
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW target = inks ? row.data() : image.scanLine(y);
        jpeg_read_scanlines(&cinfo, &target, 1);
        if (inks)
            cmykToRgb32(row.data(), reinterpret_cast<QRgb*>(image.scanLine(y)), cinfo.output_width, inverted);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

QImage decodeSource(const Source& source)
{
    QImage image;
    std::vector<JSAMPLE> row;
    QString failure;
    bool ok = false;
    try {
        ok = decodeInto(source, image, row, failure);
    } catch (const std::bad_alloc&) {
        // Only the row buffer allocates by throwing; the library and QImage report instead.
        failure = QStringLiteral("Not enough memory for the map picture %1").arg(source.name);
    }
    if (!ok)
        throw Error(failure);
    return image;
}

} // namespace

QImage decode(const QByteArray& bytes)
{
    Source source;
    source.bytes = &bytes;
    return decodeSource(source);
}

QImage decodeFile(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    RegularFile file(path);
    if (!file.isOpen())
        throwCannotOpen(full);
    Source source;
    source.name = full;
    source.file = ::fdopen(file.handle(), "rb");
    if (!source.file)
        throwCannotOpen(full);
    file.release(); // the stream owns the descriptor now
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{source.file};
    return decodeSource(source);
}

} // namespace vdm::JpegDecoder
