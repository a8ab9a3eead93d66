// Makes the pictures of the information window:
//   make_info_pictures <resources folder>
// writes makerlogo.png (the maker's logo, 238 x 65, transparent) and scorelane-icon.png
// (the program's icon, 64 x 64: a scoreboard with a gold "1").

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage makerLogo()
{
    QImage image(238, 65, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // A stylised spring mark: three rising arcs over a base line.
    const QColor teal(0, 96, 112);
    p.setPen(QPen(teal, 5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        QPainterPath arc;
        const qreal x = 10 + i * 12;
        arc.moveTo(x, 52);
        arc.quadTo(x + 14, 8 + i * 6, x + 34, 14 + i * 8);
        p.drawPath(arc);
    }
    p.setPen(QPen(QColor(128, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 58), QPointF(230, 58));

    QFont name(QStringLiteral("Liberation Sans"));
    name.setPixelSize(30);
    name.setBold(true);
    p.setFont(name);
    p.setPen(teal);
    p.drawText(QRect(74, 6, 162, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quellmark"));
    QFont line(QStringLiteral("Liberation Sans"));
    line.setPixelSize(12);
    line.setItalic(true);
    p.setFont(line);
    p.setPen(QColor(48, 48, 48));
    p.drawText(QRect(76, 38, 160, 16), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("Software für den Turniersport"));
    return image;
}

QImage programIcon()
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient board(0, 4, 0, 60);
    board.setColorAt(0, QColor(30, 60, 120));
    board.setColorAt(1, QColor(8, 18, 44));
    p.setPen(QPen(QColor(200, 200, 210), 2));
    p.setBrush(board);
    p.drawRoundedRect(QRectF(3, 7, 58, 50), 7, 7);
    QFont digit(QStringLiteral("Liberation Sans"));
    digit.setPixelSize(40);
    digit.setBold(true);
    p.setFont(digit);
    p.setPen(QColor(255, 200, 40));
    p.drawText(QRect(3, 7, 58, 50), Qt::AlignCenter, QStringLiteral("1"));
    p.setPen(QPen(QColor(255, 255, 255), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 49), QPointF(22, 49));
    p.drawLine(QPointF(42, 49), QPointF(52, 49));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_info_pictures <resources folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool ok = makerLogo().save(out.filePath(QStringLiteral("makerlogo.png")))
        && programIcon().save(out.filePath(QStringLiteral("scorelane-icon.png")));
    return ok ? 0 : 1;
}
