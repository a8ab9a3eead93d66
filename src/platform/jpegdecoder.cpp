#include "platform/jpegdecoder.h"

#include "platform/jpeglibsupport.h"

#include <QFile>

#include <memory>

namespace {

// QImage::Format_RGB32 holds 0xffRRGGBB words: bytes B, G, R, 0xff in memory on this
// byte order, which libjpeg-turbo writes itself as BGRA with an opaque alpha.
#if defined(JCS_EXTENSIONS) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr bool kColourIntoPicture = true;
constexpr J_COLOR_SPACE kColourSpace = JCS_EXT_BGRA;
#else
constexpr bool kColourIntoPicture = false;
constexpr J_COLOR_SPACE kColourSpace = JCS_RGB;
#endif

// Working memory libjpeg may take besides the output picture. A progressive picture keeps
// all its coefficients; beyond this it fails instead of growing further.
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;
// A progressive picture with more scans than this is hostile: each scan costs a pass.
constexpr int kMaxScans = 500;

struct Decoder
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    // Set while the rows of a single-scan picture are read: running out of data there is only
    // a missing end marker unless the rows still needed the data.
    bool readingSingleScan;
    // The data of a picture of many scans ran out; it is kept only if every coefficient
    // arrived in full, so that nothing but the end marker is missing.
    bool multiScanDataEnded;
    QSize largestMonitor;
    QSize area;
    QImage image;
};

void watchScans(j_common_ptr cinfo)
{
    auto *dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans)
        jpegFail(cinfo, "Too many scans in the JPEG picture");
}

void noteWarning(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    // A picture that lacks data is refused rather than shown half grey.
    auto *decoder = static_cast<Decoder *>(cinfo->client_data);
    const int code = cinfo->err->msg_code;
    if (code == JWRN_HIT_MARKER)
        (*cinfo->err->error_exit)(cinfo);
    if (code == JWRN_JPEG_EOF && !decoder->readingSingleScan)
        decoder->multiScanDataEnded = true;
    ++cinfo->err->num_warnings;
}

// Every coefficient of a progressive picture at full precision: its last scans arrived.
bool allCoefficientsComplete(j_decompress_ptr cinfo)
{
    if (!cinfo->progressive_mode || !cinfo->coef_bits)
        return false;
    for (int c = 0; c < cinfo->num_components; ++c) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (cinfo->coef_bits[c][k] != 0)
                return false;
        }
    }
    return true;
}

// The largest scale M/8 at which each side is at most twice the monitor's; the decoder then
// only computes the smaller picture. Refuses what stays above four times its area. Then, for
// a given area, the smallest scale below that which still covers the area.
void chooseScale(j_decompress_ptr cinfo, QSize monitor, QSize area)
{
    cinfo->scale_denom = 8;
    cinfo->scale_num = 8;
    if (!monitor.isEmpty()) {
        const qint64 maxWidth = 2 * qint64(monitor.width());
        const qint64 maxHeight = 2 * qint64(monitor.height());
        for (unsigned m = 8; m >= 1; --m) {
            cinfo->scale_num = m;
            jpeg_calc_output_dimensions(cinfo);
            if (cinfo->output_width <= maxWidth && cinfo->output_height <= maxHeight)
                break;
        }
        if (qint64(cinfo->output_width) * cinfo->output_height > maxWidth * maxHeight)
            jpegFail(reinterpret_cast<j_common_ptr>(cinfo), "JPEG picture too large for the monitors");
    }
    if (area.isEmpty())
        return;
    for (unsigned m = cinfo->scale_num - 1; m >= 1; --m) {
        cinfo->scale_num = m;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width < unsigned(area.width()) || cinfo->output_height < unsigned(area.height())) {
            ++cinfo->scale_num;
            break;
        }
    }
}

bool allocateImage(Decoder *d, int width, int height)
{
    d->image = QImage(width, height, QImage::Format_RGB32);
    return !d->image.isNull();
}

