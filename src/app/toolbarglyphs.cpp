#include "app/toolbarglyphs.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Every glyph is drawn on a 32 x 32 grid and scaled.
constexpr qreal kGrid = 32;

const QColor kOutline(14, 18, 24);

QPen outlinePen(qreal width = 1.2)
{
    return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QLinearGradient verticalGradient(qreal top, qreal bottom, const QColor &light, const QColor &dark)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, light);
    gradient.setColorAt(1, dark);
    return gradient;
}

void drawHelp(QPainter &p)
{
    p.setPen(outlinePen());
    p.setBrush(verticalGradient(2, 30, QColor(90, 160, 255), QColor(20, 90, 210)));
    p.drawEllipse(QRectF(2, 2, 28, 28));

    QPainterPath mark;
    mark.moveTo(11.5, 12);
    mark.cubicTo(11.5, 6, 20.5, 6, 20.5, 12);
    mark.cubicTo(20.5, 15.5, 16, 15.5, 16, 19.5);
    p.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 24.5), 2.2, 2.2);
}

void drawInfo(QPainter &p)
{
    p.setPen(outlinePen());
    p.setBrush(verticalGradient(2, 30, QColor(255, 255, 255), QColor(200, 212, 226)));
    p.drawEllipse(QRectF(2, 2, 28, 28));

    const QColor blue(20, 80, 180);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawEllipse(QPointF(16, 9), 2.4, 2.4);
    QPainterPath stem;
    stem.addRoundedRect(QRectF(13.8, 13, 4.4, 12), 1, 1);
    stem.addRect(QRectF(12, 13, 4, 2.2));
    stem.addRect(QRectF(12, 23.6, 8, 2.2));
    p.drawPath(stem.simplified());
}

void drawSettings(QPainter &p)
{
    // A gear: teeth as a star polygon with flat tops, a hub hole.
    constexpr int kTeeth = 8;
    const QPointF centre(16, 16);
    QPolygonF gear;
    for (int i = 0; i < kTeeth; ++i) {
        const qreal base = i * 2 * M_PI / kTeeth;
        const qreal step = 2 * M_PI / kTeeth;
        const auto at = [&](qreal angle, qreal radius) {
            return centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
        };
        gear << at(base - step * 0.30, 10.5) << at(base - step * 0.17, 14.5) << at(base + step * 0.17, 14.5)
             << at(base + step * 0.30, 10.5);
    }
    QPainterPath path;
    path.addPolygon(gear);
    path.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 4.2, 4.2);
    path = path.subtracted(hole);

    p.setPen(outlinePen());
    p.setBrush(verticalGradient(2, 30, QColor(235, 240, 245), QColor(150, 162, 176)));
    p.drawPath(path);
}

void drawLoad(QPainter &p)
{
    // An open folder: the back with its tab, a sheet of paper, the front flap tilted open.
    QPainterPath back;
    back.moveTo(3, 7);
    back.lineTo(11, 7);
    back.lineTo(13.5, 9.5);
    back.lineTo(26, 9.5);
    back.lineTo(26, 27);
    back.lineTo(3, 27);
    back.closeSubpath();
    p.setPen(outlinePen());
    p.setBrush(QColor(205, 145, 20));
    p.drawPath(back);

    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 11.5, 16, 10));

    QPolygonF front;
    front << QPointF(3, 27) << QPointF(8, 15) << QPointF(30.5, 15) << QPointF(25.5, 27);
    p.setBrush(verticalGradient(15, 27, QColor(255, 214, 90), QColor(240, 170, 30)));
    p.drawPolygon(front);
}

void drawSave(QPainter &p)
{
    // A floppy disk: body with a cut corner, metal shutter at the top, paper label below.
    QPainterPath body;
    body.moveTo(4, 4);
    body.lineTo(24, 4);
    body.lineTo(28, 8);
    body.lineTo(28, 28);
    body.lineTo(4, 28);
    body.closeSubpath();
    p.setPen(outlinePen());
    p.setBrush(verticalGradient(4, 28, QColor(80, 150, 245), QColor(30, 80, 190)));
    p.drawPath(body);

    p.setBrush(QColor(215, 222, 230));
    p.drawRect(QRectF(9, 4, 13, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 60, 90));
    p.drawRect(QRectF(17, 5.5, 3, 6));

    p.setPen(outlinePen(1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 17, 16, 11));
    p.setPen(QPen(QColor(150, 160, 175), 1));
    p.drawLine(QPointF(10.5, 21), QPointF(21.5, 21));
    p.drawLine(QPointF(10.5, 24.5), QPointF(21.5, 24.5));
}

