// A session that the recovery test kills: the real main window loads the start list given
// as its argument with Ctrl+O, gets four judges through F2, and takes marks and a name
// typed into its grid. It then prints every cell, the judge count, the tab caption and
// "ready <recovery folder>", and waits to be killed. Data and settings go where the
// XDG folders of its environment say.
#include "app/mainwindow.h"
#include "dialogs/cfgdialog.h"
#include "exchange/recoverywriter.h"
#include "grid/sortgrid.h"
#include "support/filedialogdriver.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

void print(const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
}

void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
}

// A click on the competitor's cell, then the text, each character a key.
void typeInto(TSortGrid &grid, const QString &number, int col, const QString &text)
{
    for (int row = 1; row < grid.RowCount(); ++row) {
        if (grid.Cells(0, row) == number) {
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(col, row).center());
            break;
        }
    }
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 3;
    form.offerRecovery();
    QApplication::setActiveWindow(&form);
    form.SortGrid1->setFocus();

    FileDialog::setDriverForTests(typePath(QString::fromLocal8Bit(argv[1])));
    key(Qt::Key_O, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    QApplication::setActiveWindow(&form);

    TCfgDialog *settings = form.CfgDialog();
    QTimer::singleShot(0, settings, [settings] {
        settings->setJudgeCount(4);
        settings->accept();
    });
    key(Qt::Key_F2);
    QApplication::setActiveWindow(&form);

    TSortGrid &grid = *form.SortGrid1;
    typeInto(grid, QStringLiteral("12"), 3, QStringLiteral("9"));
    for (const char *mark : { "8", "8", "7" }) {
        key(Qt::Key_Return);
        for (const char *c = mark; *c; ++c)
            key(*c);
    }
    key(Qt::Key_Return); // completes the row: placed
    typeInto(grid, QStringLiteral("13"), 3, QStringLiteral("6"));
    key(Qt::Key_Return);
    // Pauses as an operator makes them, so that these cells are changes of their own
    // rather than parts of a burst that a later placing writes anyway.
    const auto pause = [] { QTest::qWait(2 * RecoveryWriter::kDefaultInterval); };
    pause();
    key(Qt::Key_5); // no Enter: only in the cell
    pause();
    typeInto(grid, QStringLiteral("11"), 2, QStringLiteral("Nord"));

    // The last change reaches the disk at most one interval after it was made.
    QTest::qWait(3 * RecoveryWriter::kDefaultInterval);

    for (int row = 0; row < grid.RowCount(); ++row)
        print(QStringLiteral("row ") + grid.Rows(row).join(u'\t'));
    print(QStringLiteral("judges %1").arg(form.JudgeCount()));
    print(QStringLiteral("tab ") + form.PageControl1->tabText(0));
    print(QStringLiteral("ready ") + RecoveryWriter::defaultFolder());
    std::fflush(stdout);
    return app.exec();
}