void convertRow(Decoder *d, const JSAMPLE *in, int y)
{
    const j_decompress_ptr cinfo = &d->cinfo;
    auto *out = reinterpret_cast<QRgb *>(d->image.scanLine(y));
    const int width = int(cinfo->output_width);
    switch (cinfo->out_color_space) {
    case JCS_GRAYSCALE:
        for (int x = 0; x < width; ++x)
            out[x] = qRgb(in[x], in[x], in[x]);
        break;
    case JCS_CMYK:
        // Adobe's writers store CMYK inverted, and mark the file.
        for (int x = 0; x < width; ++x, in += 4) {
            if (cinfo->saw_Adobe_marker) {
                const int k = in[3];
                out[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
            } else {
                const int k = 255 - in[3];
                out[x] = qRgb(k - in[0] * k / 255, k - in[1] * k / 255, k - in[2] * k / 255);
            }
        }
        break;
    default:
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[0], in[1], in[2]);
        break;
    }
}

// libjpeg leaves this function by longjmp on any error, so no object with a destructor
// may live in it; everything is kept in *d.
bool decodeInto(Decoder *d, const unsigned char *bytes, unsigned long size)
{
    j_decompress_ptr cinfo = &d->cinfo;
    cinfo->err = jpegInstallErrorManager(&d->err);
    cinfo->client_data = d;
    d->err.pub.emit_message = noteWarning;
    if (setjmp(d->err.jump)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = kMaxDecoderMemory;
    d->progress.progress_monitor = watchScans;
    cinfo->progress = &d->progress;
    jpeg_mem_src(cinfo, bytes, size);
    jpeg_read_header(cinfo, TRUE);
    if (cinfo->image_width > unsigned(Jpeg::kMaxSide) || cinfo->image_height > unsigned(Jpeg::kMaxSide))
        jpegFail(reinterpret_cast<j_common_ptr>(cinfo), "JPEG picture too large");

    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        break;
    default:
        // Colour straight into the picture's own pixel layout where libjpeg can give it.
        cinfo->out_color_space = kColourSpace;
        break;
    }
    chooseScale(cinfo, d->largestMonitor, d->area);
    // A picture of many scans is read whole here.
    jpeg_start_decompress(cinfo);
    if (d->multiScanDataEnded && !allCoefficientsComplete(cinfo))
        jpegFail(reinterpret_cast<j_common_ptr>(cinfo), "JPEG data ends early");
    d->readingSingleScan = !jpeg_has_multiple_scans(cinfo);
    if (!allocateImage(d, int(cinfo->output_width), int(cinfo->output_height)))
        jpegFail(reinterpret_cast<j_common_ptr>(cinfo), "Not enough memory for the JPEG picture");

    if (kColourIntoPicture && cinfo->out_color_space == kColourSpace) {
        while (cinfo->output_scanline < cinfo->output_height) {
            JSAMPROW row = d->image.scanLine(int(cinfo->output_scanline));
            if (jpeg_read_scanlines(cinfo, &row, 1) != 1)
                jpegFail(reinterpret_cast<j_common_ptr>(cinfo), "JPEG data ends early");
        }
        jpeg_finish_decompress(cinfo);
        jpeg_destroy_decompress(cinfo);
        return true;
    }
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
        cinfo->output_width * unsigned(cinfo->output_components), 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = int(cinfo->output_scanline);
        if (jpeg_read_scanlines(cinfo, row, 1) != 1)
            jpegFail(reinterpret_cast<j_common_ptr>(cinfo), "JPEG data ends early");
        convertRow(d, row[0], y);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}

} // namespace

namespace Jpeg {

QImage decode(QByteArrayView data, QSize largestMonitor, QSize area)
{
    if (data.isEmpty())
        throw JpegError("Empty JPEG data");
    if (data.size() > kMaxFileSize)
        throw JpegError("JPEG data too large");
    // Zero-initialised, so that cleaning up after an early failure finds no stale pointers.
    auto decoder = std::make_unique<Decoder>();
    decoder->largestMonitor = largestMonitor;
    decoder->area = area;
    if (!decodeInto(decoder.get(), reinterpret_cast<const unsigned char *>(data.data()),
            static_cast<unsigned long>(data.size())))
        throw JpegError(decoder->err.message);
    return std::move(decoder->image);
}

QImage readFile(const QString &path, QSize largestMonitor, QSize area)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw JpegError(("Cannot open " + path + ": " + file.errorString()).toStdString());
    if (file.size() > kMaxFileSize)
        throw JpegError(("File too large: " + path).toStdString());
    const QByteArray data = file.read(kMaxFileSize + 1);
    if (data.size() > kMaxFileSize)
        throw JpegError(("File too large: " + path).toStdString());
    return decode(data, largestMonitor, area);
}

} // namespace Jpeg
