// The JPEG decoder on hostile bytes: a clean JpegError or a picture of a sane size.
#include "platform/jpegdecoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t length)
{
    // Alternates a small and a full-HD largest monitor, so that both the scaled and the
    // unscaled paths are reached.
    const QSize monitor = length % 2 ? QSize(800, 600) : QSize(1920, 1080);
    try {
        const QImage image
            = Jpeg::decode(QByteArrayView(reinterpret_cast<const char *>(bytes), qsizetype(length)), monitor);
        if (image.isNull()
            || qint64(image.width()) * image.height() > 4 * qint64(monitor.width()) * monitor.height()
            || image.format() != QImage::Format_RGB32)
            std::abort();
    } catch (const JpegError &) { }
    return 0;
}
