#include "app/mainwindow.h"
#include "app/recovery.h"
#include "dialogs/cfgdialog.h"
#include "dialogs/dlgyesno.h"
#include "exchange/filedialog.h"
#include "exchange/recoveryfile.h"
#include "exchange/textresultfile.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"
#include "support/filedialogdriver.h"
#include "support/resulttablefixture.h"
#include "support/yesnodriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

class SessionRecoveryTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };

    std::unique_ptr<TForm1> start(const QString &recoveryFolder)
    {
        auto form = std::make_unique<TForm1>(
            TForm1::Environment { dir.filePath(QStringLiteral("Scorelane.ini")), &monitors, recoveryFolder });
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::setActiveWindow(form.get());
        form->SortGrid1->setFocus();
        return form;
    }

    // Starts the program as main() does and answers its question, if it asks one, with
    // the given button. Gives the question, or nothing.
    std::optional<QString> startAndAnswer(
        std::unique_ptr<TForm1> &form, const QString &folder, void (*answer)(TFDlgYesNo &))
    {
        form = start(folder);
        std::optional<QString> asked;
        YesNoDriver::answerWhenShown(*form->FDlgYesNo(), [&asked, answer](TFDlgYesNo &dialog) {
            asked = dialog.Label1->text();
            answer(dialog);
        });
        form->offerRecovery();
        return asked;
    }

    QStringList filesIn(const QString &folder, const QString &pattern) const
    {
        return QDir(folder).entryList({ pattern }, QDir::Files, QDir::Name);
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(SessionRecoveryTest, AKilledSessionComesBackWithJaAndANormalEndRemovesTheFile)
{
    const QString startList = dir.filePath(QStringLiteral("Latein.txt"));
    QFile list(startList);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("Nr.\tName\tVerein\r\n11\tAnna Berger\tTSC\r\n12\tBert Kranz\tBlau-Weiss\r\n"
               "13\tCora Stein\tTC Hansa\t\t\t\t\t\t\t\t\t7\r\n");
    list.close();

    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    helper.setProcessEnvironment(environment);
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QStringLiteral(SCORELANE_RECOVERY_HELPER), { startList });
    QList<QStringList> rows;
    int judges = 0;
    QString tab;
    QString folder;
    while (folder.isEmpty() && helper.waitForReadyRead(30000)) {
        while (helper.canReadLine()) {
            const QString line = QString::fromUtf8(helper.readLine()).chopped(1);
            if (line.startsWith(QStringLiteral("row ")))
                rows.append(line.mid(4).split(u'\t'));
            else if (line.startsWith(QStringLiteral("judges ")))
                judges = line.mid(7).toInt();
            else if (line.startsWith(QStringLiteral("tab ")))
                tab = line.mid(4);
            else if (line.startsWith(QStringLiteral("ready ")))
                folder = line.mid(6);
        }
    }
    ASSERT_FALSE(folder.isEmpty()) << "the helper never got ready";
    EXPECT_TRUE(folder.startsWith(dir.filePath(QStringLiteral("data")) + u'/')) << folder.toStdString();
    // What the helper typed is in its table: 9 8 8 7 placed competitor 12 first, the
    // typed 5 and the club name are in their cells without Enter.
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1].mid(0, 7), QStringList({ "12", "Bert Kranz", "Blau-Weiss", "9", "8", "8", "7" }));
    EXPECT_EQ(rows[1][10], QStringLiteral("16"));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
        [](const QStringList &row) { return row[0] == u"13" && row[3] == u"6" && row[4] == u"5"; }));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
        [](const QStringList &row) { return row[0] == u"11" && row[2].endsWith(u"Nord"); }));
    EXPECT_EQ(judges, 4);
    EXPECT_EQ(tab, QStringLiteral("Latein"));

    // A second program while the first runs: no question, and it leaves the file alone.
    const QString file = folder + QStringLiteral("/recovery.dat");
    const QByteArray written = contents(file);
    ASSERT_FALSE(written.isEmpty());
    std::unique_ptr<TForm1> form;
    EXPECT_EQ(startAndAnswer(form, folder, YesNoDriver::clickJa), std::nullopt);
    QTest::mouseClick(
        form->SortGrid1->viewport(), Qt::LeftButton, {}, form->SortGrid1->cellRect(3, 1).center());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(form->SortGrid1->Cells(3, 1), QStringLiteral("4"));
    form.reset();
    EXPECT_EQ(contents(file), written);

    helper.kill(); // SIGKILL: no destructor, no closing question
    ASSERT_TRUE(helper.waitForFinished(10000));
    EXPECT_EQ(helper.exitStatus(), QProcess::CrashExit);

    EXPECT_EQ(startAndAnswer(form, folder, YesNoDriver::clickJa), SessionRecovery::question());
    TSortGrid &grid = *form->SortGrid1;
    ASSERT_EQ(grid.RowCount(), rows.size());
    for (int row = 0; row < grid.RowCount(); ++row)
        EXPECT_EQ(grid.Rows(row).join(u'|').toStdString(), rows[row].join(u'|').toStdString());
    EXPECT_EQ(form->JudgeCount(), 4);
    EXPECT_EQ(grid.ColWidths(ResultTable::markColumn(5)), -1);
    EXPECT_EQ(form->PageControl1->tabText(0), tab);
    EXPECT_TRUE(form->sbSave->isEnabled());

    // The restored marks were never saved: "Ja" ends the program and keeps them for the next start.
    QString asked;
    YesNoDriver::answerWhenShown(*form->FDlgYesNo(), [&asked](TFDlgYesNo &dialog) {
        asked = dialog.Label1->text();
        YesNoDriver::clickJa(dialog);
    });
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(asked, QStringLiteral("Ergebnisse nicht gespeichert. Trotzdem beenden?"));
    EXPECT_TRUE(QFile::exists(file));
}

