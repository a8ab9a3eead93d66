// Renders the main window and the TV window with a fixed result table to PNG files,
// offscreen, and compares them with an earlier rendering pixel by pixel:
//   render_windows OUTDIR [REFERENCEDIR]
// Exits 1 when a picture differs from its reference.
#include "app/mainwindow.h"
#include "display/tvwindow.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const char *const kRows[][8] = {
    { "12", "Anna Berger / Tom Kranz", "TSC Rot-Gold", "9", "8", "8", "7", "8" },
    { "7", "Lena Hofer / Max Brandt", "Blau-Weiss", "9", "9", "8", "9", "9" },
    { "3", "Eva Stein / Jan Roth", "TC Hansa", "8", "8", "7", "", "" },
    { "1024", "Zoë Åström / Jürgen Weiß", "Tanzsportclub Grün-Gold Oberhausen", "5", "7", "5", "9", "9" },
};

int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            count += p[col] != q[col];
    }
    return count;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render_windows OUTDIR [REFERENCEDIR]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    QTemporaryDir settings;
    FixedMonitorList monitors({ QRect(0, 0, 1920, 1080) });
    TForm1 form(TForm1::Environment { settings.filePath(QStringLiteral("Scorelane.ini")), &monitors });
    form.show();
    TSortGrid &grid = *form.SortGrid1;
    grid.setRowCount(int(std::size(kRows)) + 1);
    for (int r = 0; r < int(std::size(kRows)); ++r)
        for (int c = 0; c < 8; ++c)
            grid.setCells(c, r + 1, QString::fromUtf8(kRows[r][c]));
    form.table().AssignPlaces();
    form.UpdateSaveButtons();
    grid.MoveCurrent(1, 2);
    form.SortGrid1DblClick();
    form.sbTVClick();
    QApplication::processEvents();

    const QList<QPair<QString, QImage>> pictures = {
        { QStringLiteral("mainwindow.png"), form.grab().toImage() },
        { QStringLiteral("tvwindow.png"), form.FormTV()->grab().toImage() },
    };
    int result = 0;
    for (const auto &[name, image] : pictures) {
        image.save(out.filePath(name));
        if (argc < 3)
            continue;
        const QImage reference(QDir(QString::fromLocal8Bit(argv[2])).filePath(name));
        const int differing = differingPixels(image, reference);
        std::printf("%s: %d pixels differ\n", qPrintable(name), differing);
        if (differing != 0)
            result = 1;
    }
    return result;
}
