// Renders the pictures of docs/walkthrough.md, offscreen, by working the main window with
// keys as an operator does: open the sample start list, type one couple's marks, show the
// TV window with a sample logo taken from the per-user data folder.
//   walkthrough_shots EXAMPLESDIR OUTDIR
#include "app/mainwindow.h"
#include "display/tvwindow.h"
#include "exchange/filedialog.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"
#include "platform/programinfo.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: walkthrough_shots EXAMPLESDIR OUTDIR\n");
        return 2;
    }
    const QDir examples(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());

    // A logo where a user puts one: the per-user data folder.
    const QString userData = ProgramInfo::dataFolders().at(1);
    QDir().mkpath(userData);
    QFile::copy(examples.filePath(QStringLiteral("TV-Logo.jpg")), userData + QStringLiteral("TV-Logo.jpg"));

    FixedMonitorList monitors({ QRect(0, 0, 1920, 1080) });
    TForm1 form(TForm1::Environment { scratch.filePath(QStringLiteral("Scorelane.ini")), &monitors });
    form.show();
    QApplication::setActiveWindow(&form);
    TSortGrid &grid = *form.SortGrid1;
    grid.setFocus();
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, modifiers);
    };

    // Ctrl+O, the start list's name typed into the dialog.
    const QString startList = examples.absoluteFilePath(QStringLiteral("Starterliste.txt"));
    FileDialog::setDriverForTests([startList](QFileDialog &dialog) {
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        dialog.setDirectory(QFileInfo(startList).absolutePath());
        QTest::keyClicks(edit, QFileInfo(startList).fileName());
        QTest::keyClick(edit, Qt::Key_Return);
    });
    key(Qt::Key_O, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    QApplication::setActiveWindow(&form);
    grid.setFocus();
    QApplication::processEvents();
    form.grab().save(out.filePath(QStringLiteral("walkthrough-open.png")));

    // The first couple's five marks, each followed by Enter.
    grid.MoveCurrent(3, 1);
    for (const char *mark : { "8", "7", "9", "8", "8" }) {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(mark));
        key(Qt::Key_Return);
    }
    QApplication::processEvents();
    form.grab().save(out.filePath(QStringLiteral("walkthrough-marks.png")));

    // Ctrl+T: the audience's window, here a picture of its 1920 x 1080 monitor.
    key(Qt::Key_T, Qt::ControlModifier);
    QApplication::processEvents();
    form.FormTV()
        ->grab()
        .toImage()
        .scaled(960, 540, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(out.filePath(QStringLiteral("walkthrough-tv.png")));
    std::printf(
        "rows: %d, TV window %s\n", grid.RowCount() - 1, form.FormTV()->isVisible() ? "shown" : "hidden");
    return 0;
}
