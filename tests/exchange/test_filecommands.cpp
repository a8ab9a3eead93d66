#include "exchange/filecommands.h"
#include "grid/sortgrid.h"
#include "grid/sortgridcore.h"
#include "platform/messagebox.h"
#include "platform/qttranslations.h"
#include "scoring/resulttable.h"
#include "support/nopermissionoverride.h"
#include "support/resulttablefixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <sys/stat.h>

namespace {

using Reader = FileCommands::Reader;

TEST(FileCommands, ReaderByEntryAndExtension)
{
    const struct
    {
        int entry;
        const char *name;
        Reader reader;
    } cases[] = {
        { 1, "/a/list.txt", Reader::Text },
        { 1, "/a/list.TxT", Reader::Text },
        { 1, "/a/list.xls", Reader::Workbook },
        { 1, "/a/list.XLSX", Reader::Workbook },
        { 1, "/a/list.doc", Reader::None },
        { 1, "/a.txt/list", Reader::None },
        { 2, "/a/list.xls", Reader::Text },
        { 3, "/a/list.txt", Reader::Text },
        { 3, "/a/list", Reader::Workbook },
    };
    for (const auto &c : cases)
        EXPECT_EQ(FileCommands::chooseReader(c.entry, QString::fromUtf8(c.name)), c.reader)
            << c.entry << c.name;
    // Saving: a typed ".txt", ".xls" or ".xlsx" decides, in any case; else the entry.
    using Writer = FileCommands::Writer;
    const struct
    {
        int entry;
        const char *name;
        Writer writer;
    } saves[] = {
        { 2, "/a/ergebnis.txt", Writer::Text },
        { 3, "/a/ergebnis.TXT", Writer::Text },
        { 1, "/a/ergebnis.Xls", Writer::Xls },
        { 1, "/a/ergebnis.xlsx", Writer::Xlsx },
        { 2, "/a/Turnier 12.03.2024", Writer::Xls },
        { 3, "/a/Turnier 12.03.2024", Writer::Xlsx },
        { 1, "/a/Turnier 12.03.2024", Writer::Text },
    };
    for (const auto &c : saves)
        EXPECT_EQ(FileCommands::chooseWriter(c.entry, QString::fromUtf8(c.name)), c.writer)
            << c.entry << c.name;
    FileDialog dialog(FileDialog::Kind::Save);
    dialog.Filter
        = QStringLiteral("Text file (*.txt)|*.txt|MS Excel (*.xls)|*.xls|Excel workbook (*.xlsx)|*.xlsx");
    const struct
    {
        int entry;
        const char *typed, *completed;
    } names[] = {
        { 1, "/a/Turnier 12.03.2024", "/a/Turnier 12.03.2024.txt" },
        { 2, "/a/Turnier 12.03.2024", "/a/Turnier 12.03.2024.xls" },
        { 2, "/a/ergebnis.txt", "/a/ergebnis.txt" },
        { 1, "/a/ergebnis.XLSX", "/a/ergebnis.XLSX" },
        { 3, "/a/ergebnis.", "/a/ergebnis.xlsx" },
    };
    for (const auto &c : names)
        EXPECT_EQ(dialog.completedName(QString::fromUtf8(c.typed), c.entry), QString::fromUtf8(c.completed));

    EXPECT_EQ(FileCommands::withoutExtension(QStringLiteral("/a/b.c/Start.list.txt")),
        QStringLiteral("/a/b.c/Start.list"));
    EXPECT_EQ(FileCommands::withoutExtension(QStringLiteral("/a/b.c/Start")), QStringLiteral("/a/b.c/Start"));
}

// What a dialog showed when it came up.
struct Seen
{
    QString folder;
    QString filter;
    QString name;
    QStringList patterns; // what the file list shows
    bool stillOpen = false;
};

// Drives the real dialog like an operator: picks a filter entry (1-based, 0 keeps it),
// types the name and presses Enter. Cancels when name is empty or the dialog stays.
FileDialog::Driver operatorTypes(const QString &name, Seen &seen, int entry = 0)
{
    return [name, &seen, entry](QFileDialog &dialog) {
        seen.folder = dialog.directory().absolutePath();
        seen.filter = dialog.selectedNameFilter();
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        auto *filters = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        ASSERT_TRUE(edit && filters);
        seen.name = edit->text();
        if (const auto *files = dialog.findChild<QFileSystemModel *>())
            seen.patterns = files->nameFilters();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        edit->setFocus();
        while (entry > 0 && filters->currentIndex() < entry - 1)
            QTest::keyClick(filters, Qt::Key_Down);
        while (entry > 0 && filters->currentIndex() > entry - 1)
            QTest::keyClick(filters, Qt::Key_Up);
        if (!name.isEmpty()) {
            edit->clear();
            QTest::keyClicks(edit, name);
            QTest::keyClick(edit, Qt::Key_Return);
        }
        seen.stillOpen = dialog.isVisible();
        if (dialog.isVisible())
            dialog.reject();
    };
}

class FileCommandsTest : public ::testing::Test, protected ResultTableFixture<>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(program));
        commands.UpdateSaveButtons = [this] {
            ++saveButtonUpdates;
            const QCursor *cursor = QGuiApplication::overrideCursor();
            busyWhileWorking = cursor && cursor->shape() == Qt::WaitCursor;
        };
        commands.setTabCaption = [this](const QString &caption) { captions.append(caption); };
        MessageBox::setAutoAnswer(QMessageBox::Ok);
    }
    void TearDown() override
    {
        FileDialog::setDriverForTests(nullptr);
        MessageBox::setAutoAnswer(std::nullopt);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }

    void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void open(const QString &name, Seen &seen, int entry = 0)
    {
        FileDialog::setDriverForTests(operatorTypes(name, seen, entry));
        commands.sbLoadClick();
    }
    void save(const QString &name, Seen &seen, int entry = 0)
    {
        FileDialog::setDriverForTests(operatorTypes(name, seen, entry));
        commands.sbSaveClick();
    }
    QList<QStringList> rows() const { return allRows(); }
    // Two complete rows in the wrong order: a placing would swap them.
    void fillUnplaced()
    {
        grid.setRowCount(3);
        grid.setRows(1, { "1", "Low", "", "5", "5", "5", "5", "5" });
        grid.setRows(2, { "2", "High", "", "9", "9", "9", "9", "9" });
    }

    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("program"));
    FileCommands commands { grid, table, program };
    int saveButtonUpdates = 0;
    bool busyWhileWorking = false;
    QStringList captions;
};

