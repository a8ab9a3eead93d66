// Makes the built-in background, resources/default-background.jpg, and its copy at the size
// the main window shows it, resources/default-background-window.jpg:
//   make_default_background <output.jpg> <window-output.jpg>
// A calm dark blue picture of 1920 x 1080 with darker bands under the rows of figures, so
// that white and yellow figures stand out; fine noise keeps the gradients free of bands.

#include "platform/jpegdecoder.h"
#include "platform/jpegencoder.h"

#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cstdint>
#include <cstdio>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The main window's picture box, 900 x 506, holds the picture at this size.
constexpr int kWindowWidth = 900;
constexpr int kWindowHeight = 506;

void drawBase(QPainter &p)
{
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, QColor(16, 28, 52));
    sky.setColorAt(0.55, QColor(10, 18, 36));
    sky.setColorAt(1.0, QColor(5, 9, 20));
    p.fillRect(0, 0, kWidth, kHeight, sky);

    // A soft glow behind the middle, where the video area sits.
    QRadialGradient glow(kWidth / 2.0, kHeight * 0.45, kWidth * 0.55);
    glow.setColorAt(0.0, QColor(40, 80, 140, 70));
    glow.setColorAt(1.0, QColor(40, 80, 140, 0));
    p.fillRect(0, 0, kWidth, kHeight, glow);
}

void drawLightBands(QPainter &p)
{
    p.save();
    p.translate(kWidth / 2.0, kHeight / 2.0);
    p.rotate(-24);
    const struct
    {
        int offset, width, alpha;
    } bands[] = { { -700, 260, 10 }, { -330, 120, 7 }, { 250, 340, 9 }, { 720, 160, 6 } };
    for (const auto &band : bands) {
        QLinearGradient g(band.offset, 0, band.offset + band.width, 0);
        g.setColorAt(0.0, QColor(120, 170, 230, 0));
        g.setColorAt(0.5, QColor(120, 170, 230, band.alpha));
        g.setColorAt(1.0, QColor(120, 170, 230, 0));
        p.fillRect(QRectF(band.offset, -1400, band.width, 2800), g);
    }
    p.restore();
}

// Darker bands under the top row (start number and name) and the bottom row (place, marks,
// total), with soft edges.
void drawFigureBands(QPainter &p)
{
    const struct
    {
        int top, bottom;
    } rows[] = { { 22, 178 }, { 902, 1046 } };
    for (const auto &row : rows) {
        QLinearGradient g(0, row.top, 0, row.bottom);
        g.setColorAt(0.0, QColor(0, 0, 0, 0));
        g.setColorAt(0.18, QColor(0, 0, 0, 95));
        g.setColorAt(0.82, QColor(0, 0, 0, 95));
        g.setColorAt(1.0, QColor(0, 0, 0, 0));
        p.fillRect(0, row.top, kWidth, row.bottom - row.top, g);

        // A faint warm hairline on each edge of the band, fading out to the sides.
        for (const int y : { row.top + 12, row.bottom - 12 }) {
            QLinearGradient line(0, 0, kWidth, 0);
            line.setColorAt(0.0, QColor(210, 170, 80, 0));
            line.setColorAt(0.5, QColor(210, 170, 80, 70));
            line.setColorAt(1.0, QColor(210, 170, 80, 0));
            p.fillRect(0, y, kWidth, 2, line);
        }
    }
}

void addNoise(QImage &image)
{
    std::uint32_t state = 0x2545F491u;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int d = int(state % 5) - 2;
            const QRgb c = line[x];
            line[x] = qRgb(
                qBound(0, qRed(c) + d, 255), qBound(0, qGreen(c) + d, 255), qBound(0, qBlue(c) + d, 255));
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output.jpg> <window-output.jpg>\n", argv[0]);
        return 2;
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        drawBase(p);
        drawLightBands(p);
        drawFigureBands(p);
    }
    addNoise(image);

    const QImage window
        = image.scaled(kWindowWidth, kWindowHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_RGB32);
    try {
        QByteArray jpegs[2];
        const QImage *pictures[2] = { &image, &window };
        for (int i = 0; i < 2; ++i) {
            jpegs[i] = Jpeg::encode(*pictures[i], { 92, false, Jpeg::EncodeOptions::Colours::Rgb });
            // Read it back with the program's own reader before replacing anything.
            if (Jpeg::decode(jpegs[i]).size() != pictures[i]->size()) {
                std::fprintf(stderr, "the written picture does not read back\n");
                return 1;
            }
        }
        for (int i = 0; i < 2; ++i) {
            QFile out(QString::fromLocal8Bit(argv[1 + i]));
            if (!out.open(QIODevice::WriteOnly) || out.write(jpegs[i]) != jpegs[i].size()) {
                std::fprintf(stderr, "cannot write %s\n", argv[1 + i]);
                return 1;
            }
        }
    } catch (const JpegError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
