#include "platform/jpegencoder.h"

#include "platform/jpegdecoder.h"
#include "platform/jpeglibsupport.h"

#include <cstdlib>
#include <memory>

namespace {

struct Encoder
{
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    unsigned char *output;
    unsigned long outputSize;
    QImage image; // RGB32
};

void fillRow(const Encoder *e, JSAMPLE *out, int y, Jpeg::EncodeOptions::Colours colours)
{
    const auto *in = reinterpret_cast<const QRgb *>(e->image.constScanLine(y));
    for (int x = 0; x < e->image.width(); ++x) {
        const QRgb p = in[x];
        switch (colours) {
        case Jpeg::EncodeOptions::Colours::Grayscale:
            *out++ = JSAMPLE(qGray(p));
            break;
        case Jpeg::EncodeOptions::Colours::AdobeCmyk:
            // Inverted CMYK without black: each stored ink value is the colour's own channel.
            *out++ = JSAMPLE(qRed(p));
            *out++ = JSAMPLE(qGreen(p));
            *out++ = JSAMPLE(qBlue(p));
            *out++ = 255;
            break;
        case Jpeg::EncodeOptions::Colours::Rgb:
            *out++ = JSAMPLE(qRed(p));
            *out++ = JSAMPLE(qGreen(p));
            *out++ = JSAMPLE(qBlue(p));
            break;
        }
    }
}

// Left by longjmp on any libjpeg error: no object with a destructor lives here.
bool encodeFrom(Encoder *e, const Jpeg::EncodeOptions *options)
{
    j_compress_ptr cinfo = &e->cinfo;
    cinfo->err = jpegInstallErrorManager(&e->err);
    if (setjmp(e->err.jump)) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, &e->output, &e->outputSize);
    cinfo->image_width = JDIMENSION(e->image.width());
    cinfo->image_height = JDIMENSION(e->image.height());
    switch (options->colours) {
    case Jpeg::EncodeOptions::Colours::Grayscale:
        cinfo->input_components = 1;
        cinfo->in_color_space = JCS_GRAYSCALE;
        break;
    case Jpeg::EncodeOptions::Colours::AdobeCmyk:
        cinfo->input_components = 4;
        cinfo->in_color_space = JCS_CMYK;
        break;
    case Jpeg::EncodeOptions::Colours::Rgb:
        cinfo->input_components = 3;
        cinfo->in_color_space = JCS_RGB;
        break;
    }
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, options->quality, TRUE);
    if (options->progressive)
        jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
        cinfo->image_width * unsigned(cinfo->input_components), 1);
    while (cinfo->next_scanline < cinfo->image_height) {
        fillRow(e, row[0], int(cinfo->next_scanline), options->colours);
        jpeg_write_scanlines(cinfo, row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

} // namespace

namespace Jpeg {

QByteArray encode(const QImage &image, const EncodeOptions &options)
{
    if (image.isNull())
        throw JpegError("No picture to write");
    auto encoder = std::make_unique<Encoder>();
    encoder->image = image.convertToFormat(QImage::Format_RGB32);
    const bool ok = encodeFrom(encoder.get(), &options);
    QByteArray result;
    if (ok)
        result = QByteArray(reinterpret_cast<const char *>(encoder->output), qsizetype(encoder->outputSize));
    std::free(encoder->output);
    if (!ok)
        throw JpegError(encoder->err.message);
    return result;
}

} // namespace Jpeg