const QByteArray kStartList = "Nr.;Name;Verein\r\n"
                              "1;Low;TC A;5;5;5;5;5\r\n"
                              "2;High;TC B;9;9;9;9;9\r\n";

TEST_F(FileCommandsTest, OpenReadsPlacesAndProposesTheSaveName)
{
    write(program + QStringLiteral("/start.txt"), kStartList);
    Seen seen;
    open(QStringLiteral("start"), seen); // the default extension completes the name

    EXPECT_EQ(seen.folder, program);
    EXPECT_EQ(seen.filter, QStringLiteral("All files (*.txt;*.xls;*.xlsx)"));
    EXPECT_EQ(seen.patterns, QStringList({ "*.txt", "*.xls", "*.xlsx" }));
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(
        grid.Rows(1), QStringList({ "2", "High", "TC B", "9", "9", "9", "9", "9", "", "", "27", "1", "45" }));
    EXPECT_EQ(
        grid.Rows(2), QStringList({ "1", "Low", "TC A", "5", "5", "5", "5", "5", "", "", "15", "2", "25" }));
    EXPECT_EQ(captions, QStringList { QStringLiteral("start") });
    EXPECT_EQ(saveButtonUpdates, 1);
    EXPECT_TRUE(busyWhileWorking);
    EXPECT_EQ(commands.SaveDialog1.FileName, program + QStringLiteral("/start"));
}