void drawTV(QPainter &p)
{
    // A flat screen on a stand.
    p.setPen(outlinePen());
    p.setBrush(QColor(60, 66, 74));
    p.drawRoundedRect(QRectF(1.5, 4, 29, 20), 2, 2);
    p.setPen(Qt::NoPen);
    QLinearGradient screen(3.5, 6, 28.5, 22);
    screen.setColorAt(0, QColor(120, 200, 255));
    screen.setColorAt(1, QColor(20, 90, 200));
    p.setBrush(screen);
    p.drawRect(QRectF(3.8, 6.3, 24.4, 15.4));
    // A glint so the screen reads as glass.
    p.setBrush(QColor(255, 255, 255, 90));
    QPolygonF glint;
    glint << QPointF(3.8, 6.3) << QPointF(16, 6.3) << QPointF(3.8, 16);
    p.drawPolygon(glint);

    p.setPen(outlinePen());
    p.setBrush(QColor(180, 188, 198));
    QPolygonF stand;
    stand << QPointF(13.5, 24) << QPointF(18.5, 24) << QPointF(20, 27.5) << QPointF(12, 27.5);
    p.drawPolygon(stand);
    p.drawRoundedRect(QRectF(8, 27.5, 16, 2.5), 1, 1);
}

void drawVideo(QPainter &p)
{
    // A video camera: body, the lens cone to the right, the red recording light.
    p.setPen(outlinePen());
    p.setBrush(verticalGradient(9, 25, QColor(245, 245, 245), QColor(185, 192, 200)));
    p.drawRoundedRect(QRectF(2, 9, 19, 15), 2.5, 2.5);
    QPolygonF lens;
    lens << QPointF(21, 14) << QPointF(30, 9.5) << QPointF(30, 23.5) << QPointF(21, 19);
    p.drawPolygon(lens);
    p.setBrush(QColor(230, 30, 30));
    p.drawEllipse(QPointF(7, 14), 2.6, 2.6);
    // Film reels on top.
    p.setBrush(QColor(185, 192, 200));
    p.drawEllipse(QPointF(7, 6), 3.2, 3.2);
    p.drawEllipse(QPointF(15.5, 6), 3.2, 3.2);
    p.setBrush(QColor(60, 66, 74));
    p.drawEllipse(QPointF(7, 6), 1, 1);
    p.drawEllipse(QPointF(15.5, 6), 1, 1);
}

void drawClear(QPainter &p)
{
    // An eraser at an angle with a wiped trail under it.
    p.setPen(QPen(QColor(210, 220, 230), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 28.5), QPointF(15, 28.5));
    p.drawLine(QPointF(6, 25), QPointF(11, 25));

    p.save();
    p.translate(17.5, 15);
    p.rotate(-40);
    p.setPen(outlinePen());
    QPainterPath eraser;
    eraser.addRoundedRect(QRectF(-12, -6, 24, 12), 2, 2);
    p.setBrush(QColor(70, 120, 220));
    p.drawPath(eraser);
    p.setBrush(verticalGradient(-6, 6, QColor(255, 150, 170), QColor(220, 70, 100)));
    p.drawRoundedRect(QRectF(-12, -6, 11, 12), 2, 2);
    p.setPen(QPen(QColor(255, 255, 255, 140), 1.2));
    p.drawLine(QPointF(1, -4), QPointF(10, -4));
    p.restore();
}

void drawPrint(QPainter &p)
{
    // A printer: paper standing in the back, the body, the printed sheet coming out.
    p.setPen(outlinePen());
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 2.5, 16, 10));

    p.setBrush(verticalGradient(10, 24, QColor(225, 230, 236), QColor(140, 150, 162)));
    p.drawRoundedRect(QRectF(2, 10, 28, 13), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 80));
    p.drawEllipse(QPointF(25.5, 14), 1.4, 1.4);
    p.setBrush(QColor(40, 45, 52));
    p.drawRect(QRectF(6.5, 18.5, 19, 2.2));

    p.setPen(outlinePen());
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 19.5, 16, 10));
    p.setPen(QPen(QColor(110, 120, 135), 1));
    p.drawLine(QPointF(10.5, 23), QPointF(21.5, 23));
    p.drawLine(QPointF(10.5, 26), QPointF(18.5, 26));
}