TEST_F(SessionRecoveryTest, NeinSetsTheFileAsideAndACorruptFileStartsEmptyWithoutAQuestion)
{
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    const QString file = folder + QStringLiteral("/recovery.dat");
    std::unique_ptr<TForm1> form = start(folder);
    // Only a modal dialog writes a change that comes in a burst after the first one.
    form->recovery().setInterval(60 * 60 * 1000);
    fillResultRows(*form->SortGrid1, { { "5", "Anna", "TSC", "9", "9", "8", "9" }, { "6", "Bert" } });
    form->table().AssignPlaces();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(file); }, 5000)); // the first at once
    QTest::mouseClick(
        form->SortGrid1->viewport(), Qt::LeftButton, {}, form->SortGrid1->cellRect(7, 1).center());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_9);
    QApplication::processEvents();
    std::optional<RecoverySnapshot> atDialog;
    TCfgDialog *settings = form->CfgDialog();
    QTimer::singleShot(0, settings, [&atDialog, &file, settings] {
        atDialog = RecoveryFile::read(file).snapshot;
        settings->reject();
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    ASSERT_TRUE(atDialog.has_value());
    EXPECT_EQ(atDialog->cell(7, 1).toStdString(), "9");
    form.reset(); // ends without the closing question, as a crash would

    EXPECT_EQ(startAndAnswer(form, folder, YesNoDriver::clickNein), SessionRecovery::question());
    EXPECT_EQ(form->SortGrid1->RowCount(), 2);
    EXPECT_TRUE(form->SortGrid1->Cells(0, 1).isEmpty());
    EXPECT_FALSE(QFile::exists(file));
    ASSERT_EQ(filesIn(folder, QStringLiteral("recovery-*.dat")).size(), 1);
    const QStringList texts = filesIn(folder, QStringLiteral("recovered-*.txt"));
    ASSERT_EQ(texts.size(), 1);
    ResultTableFixture<> reread;
    LoadTextFile(reread.grid, folder + u'/' + texts[0]);
    EXPECT_EQ(reread.grid.Rows(1).mid(0, 8), QStringList({ "5", "Anna", "TSC", "9", "9", "8", "9", "9" }));
    form.reset();

    QFile junk(file);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("SCORELANE-RECOVERY 1 000000400 0badf00d\njudges 5\ntab \tfile");
    junk.close();
    EXPECT_EQ(startAndAnswer(form, folder, YesNoDriver::clickJa), std::nullopt);
    EXPECT_EQ(form->SortGrid1->RowCount(), 2);
    EXPECT_TRUE(form->SortGrid1->Cells(0, 1).isEmpty());
    const QStringList aside = filesIn(folder, QStringLiteral("recovery-*.dat"));
    ASSERT_EQ(aside.size(), 2);
    EXPECT_TRUE(contents(folder + u'/' + aside[0]).startsWith("SCORELANE-RECOVERY 1 000000400")
        || contents(folder + u'/' + aside[1]).startsWith("SCORELANE-RECOVERY 1 000000400"));
    // The session goes on recording.
    fillResultRows(*form->SortGrid1, { { "7", "Cora" }, { "8", "Dora" } });
    form->table().AssignPlaces();
    form.reset();
    EXPECT_TRUE(RecoveryFile::read(file).snapshot.has_value());
}

// What "Beenden?" does with the recovery file: a table with changes not saved since the
// last open or save keeps it for the next start, a saved one removes it.
TEST_F(SessionRecoveryTest, ClosingKeepsTheFileOnlyWhileMarksAreNotSaved)
{
    const QString startList = dir.filePath(QStringLiteral("Latein.txt"));
    QFile list(startList);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("Nr.\tName\tVerein\r\n11\tAnna Berger\tTSC\r\n12\tBert Kranz\tBlau-Weiss\r\n");
    list.close();
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    const QString file = folder + QStringLiteral("/recovery.dat");
    const QString unsaved = QStringLiteral("Ergebnisse nicht gespeichert. Trotzdem beenden?");

    std::unique_ptr<TForm1> form;
    const auto key = [](int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };
    const auto typeMark = [&form, key] {
        TSortGrid *grid = form->SortGrid1;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(3, 1).center());
        key(Qt::Key_7);
    };
    const auto open = [&form, &startList, key] {
        FileDialog::setDriverForTests(typePath(startList));
        key(Qt::Key_O, Qt::ControlModifier);
        FileDialog::setDriverForTests(nullptr);
        QApplication::setActiveWindow(form.get());
        form->SortGrid1->setFocus();
    };
    int saves = 0;
    const auto save = [&form, &saves, this, key] {
        const QString name = QStringLiteral("Protokoll%1.txt").arg(++saves);
        FileDialog::setDriverForTests(typePath(dir.filePath(name)));
        QApplication::setActiveWindow(form.get());
        key(Qt::Key_S, Qt::ControlModifier);
        FileDialog::setDriverForTests(nullptr);
        EXPECT_TRUE(QFile::exists(dir.filePath(name)));
        QApplication::setActiveWindow(form.get());
        form->SortGrid1->setFocus();
    };
    struct Case
    {
        const char *name;
        std::function<void()> work;
        QString asked;
    };
    const Case cases[] = {
        { "nothing done", [] {}, QStringLiteral("Beenden?") },
        { "a mark typed", typeMark, unsaved },
        { "a list opened", open, QStringLiteral("Beenden?") },
        { "a mark typed after the open",
            [&] {
                open();
                typeMark();
            },
            unsaved },
        { "a mark typed and saved",
            [&] {
                open();
                typeMark();
                save();
            },
            QStringLiteral("Beenden?") },
        { "a mark typed after the save",
            [&] {
                open();
                save();
                typeMark();
            },
            unsaved },
    };
    for (const Case &c : cases) {
        QDir(folder).removeRecursively();
        form = start(folder);
        c.work();
        // Asked once and answered "Nein" by Enter: the program runs on.
        QString asked;
        YesNoDriver::answerWhenShown(*form->FDlgYesNo(), [&asked](TFDlgYesNo &dialog) {
            asked = dialog.Label1->text();
            YesNoDriver::key(Qt::Key_Escape)(dialog);
        });
        form->close();
        EXPECT_TRUE(form->isVisible()) << c.name;
        EXPECT_EQ(asked, c.asked) << c.name;
        YesNoDriver::answerWhenShown(*form->FDlgYesNo(), YesNoDriver::clickJa);
        form->close();
        EXPECT_FALSE(form->isVisible()) << c.name;
        form.reset();
        const bool kept = c.asked == unsaved;
        EXPECT_EQ(QFile::exists(file), kept) << c.name;
        if (kept) {
            const std::optional<RecoverySnapshot> snapshot = RecoveryFile::read(file).snapshot;
            ASSERT_TRUE(snapshot.has_value()) << c.name;
            bool markKept = false;
            for (int row = 1; row < snapshot->rowCount; ++row)
                markKept = markKept || snapshot->cell(3, row) == u"7";
            EXPECT_TRUE(markKept) << c.name;
            EXPECT_EQ(startAndAnswer(form, folder, YesNoDriver::clickNein), SessionRecovery::question())
                << c.name;
            form.reset();
        }
    }
}