TEST_F(FileCommandsTest, DialogsRememberTheirEntriesAndFolders)
{
    write(program + QStringLiteral("/start.txt"), kStartList);
    Seen seen;
    open(QStringLiteral("start.txt"), seen, 2);
    open(QString(), seen);
    EXPECT_EQ(seen.filter, QStringLiteral("Text file (*.txt)"));
    EXPECT_EQ(seen.folder, program);

    // The save dialog proposes the opened name in its folder, with "MS Excel" first;
    // choosing "Text file" gives a name typed without extension ".txt".
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    save(out + QStringLiteral("/protokoll"), seen, 1);
    EXPECT_EQ(seen.folder, program);
    EXPECT_EQ(seen.name, QStringLiteral("start"));
    EXPECT_EQ(seen.filter, QStringLiteral("MS Excel (*.xls)"));
    QFile saved(out + QStringLiteral("/protokoll.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("Nr.\tName\tVerein\tJ.1\t"));

    save(QString(), seen);
    EXPECT_EQ(seen.filter, QStringLiteral("Text file (*.txt)"));
    // After a save the open dialog no longer starts in the program's folder but where
    // the dialogs were used last.
    EXPECT_TRUE(commands.OpenDialog1.InitialDir.isEmpty());
    open(QString(), seen);
    EXPECT_EQ(seen.folder, out);
}

TEST_F(FileCommandsTest, ReplacingAFileIsAskedFirst)
{
    const QString existing = dir.filePath(QStringLiteral("p.txt"));
    write(existing, "earlier");
    commands.SaveDialog1.FilterIndex = 1;
    Seen seen;

    MessageBox::setNextAnswer(QMessageBox::No);
    save(existing, seen);
    EXPECT_TRUE(seen.stillOpen);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("p.txt already exists.\nDo you want to replace it?"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "earlier");
    file.close();

    MessageBox::setNextAnswer(QMessageBox::Yes);
    save(existing, seen);
    EXPECT_FALSE(seen.stillOpen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("Nr.\t"));
}

TEST_F(FileCommandsTest, UnreadableFileChangesNothing)
{
    NoPermissionOverride noOverride;
    if (!noOverride.active())
        GTEST_SKIP() << "cannot give up the permission override";
    const QString locked = program + QStringLiteral("/locked.txt");
    write(locked, kStartList);
    ::chmod(QFile::encodeName(locked).constData(), 0);
    fillUnplaced();
    commands.SaveDialog1.FileName = QStringLiteral("/earlier/name");
    const QList<QStringList> before = rows();
    const int boxes = MessageBox::shownCount();

    Seen seen;
    open(QStringLiteral("locked.txt"), seen);

    EXPECT_EQ(MessageBox::shownCount(), boxes + 1);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("File access denied."));
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(captions.isEmpty());
    EXPECT_EQ(saveButtonUpdates, 0);
    EXPECT_EQ(commands.SaveDialog1.FileName, QStringLiteral("/earlier/name"));
}

TEST_F(FileCommandsTest, OpeningWorkbooks)
{
    const QString data = QStringLiteral(SCORELANE_TEST_DATA "/workbook/");
    for (const char *name : { "startlist.xlsx", "startlist-lo.xls", "formulaerror-lo.xls" })
        ASSERT_TRUE(QFile::copy(data + QLatin1StringView(name), program + u'/' + QLatin1StringView(name)));
    fillUnplaced();
    commands.SaveDialog1.FileName = QStringLiteral("/earlier/name");
    const QList<QStringList> before = rows();
    Seen seen;

    // A text file under a workbook name: the box, and the command ends before the
    // placing and the proposed name.
    const QString notWorkbook = program + QStringLiteral("/list.xls");
    write(notWorkbook, kStartList);
    open(QStringLiteral("list.xls"), seen);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("Datei ist keine Arbeitsmappe."));
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(captions.isEmpty());
    EXPECT_EQ(saveButtonUpdates, 0);
    EXPECT_EQ(commands.SaveDialog1.FileName, QStringLiteral("/earlier/name"));

    // An error value in the data fails the same way, without touching the table.
    open(QStringLiteral("formulaerror-lo.xls"), seen, 3);
    EXPECT_EQ(MessageBox::lastText(),
        QStringLiteral("Could not convert variant of type (Error) into type (String)"));
    EXPECT_EQ(rows(), before);

    // Found by fuzzing: FreeXL underflows a stack buffer on this file, which our check
    // passes. It is read in the reader process, so the box comes instead of a crash.
    ASSERT_TRUE(QFile::copy(QStringLiteral(SCORELANE_TEST_DATA "/fuzz/findings/freexl-iconv-underflow.xls"),
        program + QStringLiteral("/underflow.xls")));
    open(QStringLiteral("underflow.xls"), seen, 3);
    EXPECT_TRUE(MessageBox::lastText().startsWith(QStringLiteral("Arbeitsmappe ist beschädigt: ")))
        << MessageBox::lastText().toStdString();
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(captions.isEmpty());

    // A workbook under a ".txt" name is no text: the box, never a row of its bytes.
    ASSERT_TRUE(
        QFile::copy(program + QStringLiteral("/startlist.xlsx"), program + QStringLiteral("/ergebnis.txt")));
    open(QStringLiteral("ergebnis.txt"), seen, 3);
    EXPECT_TRUE(MessageBox::lastText().startsWith(
        QStringLiteral("„ergebnis.txt“ ist keine Textdatei, sondern eine Excel-Arbeitsmappe.")))
        << MessageBox::lastText().toStdString();
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(captions.isEmpty());

    // "Text file" reads a .xls name as text.
    open(QStringLiteral("list.xls"), seen, 2);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("High"));

    // Under "MS Excel" the dialog lists both kinds; the workbook replaces the table,
    // names the tab and is placed.
    open(QStringLiteral("startlist.xlsx"), seen, 3);
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Rows(0).mid(0, 4), QStringList({ "Nr.", "Name", "Verein", "J.1" }));
    EXPECT_EQ(grid.Rows(1).mid(0, 3), QStringList({ "1", "Anna Alt", "TC Blau" }));
    // The couple below an empty "Nr." is not read, and the open says so afterwards.
    EXPECT_TRUE(MessageBox::lastText().startsWith(
        QStringLiteral("Es wurden 3 Teilnehmer gelesen. Das Lesen endete in Zeile 5")))
        << MessageBox::lastText().toStdString();
    EXPECT_EQ(MessageBox::lastIcon(), QMessageBox::Information);
    EXPECT_EQ(captions.last(), QStringLiteral("startlist"));
    EXPECT_EQ(commands.SaveDialog1.FileName, program + QStringLiteral("/startlist"));
    const int updates = saveButtonUpdates;
    open(QStringLiteral("startlist-lo.xls"), seen, 1);
    EXPECT_EQ(seen.filter, QStringLiteral("MS Excel (*.xls;*.xlsx)"));
    EXPECT_EQ(grid.Rows(3).mid(0, 3), QStringList({ "3", "Carla Cord", "TC Gelb" }));
    EXPECT_EQ(captions.last(), QStringLiteral("startlist-lo"));
    EXPECT_EQ(saveButtonUpdates, updates + 1);
}

