// Repainting the TV scoreboard's 13 shadowed labels at the 1920 x 1080 reference
// sizes, against drawing the same 13 texts with plain QPainter::drawText and no
// shadow. The shadow is one extra text output, so about twice the plain cost is fair.
#include "guienvironment.h"
#include "ratioreporter.h"

#include "display/label3d.h"
#include "display/scoreboard.h"
#include "tvreference.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

namespace {

struct Board
{
    QWidget window;
    Scoreboard tv { &window, ScoreboardWindow::TV };

    Board()
    {
        window.resize(1920, 1080);
        const char *const marks[kScoreboardMarks] = { "8", "9", "7", "10", "8", "6", "9" };
        for (const TVReferenceItem &reference : kTVReference) {
            TLabel3D *label = tv.item(reference.item);
            label->setGeometry(reference.bounds);
            QFont font = label->font();
            font.setPixelSize(reference.charHeight);
            label->setFont(font);
        }
        for (int judge = 1; judge <= kScoreboardMarks; ++judge)
            tv.Lab(judge)->setCaption(QString::fromLatin1(marks[judge - 1]));
        tv.LabNum()->setCaption(QStringLiteral("117"));
        tv.LabName()->setCaption(QStringLiteral("Laura Schmidt / Max Weber\r\nTSC Blau-Gold Rostock"));
        tv.LabGesamt()->setCaption(QStringLiteral("41"));
        tv.LabPlatz()->setCaption(QStringLiteral("3"));
        tv.xLab1()->setGeometry(tv.Lab(6)->geometry());
        tv.xLab2()->setGeometry(tv.Lab(4)->geometry());
    }
};

Board &board()
{
    static Board instance;
    return instance;
}

QImage &target()
{
    static QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    return image;
}

void BM_Label3DRepaint(benchmark::State &state)
{
    Board &b = board();
    QImage &image = target();
    image.fill(QColor(16, 32, 72));
    for (auto _ : state) {
        QPainter painter(&image);
        for (int i = 0; i < kScoreboardItemCount; ++i) {
            const TLabel3D *label = b.tv.item(ScoreboardItem(i));
            painter.save();
            painter.translate(label->pos());
            painter.setClipRect(label->rect());
            label->Paint(painter);
            painter.restore();
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_PlainDrawText(benchmark::State &state)
{
    Board &b = board();
    QImage &image = target();
    image.fill(QColor(16, 32, 72));
    for (auto _ : state) {
        QPainter painter(&image);
        for (int i = 0; i < kScoreboardItemCount; ++i) {
            const TLabel3D *label = b.tv.item(ScoreboardItem(i));
            const int alignment = label->Alignment() == taLeftJustify ? Qt::AlignLeft : Qt::AlignHCenter;
            painter.setFont(label->font());
            painter.setPen(label->FontColor());
            painter.drawText(
                label->geometry(), alignment | Qt::AlignVCenter | Qt::TextWordWrap, label->Caption());
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK(BM_Label3DRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainDrawText)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    GuiBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    // Painting changes nothing in the labels: the two interleave.
    return runWithRatios(argc, argv, { { "BM_Label3DRepaint", "BM_PlainDrawText", 2.5 } }, {}, { 5, true });
}