// The menu starts the program through its "scorelane" link, a terminal as "Scorelane": both
// keep their recovery file in one folder, so either finds what the other left.
TEST_F(SessionRecoveryTest, TheProgramFindsItsRecoveryFileUnderEitherName)
{
    const QString program = QStringLiteral(SCORELANE_PROGRAM);
    const QString link = dir.filePath(QStringLiteral("scorelane"));
    ASSERT_TRUE(QFile::link(program, link));
    const QString data = dir.filePath(QStringLiteral("data"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SCORELANE_VIDEO_TEST_DEVICES"), QString());
    const auto lockFolders = [&data] {
        QStringList folders;
        for (const QString &name : QDir(data).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString folder = data + u'/' + name + QStringLiteral("/recovery");
            if (QFile::exists(folder + QStringLiteral("/recovery.lock")))
                folders.append(folder);
        }
        return folders;
    };

    // The first start makes the folder (and holds its lock while it runs).
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockFolders().size() == 1; }, 20000));
    const QString folder = lockFolders().first();
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));

    // A file that cannot be restored is set aside, without a question, by the start that finds it.
    for (const QString &name : { link, program }) {
        QFile junk(folder + QStringLiteral("/recovery.dat"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not a recovery file");
        junk.close();
        const qsizetype setAside = filesIn(folder, QStringLiteral("recovery-*.dat")).size();
        QProcess started;
        started.setProcessEnvironment(environment);
        started.start(name, {});
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return filesIn(folder, QStringLiteral("recovery-*.dat")).size() == setAside + 1; }, 20000))
            << name.toStdString();
        EXPECT_EQ(lockFolders(), QStringList { folder }) << name.toStdString();
        started.kill();
        started.waitForFinished(10000);
    }
}

} // namespace
