#pragma once

#include <QByteArray>
#include <QImage>

// Writes JPEG pictures: for the tool that makes the built-in background and for tests.
namespace Jpeg {

struct EncodeOptions
{
    enum class Colours
    {
        Rgb,
        Grayscale,
        AdobeCmyk
    };
    int quality = 90;
    bool progressive = false;
    Colours colours = Colours::Rgb;
};

// Throws JpegError when libjpeg fails.
QByteArray encode(const QImage &image, const EncodeOptions &options = {});

} // namespace Jpeg
