#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>
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
// RGB32 image. Throws JpegError for anything else, including a truncated picture; only a
// missing end marker after complete data is forgiven.
//
// With the size of the largest monitor given, a large picture is decoded at the largest
// scale M/8 that brings each side to at most twice that monitor's side, and one that
// still has more than four times the monitor's area is refused. An empty size decodes
// at full size.
//
// With the area given that the picture will fill, it is decoded at the smallest of those
// scales that still covers the area in both sides: a window smaller than the picture costs
// only the pixels it shows, and nothing is ever scaled up from fewer pixels than it has.
QImage decode(QByteArrayView data, QSize largestMonitor = QSize(), QSize area = QSize());

// Reads and decodes a JPEG file, as decode(). Throws JpegError when the file cannot be
// read or decoded.
QImage readFile(const QString &path, QSize largestMonitor = QSize(), QSize area = QSize());

} // namespace Jpeg