void drawLive(QPainter &p)
{
    // A mast sending: a green dot with waves on both sides, and its stand.
    p.setPen(QPen(kOutline, 4.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 17), QPointF(16, 29));
    p.setPen(QPen(QColor(210, 220, 230), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 17), QPointF(16, 29));
    p.setBrush(Qt::NoBrush);
    for (const auto &[radius, colour] :
        { std::pair { 7.0, QColor(120, 230, 140) }, std::pair { 12.5, QColor(60, 190, 90) } }) {
        const QRectF box(16 - radius, 13 - radius, 2 * radius, 2 * radius);
        p.setPen(QPen(kOutline, 4.4, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(box, -40 * 16, 80 * 16);
        p.drawArc(box, 140 * 16, 80 * 16);
        p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(box, -40 * 16, 80 * 16);
        p.drawArc(box, 140 * 16, 80 * 16);
    }
    p.setPen(outlinePen());
    p.setBrush(verticalGradient(9, 17, QColor(150, 255, 170), QColor(30, 170, 70)));
    p.drawEllipse(QPointF(16, 13), 3.8, 3.8);
}

void drawGlyph(QPainter &p, ToolbarGlyph glyph)
{
    switch (glyph) {
    case ToolbarGlyph::bHelp:
        return drawHelp(p);
    case ToolbarGlyph::bCFG:
        return drawSettings(p);
    case ToolbarGlyph::bInfo:
        return drawInfo(p);
    case ToolbarGlyph::sbLoad:
        return drawLoad(p);
    case ToolbarGlyph::sbSave:
        return drawSave(p);
    case ToolbarGlyph::sbTV:
        return drawTV(p);
    case ToolbarGlyph::bVideo:
        return drawVideo(p);
    case ToolbarGlyph::sbCLS:
        return drawClear(p);
    case ToolbarGlyph::sbPrint:
        return drawPrint(p);
    case ToolbarGlyph::bLive:
        return drawLive(p);
    }
}

// Under the mouse: a quarter of the way to white.
void lighten(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(line[x]);
            // Premultiplied: white at this alpha is (a, a, a).
            const auto up = [a](int c) { return c + (a - c) / 4; };
            line[x] = qRgba(up(qRed(line[x])), up(qGreen(line[x])), up(qBlue(line[x])), a);
        }
    }
}

// Disabled: a flat mid grey at a third of the opacity, so it recedes on the dark bar.
void greyOut(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(line[x]);
            if (a == 0)
                continue;
            const int grey = qGray(qUnpremultiply(line[x]));
            const int shade = 90 + grey * 70 / 255;
            const int faded = a * 40 / 100;
            line[x] = qPremultiply(qRgba(shade, shade, shade, faded));
        }
    }
}

class GlyphIconEngine : public QIconEngine
{
public:
    explicit GlyphIconEngine(ToolbarGlyph glyph)
        : m_glyph(glyph)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = qRound(std::min(rect.width(), rect.height()) * ratio);
        QImage image = renderToolbarGlyph(m_glyph, side, mode);
        image.setDevicePixelRatio(ratio);
        const QSizeF shown = QSizeF(side, side) / ratio;
        const QPointF origin = QRectF(rect).center() - QPointF(shown.width(), shown.height()) / 2;
        painter->drawImage(QRectF(origin, shown), image);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.drawImage(QPoint((size.width() - side) / 2, (size.height() - side) / 2),
            renderToolbarGlyph(m_glyph, side, mode));
        p.end();
        return QPixmap::fromImage(image);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }

    QIconEngine *clone() const override { return new GlyphIconEngine(m_glyph); }
    QString key() const override { return QStringLiteral("ToolbarGlyph"); }

private:
    ToolbarGlyph m_glyph;
};

} // namespace

QColor toolbarColor()
{
    return QColor(38, 44, 54);
}

QImage renderToolbarGlyph(ToolbarGlyph glyph, int size, QIcon::Mode mode)
{
    size = std::max(size, 1);
    // The tool bar repaints its glyphs often, at one or two sizes only.
    static QHash<quint64, QImage> drawn;
    const quint64 key = quint64(glyph) << 32 | quint32(size);
    auto found = drawn.constFind(key);
    if (found == drawn.cend()) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(image.width() / kGrid, image.height() / kGrid);
            drawGlyph(p, glyph);
        }
        found = drawn.insert(key, image);
    }
    QImage image = *found;
    if (mode == QIcon::Active)
        lighten(image);
    else if (mode == QIcon::Disabled)
        greyOut(image);
    return image;
}

void drawToolbarGlyphsAhead(int size)
{
    for (const ToolbarGlyph glyph : kAllToolbarGlyphs)
        renderToolbarGlyph(glyph, size);
}

QIcon toolbarIcon(ToolbarGlyph glyph)
{
    return QIcon(new GlyphIconEngine(glyph));
}
