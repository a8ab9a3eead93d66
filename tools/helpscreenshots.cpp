// Takes the manual's screenshots from the program's own windows:
//   help_screenshots OUTDIR
// Run it through scripts/help-screenshots.sh, which gives it an X server of its own; the
// windows show a fixed result table, the dialogs are opened by their commands and
// pictured while they wait for the operator.
#include "app/mainwindow.h"
#include "dialogs/cfgdialog.h"
#include "dialogs/finfo.h"
#include "display/tvwindow.h"
#include "exchange/filecommands.h"
#include "exchange/filedialog.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"
#include "platform/programinfo.h"
#include "platform/qttranslations.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

const char *const kRows[][8] = {
    { "12", "Anna Berger / Tom Kranz", "TSC Rot-Gold", "9", "8", "8", "7", "8" },
    { "7", "Lena Hofer / Max Brandt", "Blau-Weiss", "9", "9", "8", "9", "9" },
    { "3", "Eva Stein / Jan Roth", "TC Hansa", "8", "8", "8", "8", "8" },
    { "5", "Mia Lorenz / Paul Vogt", "TSG Nord", "9", "7", "7", "8", "6" },
    { "9", "Zoë Åström / Jürgen Weiß", "Grün-Gold Oberhausen", "8", "", "", "", "" },
};

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

bool save(const QImage &image, const QDir &out, const QString &name)
{
    const bool ok = image.save(out.filePath(name));
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(name), image.width(), image.height());
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QtTranslations::install(app);
    QApplication::setWindowIcon(TFormInfo::programIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: help_screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    bool ok = true;

    // The help button as the operator sees it: lit, with the help file in the working folder.
    QTemporaryDir settings;
    QDir::setCurrent(settings.path());
    QFile(ProgramInfo::title() + QStringLiteral(".chm")).open(QIODevice::WriteOnly | QIODevice::NewOnly);
    FixedMonitorList monitors({ QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080) });
    TForm1 form(TForm1::Environment { settings.filePath(QStringLiteral("Scorelane.ini")), &monitors });
    form.show();
    TSortGrid &grid = *form.SortGrid1;
    grid.setRowCount(int(std::size(kRows)) + 1);
    for (int r = 0; r < int(std::size(kRows)); ++r)
        for (int c = 0; c < 8; ++c)
            grid.setCells(c, r + 1, QString::fromUtf8(kRows[r][c]));
    form.table().AssignPlaces();
    form.UpdateSaveButtons();
    form.PageControl1->setTabText(0, QStringLiteral("Latein.txt"));
    grid.MoveCurrent(1, 2);
    form.SortGrid1DblClick();
    settle();
    ok &= save(form.grab().toImage(), out, QStringLiteral("hauptfenster.png"));

    form.sbTVClick();
    settle();
    ok &= save(form.FormTV()->grab().toImage().scaledToWidth(960, Qt::SmoothTransformation), out,
        QStringLiteral("tv-fenster.png"));
    form.sbTVClick();

    // The file dialogs, as the open and save commands show them, in a folder of examples.
    const QDir examples(settings.filePath(QStringLiteral("Turnier")));
    examples.mkpath(QStringLiteral("."));
    for (const char *name : { "Latein.txt", "Standard.txt", "Kinder.xls", "Protokoll-Latein.txt" })
        QFile(examples.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly | QIODevice::NewOnly);
    QImage fileDialog;
    FileDialog::setDriverForTests([&](QFileDialog &dialog) {
        dialog.setDirectory(examples.path());
        dialog.resize(640, 400);
        settle();
        fileDialog = dialog.grab().toImage();
        dialog.reject();
    });
    form.sbLoadClick();
    ok &= save(fileDialog, out, QStringLiteral("laden.png"));
    form.sbSaveClick();
    ok &= save(fileDialog, out, QStringLiteral("speichern.png"));
    FileDialog::setDriverForTests(nullptr);

    QImage dialog;
    QTimer::singleShot(200, [&] {
        settle();
        dialog = form.CfgDialog()->grab().toImage();
        form.CfgDialog()->reject();
    });
    form.bCFGClick();
    ok &= save(dialog, out, QStringLiteral("einstellungen.png"));

    QTimer::singleShot(200, [&] {
        settle();
        dialog = form.FormInfo()->grab().toImage();
        form.FormInfo()->reject();
    });
    form.bInfoClick();
    ok &= save(dialog, out, QStringLiteral("information.png"));
    return ok ? 0 : 1;
}