// A workbook without data rows leaves the header row alone in the real grid, which
// says "Rowsize too small"; the next open works as usual.
TEST(FileCommandsGrid, HeaderOnlyWorkbookThenAnother)
{
    TSortGrid grid;
    ResultTable table { grid };
    table.setUpGrid();
    table.writeHeader();
    FileCommands commands { grid, table, QStringLiteral(SCORELANE_TEST_DATA "/workbook") };
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    Seen seen;
    FileDialog::setDriverForTests(operatorTypes(QStringLiteral("a2empty-lo.xls"), seen, 3));
    commands.sbLoadClick();
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("Rowsize too small"));
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Rows(0).mid(0, 4), QStringList({ "Nr.", "Name", "Verein", "J.1" }));

    FileDialog::setDriverForTests(operatorTypes(QStringLiteral("startlist.xlsx"), seen, 3));
    commands.sbLoadClick();
    FileDialog::setDriverForTests(nullptr);
    MessageBox::setAutoAnswer(std::nullopt);
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Row(), 1);
}

TEST_F(FileCommandsTest, SaveEntriesChooseTheWorkbookFormat)
{
    fillUnplaced();
    const int boxes = MessageBox::shownCount();
    const auto startOf = [this](const char *name) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
    };
    Seen seen;
    // "MS Excel" is preselected and writes a workbook; a typed ".txt" writes text under
    // every entry, and a name with other dots gets the entry's extension.
    save(dir.filePath(QStringLiteral("result")), seen);
    EXPECT_EQ(seen.filter, QStringLiteral("MS Excel (*.xls)"));
    EXPECT_EQ(startOf("result.xls"), QByteArray("\xD0\xCF\x11\xE0"));
    save(dir.filePath(QStringLiteral("named.txt")), seen);
    EXPECT_EQ(startOf("named.txt"), QByteArray("Nr.\t"));
    save(dir.filePath(QStringLiteral("Turnier 12.03.2024")), seen);
    EXPECT_EQ(startOf("Turnier 12.03.2024.xls"), QByteArray("\xD0\xCF\x11\xE0"));
    save(dir.filePath(QStringLiteral("Turnier 13.03.2024")), seen, 1);
    EXPECT_EQ(startOf("Turnier 13.03.2024.txt"), QByteArray("Nr.\t"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("Turnier 13.03.2024"))));
    save(dir.filePath(QStringLiteral("typed.XLSX")), seen, 1);
    EXPECT_EQ(startOf("typed.XLSX"), QByteArray("PK\x03\x04"));
    // The third entry writes Office Open XML and completes the name with its extension.
    save(dir.filePath(QStringLiteral("result")), seen, 3);
    EXPECT_EQ(startOf("result.xlsx"), QByteArray("PK\x03\x04"));
    EXPECT_EQ(commands.SaveDialog1.FilterIndex, 3);
    EXPECT_EQ(MessageBox::shownCount(), boxes);

    // A failed save ends in the error box and leaves the earlier file.
    grid.setCells(1, 1, QString(40'000, u'x'));
    MessageBox::setNextAnswer(QMessageBox::Yes); // replace it
    save(dir.filePath(QStringLiteral("result.xlsx")), seen, 3);
    EXPECT_EQ(MessageBox::shownCount(), boxes + 2);
    EXPECT_EQ(MessageBox::lastText(),
        QStringLiteral("Zelle B2 ist zu lang für eine Arbeitsmappe: mehr als 32767 Zeichen."));
    EXPECT_EQ(startOf("result.xlsx"), QByteArray("PK\x03\x04"));
}

// The save dialog proposes the opened name: before the first save in the opened file's
// folder, or the documents folder when that one is read-only; then where the last save went.
TEST_F(FileCommandsTest, SaveProposesTheOpenedNameWhereTheLastSaveWent)
{
    NoPermissionOverride noOverride;
    const QString readOnly = dir.filePath(QStringLiteral("installed"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    write(readOnly + QStringLiteral("/Starterliste.txt"), kStartList);
    write(program + QStringLiteral("/start.txt"), kStartList);
    ::chmod(QFile::encodeName(readOnly).constData(), 0555);
    const QString documents = FileCommands::saveFolder(QString(), QString());
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    Seen seen;

    const struct
    {
        QString open; // empty: none before the save
        QString folder, name; // what the save dialog shows
        QString saveTo; // empty: cancelled
    } steps[] = {
        { program + QStringLiteral("/start.txt"), program, QStringLiteral("start"), QString() },
        { readOnly + QStringLiteral("/Starterliste.txt"), noOverride.active() ? documents : readOnly,
            QStringLiteral("Starterliste"), out + QStringLiteral("/halb.txt") },
        { QString(), out, QStringLiteral("Starterliste"), QString() },
        { program + QStringLiteral("/start.txt"), out, QStringLiteral("start"), QString() },
    };
    for (const auto &step : steps) {
        if (!step.open.isEmpty())
            open(step.open, seen);
        save(step.saveTo, seen);
        EXPECT_EQ(seen.folder, step.folder) << step.open.toStdString();
        EXPECT_EQ(seen.name, step.name) << step.open.toStdString();
    }
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/halb.txt")));
    ::chmod(QFile::encodeName(readOnly).constData(), 0755);
}

TEST_F(FileCommandsTest, CancelDoesNothing)
{
    fillUnplaced();
    const QList<QStringList> before = rows();
    const int boxes = MessageBox::shownCount();
    Seen seen;
    open(QString(), seen);
    save(QString(), seen);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(MessageBox::shownCount(), boxes);
    EXPECT_EQ(commands.OpenDialog1.InitialDir, program);
    EXPECT_TRUE(commands.SaveDialog1.FileName.isEmpty());
    EXPECT_TRUE(captions.isEmpty());
}

TEST_F(FileCommandsTest, QtDialogsSpeakGermanUnderTheCLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale::c());
    QTranslator *german = QtTranslations::install(*QCoreApplication::instance());
    ASSERT_NE(german, nullptr) << "qtbase_de.qm (qt6-translations-l10n) is missing";

    QStringList buttons, labels;
    QString filter;
    FileDialog::setDriverForTests([&](QFileDialog &dialog) {
        for (const QAbstractButton *button : dialog.findChildren<QAbstractButton *>()) {
            if (!button->text().isEmpty())
                buttons.append(QString(button->text()).remove(u'&'));
        }
        for (const QLabel *label : dialog.findChildren<QLabel *>())
            labels.append(QString(label->text()).remove(u'&'));
        filter = dialog.selectedNameFilter();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    commands.sbLoadClick();
    QCoreApplication::removeTranslator(german);
    delete german;
    QLocale::setDefault(before);

    EXPECT_TRUE(buttons.contains(QStringLiteral("Öffnen"))) << buttons.join(u'|').toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Abbrechen"))) << buttons.join(u'|').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("Dateiname:"))) << labels.join(u'|').toStdString();
    // The program's own texts stay as they are.
    EXPECT_EQ(filter, QStringLiteral("All files (*.txt;*.xls;*.xlsx)"));
}

} // namespace
