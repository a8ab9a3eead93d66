#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <stdexcept>

// A picture that could not be read as a complete JPEG picture of a sane size.
class JpegError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace Jpeg {

// Pictures wider or higher than this are refused before their pixels are allocated.
inline constexpr int kMaxSide = 16384;
// Larger files are refused unread.
inline constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// Decodes a JPEG picture (greyscale, colour or CMYK, baseline or progressive) into an
// RGB32 image. Throws JpegError for anything else, including a truncated picture.
QImage decode(QByteArrayView data);

// Reads and decodes a JPEG file. Throws JpegError when the file cannot be read or decoded.
QImage readFile(const QString &path);

} // namespace Jpeg
