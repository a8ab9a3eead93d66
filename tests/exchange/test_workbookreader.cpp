#include "exchange/biffwriter.h"
#include "exchange/workbookreader.h"
#include "exchange/workbookwriter.h"
#include "exchange/xlsreaderprocess.h"
#include "exchange/xlsreply.h"
#include "exchange/xlsxreader.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "scoring/resulttable.h"
#include "support/madeworkbooks.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kData = QStringLiteral(SCORELANE_TEST_DATA "/workbook/");

class WorkbookReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table.setUpGrid();
        table.writeHeader();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QList<QStringList> rows() const
    {
        QList<QStringList> all;
        for (int r = 0; r < grid.RowCount(); ++r)
            all.append(grid.Rows(r).mid(0, 12));
        return all;
    }
    // The failure text of loading, empty when it loaded.
    QString failure(const QString &path)
    {
        try {
            LoadWorkbook(grid, path);
        } catch (const CommandError &e) {
            return e.text();
        }
        return QString();
    }
    QString failureOf(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("hostile"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return failure(path);
    }
    void fillEarlier()
    {
        grid.setRowCount(3);
        grid.setRows(1, { "7", "Alt", "TC", "5", "5", "5" });
        grid.setRows(2, { "8", "Älter", "TC", "6", "6", "6" });
    }

    QTemporaryDir dir;
    SortGridCore grid;
    ResultTable table { grid };
};

QStringList padded(QStringList texts)
{
    while (texts.size() < 12)
        texts.append(QString());
    return texts;
}

const QStringList kHeader
    = { "Nr.", "Name", "Verein", "J.1", "J.2", "J.3", "J.4", "J.5", "J.6", "J.7", "Summe", "Platz" };

TEST_F(WorkbookReaderTest, StartListFromOpenpyxlAndLibreOffice)
{
    // Only "Nr.", "Name", "Verein": the program's own captions, so the header stays
    // whole; the row after the empty A cell is not read, and the open says so.
    const QList<QStringList> expected = { kHeader, padded({ "1", "Anna Alt", "TC Blau" }),
        padded({ "2", "Bernd Bach", "TSC Rot" }), padded({ "3", "Carla Cord", "TC Gelb" }) };
    QObject earlier;
    for (const char *name : { "startlist.xlsx", "startlist-lo.xls" }) {
        fillEarlier();
        grid.setObjects(12, 2, &earlier); // a column the sheet does not fill
        grid.setObjects(3, 0, &earlier);
        const WorkbookLoad loaded = LoadWorkbook(grid, kData + QLatin1StringView(name));
        EXPECT_EQ(rows(), expected) << name;
        EXPECT_EQ(grid.Objects(12, 2), nullptr) << "no row keeps an object from before";
        EXPECT_EQ(grid.Objects(3, 0), &earlier) << "the header row keeps its own";
        EXPECT_TRUE(loaded.contentBelow) << name;
        EXPECT_EQ(loaded.stopRow, 5) << name;
        EXPECT_EQ(grid.Row(), 1);
        EXPECT_EQ(grid.Selection(), (GridRect { 0, 1, 12, 1 }));
        EXPECT_EQ(grid.Cells(12, 1), QString()) << "the raw total is left to the placing";
    }
}

// What the program saves, it opens again as it was: its own captions put "Summe" and
// "Platz" back in their columns whatever the judge count, and the header stays whole.
TEST_F(WorkbookReaderTest, SavedWorkbooksReadBackByCaption)
{
    const QStringList anna = { "12", "Anna Ärger", "TSC Grün", "9", "8", "8", "7", "8", "6", "9" };
    for (WorkbookFormat format : { WorkbookFormat::Xls, WorkbookFormat::Xlsx }) {
        for (int judges : { 3, 5, 7 }) {
            SCOPED_TRACE(
                QStringLiteral("%1 judges, %2").arg(judges).arg(format == WorkbookFormat::Xls).toStdString());
            table.writeHeader();
            table.SetJudgeCount(judges);
            grid.setRowCount(2);
            for (int c = 0; c < anna.size(); ++c)
                grid.setCells(c, 1, anna[c]);
            grid.setCells(ResultTable::ColTotal, 1, QStringLiteral("24"));
            grid.setCells(ResultTable::ColPlace, 1, QStringLiteral("1"));
            const QString path = dir.filePath(QStringLiteral("saved"));
            SaveWorkbook(grid, path, format);

            QStringList row = anna.mid(0, 3 + judges);
            while (row.size() < 10)
                row.append(QString());
            row << QStringLiteral("24") << QStringLiteral("1");
            table.SetJudgeCount(7);
            for (int c = 0; c < 12; ++c)
                grid.setCells(c, 0, QStringLiteral("x"));
            const WorkbookLoad loaded = LoadWorkbook(grid, path);
            EXPECT_EQ(rows(), (QList<QStringList> { kHeader, row }));
            EXPECT_EQ(loaded.judges, judges);
            EXPECT_FALSE(loaded.contentBelow);
            table.writeHeader();
        }
    }
}

// A long protocol comes back cell for cell: the .xls answer arrives in pieces, plain
// whole numbers take the quick way, and texts that only look like numbers stay texts.
TEST_F(WorkbookReaderTest, LongProtocolsReadBackCellForCell)
{
    table.SetJudgeCount(7);
    grid.setRowCount(1201);
    for (int r = 1; r < grid.RowCount(); ++r) {
        grid.setCells(0, r, r % 97 == 0 ? QStringLiteral("0%1").arg(r) : QString::number(r));
        grid.setCells(
            1, r, r % 50 == 0 ? QStringLiteral("Jürgen\t\\%1").arg(r) : QStringLiteral("Name %1").arg(r));
        grid.setCells(2, r, r % 3 ? QStringLiteral("TSC Grün-Gold") : QString());
        for (int c = 3; c < 10; ++c)
            grid.setCells(c, r, QString::number((r * 7 + c) % 10));
        grid.setCells(10, r, QString::number(123456789012345 - r));
        grid.setCells(11, r, QString::number(r));
    }
    const QList<QStringList> saved = rows();
    for (WorkbookFormat format : { WorkbookFormat::Xls, WorkbookFormat::Xlsx }) {
        SCOPED_TRACE(format == WorkbookFormat::Xls ? "xls" : "xlsx");
        const QString path = dir.filePath(QStringLiteral("long"));
        SaveWorkbook(grid, path, format);
        grid.setRowCount(2);
        const WorkbookLoad loaded = LoadWorkbook(grid, path);
        EXPECT_EQ(loaded.competitors, 1200);
        EXPECT_EQ(rows(), saved);
    }
}

// Only the program's own captions, from A on without gaps, map by caption.
TEST(OwnCaptions, WhichRowsCount)
{
    const struct
    {
        QStringList captions;
        std::vector<int> columns; // empty: taken by position
        int judges;
    } cases[] = {
        { { "Nr.", "Name", "Verein" }, { 0, 1, 2 }, 0 },
        { { "Nr.", "Name", "Verein", "J.1", "J.2", "J.3", "Summe", "Platz" }, { 0, 1, 2, 3, 4, 5, 10, 11 },
            3 },
        { { "Nr.", "Name", "Verein", "J.1", "J.2", "J.3", "J.4", "J.5", "J.6", "J.7", "Summe", "Platz" },
            { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 }, 7 },
        { { "Nr.", "Name", "Verein", "J.1", "J.2", "Summe" }, { 0, 1, 2, 3, 4, 10 }, 2 },
        { { "Nr.", "Name", "Verein", "J.2" }, {}, 0 }, // judge 1 missing
        { { "Nr.", "Name", "Verein", "", "J.1" }, {}, 0 }, // a gap
        { { "Nr.", "Name", "Club" }, {}, 0 },
        { { "Nr.", "Name", "Verein", "J.1", "Platz", "Summe" }, {}, 0 },
        { { "Nr.", "Name", "Verein", "J.1", "Summe", "Platz", "", "", "", "", "", "", "Notiz" }, {}, 0 },
        { { "Name", "Nr.", "Verein" }, {}, 0 },
    };
    for (const auto &c : cases) {
        Workbook::Row header;
        for (int i = 0; i < c.captions.size(); ++i)
            header[size_t(i)].text = c.captions[i];
        const auto own = Workbook::ownCaptions(header);
        EXPECT_EQ(own.has_value(), !c.columns.empty()) << c.captions.join(',').toStdString();
        if (own) {
            EXPECT_EQ(own->tableColumns, c.columns) << c.captions.join(',').toStdString();
            EXPECT_EQ(own->judges, c.judges) << c.captions.join(',').toStdString();
        }
    }
}

// What an open tells the operator afterwards: rows left below an empty "Nr.", and a
// judge count other than the one set.
TEST_F(WorkbookReaderTest, NotesAfterTheOpen)
{
    const struct
    {
        int judges; // of the saved table
        QList<QStringList> rows; // below the header
        int judgeCount; // set when opening
        int competitors, stopRow;
        bool below;
        const char *note;
    } cases[] = {
        { 5, { { "1", "Anna" }, { "", "Bernd" }, { "3", "Carla" } }, 5, 1, 3, true,
            "Es wurde 1 Teilnehmer gelesen. Das Lesen endete in Zeile 3 der Arbeitsmappe, weil dort die "
            "Spalte A (Nr.) leer ist; in dieser Zeile oder darunter steht noch mehr, das nicht gelesen "
            "wurde." },
        { 5, { { "1", "Anna" }, { "2", "Bernd" }, { "" } }, 5, 2, 4, false, "" },
        { 7, { { "1", "Anna" } }, 5, 1, 3, false,
            "Die Arbeitsmappe hat 7 Wertungsrichter, eingestellt sind 5. Mit F2 (Einstellungen) lässt sich "
            "die Zahl der Wertungsrichter ändern." },
        { 3, { { "1", "Anna" }, { "" }, { "", "", "", "9" } }, 7, 1, 3, true,
            "Es wurde 1 Teilnehmer gelesen. Das Lesen endete in Zeile 3 der Arbeitsmappe, weil dort die "
            "Spalte A (Nr.) leer ist; in dieser Zeile oder darunter steht noch mehr, das nicht gelesen wurde."
            "\n\nDie Arbeitsmappe hat 3 Wertungsrichter, eingestellt sind 7. Mit F2 (Einstellungen) lässt "
            "sich die Zahl der Wertungsrichter ändern." },
    };
    for (WorkbookFormat format : { WorkbookFormat::Xls, WorkbookFormat::Xlsx }) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.note);
            table.writeHeader();
            table.SetJudgeCount(c.judges);
            grid.setRowCount(int(c.rows.size()) + 1);
            for (int r = 0; r < c.rows.size(); ++r)
                grid.setRows(r + 1, c.rows[r]);
            const QString path = dir.filePath(QStringLiteral("notes"));
            SaveWorkbook(grid, path, format);
            const WorkbookLoad loaded = LoadWorkbook(grid, path);
            EXPECT_EQ(loaded.competitors, c.competitors);
            EXPECT_EQ(loaded.stopRow, c.stopRow);
            EXPECT_EQ(loaded.contentBelow, c.below);
            EXPECT_EQ(loaded.note(c.judgeCount), QString::fromUtf8(c.note));
            EXPECT_EQ(grid.RowCount(), c.competitors + 1);
        }
    }
}

// Times of day and dates with times read as the locale shows them, by the cell's format.
TEST_F(WorkbookReaderTest, TimesAndDateTimes)
{
    EXPECT_EQ(failure(kData + QStringLiteral("times.xlsx")), QString());
    EXPECT_EQ(
        grid.Rows(1).mid(0, 6), QStringList({ "1", "Anna", "12:30", "09.03.24 18:45", "1,5", "09.03.24" }));
    // Rounded to the second: just below midnight is the next day.
    EXPECT_EQ(Workbook::timeText(45360.99999999, false, true, QLocale()), QStringLiteral("10.03.24 00:00"));
    using Kind = Workbook::DateKind;
    const std::pair<QString, Kind> formats[]
        = { { "hh:mm", Kind::Time }, { "dd.mm.yyyy hh:mm", Kind::DateTime }, { "[h]:mm:ss", Kind::None },
              { "[Magenta]hh:mm", Kind::Time }, { "[mm]:ss", Kind::None }, { "mm:ss", Kind::Time },
              { "mmm yy", Kind::Date }, { "0.00", Kind::None } };
    for (const auto &[code, kind] : formats)
        EXPECT_EQ(Workbook::dateKind(164, code), kind) << code.toStdString();
    EXPECT_EQ(Workbook::dateKind(20, QString()), Kind::Time);
    EXPECT_EQ(Workbook::dateKind(22, QString()), Kind::DateTime);
}

// The times of times.xlsx in an .xls, made by our writer with the cell formats patched
// to "h:mm" (20) and "m/d/yy h:mm" (22): FreeXL's reading gives the same texts.
TEST_F(WorkbookReaderTest, TimesReadAlikeFromXlsAndXlsx)
{
    WorkbookLayout layout;
    layout.sheetName = QStringLiteral("Zeiten");
    layout.columnCount = 2;
    layout.rows = { { "Nr.", "Zeit" }, { "1", "777001" }, { "2", "777002" }, { "3", "777003" } };
    layout.numberColumns = { false, true };
    QByteArray bytes = biffWorkbookBytes(layout);
    const auto patchNumber = [&bytes](double from, double to) {
        const QByteArray find(reinterpret_cast<const char *>(&from), sizeof from);
        const qsizetype at = bytes.indexOf(find);
        ASSERT_GT(at, 0);
        std::memcpy(bytes.data() + at, &to, sizeof to);
    };
    patchNumber(777001, 0.5208333333333334); // 12:30
    patchNumber(777002, 45360.78125); // 2024-03-09 18:45
    patchNumber(777003, 45360.001388888886); // 2024-03-09 00:02, a little below it in binary
    // Row 1 has cell format 17, the rows below 16: the 18th and 17th of the 20 XF records,
    // each of them 24 bytes from E0 00 14 00 on.
    const QByteArray xf("\xE0\x00\x14\x00", 4);
    qsizetype first = bytes.indexOf(xf);
    while (first >= 0 && bytes.mid(first + 19 * 24, 4) != xf)
        first = bytes.indexOf(xf, first + 1);
    ASSERT_GT(first, 0);
    const QList<qsizetype> formats = { first + 16 * 24, first + 17 * 24 };
    MadeWorkbooks::putLe16(bytes, formats[1] + 6, 20);
    MadeWorkbooks::putLe16(bytes, formats[0] + 6, 22);

    EXPECT_EQ(failureOf(bytes), QString());
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("12:30"));
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("09.03.24 18:45"));
    EXPECT_EQ(grid.Cells(1, 3), QStringLiteral("09.03.24 00:02"));
}

TEST_F(WorkbookReaderTest, ValuesBecomeTexts)
{
    // 3 and 7.5 under a German locale, a date, the booleans, a formula: openpyxl
    // stores no result for it (empty), LibreOffice stores 10.5.
    const QStringList header
        = padded({ "Nr.", "Name", "Verein", "J.1", "J.2", "Datum", "Ja", "Nein", "Summe" });
    const struct
    {
        const char *name;
        const char *sum;
    } files[] = { { "values.xlsx", "" }, { "values-lo.xlsx", "10,5" }, { "values-lo.xls", "10,5" } };
    for (const auto &file : files) {
        EXPECT_EQ(failure(kData + QLatin1StringView(file.name)), QString()) << file.name;
        ASSERT_EQ(grid.RowCount(), 2) << file.name;
        EXPECT_EQ(grid.Rows(0).mid(0, 12), header) << file.name;
        EXPECT_EQ(grid.Rows(1).mid(0, 12),
            padded({ "1", "Anna", "TC", "3", "7,5", "09.03.24", "WAHR", "FALSCH",
                QString::fromLatin1(file.sum) }))
            << file.name;
    }
}

TEST_F(WorkbookReaderTest, NumberTexts)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(Workbook::numberText(3, german), QStringLiteral("3"));
    EXPECT_EQ(Workbook::numberText(1234567.25, german), QStringLiteral("1234567,25"));
    EXPECT_EQ(Workbook::numberText(123456789012345, german), QStringLiteral("123456789012345"));
    EXPECT_EQ(Workbook::numberText(1e15, german), QStringLiteral("1E+15"));
    EXPECT_EQ(Workbook::numberText(0.1 + 0.2, german), QStringLiteral("0,3"));
    EXPECT_EQ(Workbook::numberText(-1234567890123456789.0, german), QStringLiteral("-1,23456789012346E+18"));
    EXPECT_EQ(
        Workbook::dateText(60, false, german), QStringLiteral("01.03.00")); // the 29 February that never was
    EXPECT_EQ(Workbook::dateText(59, false, german), QStringLiteral("28.02.00"));
    EXPECT_EQ(Workbook::dateText(45360, false, german), QStringLiteral("09.03.24"));
    EXPECT_EQ(Workbook::dateText(0, true, german), QStringLiteral("01.01.04"));
    EXPECT_TRUE(Workbook::isDateFormat(14, QString()));
    EXPECT_TRUE(Workbook::isDateFormat(164, QStringLiteral("[$-407]DD.MM.YYYY")));
    EXPECT_FALSE(Workbook::isDateFormat(164, QStringLiteral("#,##0.00 \"DM\"")));
    EXPECT_FALSE(Workbook::isDateFormat(165, QStringLiteral("[h]:mm:ss")));
    EXPECT_FALSE(Workbook::isDateFormat(2, QString()));
}

TEST_F(WorkbookReaderTest, RowsizeTooSmallCasesGiveTheHeaderOnly)
{
    // Nothing in A2: the header row alone. A1 empty: the same, with row 1's texts as
    // captions.
    for (const char *name : { "a2empty.xlsx", "a2empty-lo.xls" }) {
        fillEarlier();
        EXPECT_EQ(failure(kData + QLatin1StringView(name)), QString()) << name;
        EXPECT_EQ(rows(), QList<QStringList> { kHeader }) << name;
    }
    fillEarlier();
    EXPECT_EQ(failure(kData + QStringLiteral("a1empty.xlsx")), QString());
    EXPECT_EQ(rows(), QList<QStringList> { padded({ "", "Name", "Verein" }) });
}

TEST_F(WorkbookReaderTest, ErrorValuesFailAndLeaveTheTable)
{
    fillEarlier();
    const QList<QStringList> before = rows();
    for (const char *name : { "errorcell.xlsx", "formulaerror-lo.xls" }) {
        EXPECT_EQ(failure(kData + QLatin1StringView(name)),
            QStringLiteral("Could not convert variant of type (Error) into type (String)"))
            << name;
        EXPECT_EQ(rows(), before) << name;
    }
    EXPECT_EQ(failure(dir.filePath(QStringLiteral("missing.xls"))),
        dir.filePath(QStringLiteral("missing.xls")) + QStringLiteral(": No such file or directory"));
    EXPECT_EQ(failureOf("Nr.;Name\r\n1;Anna\r\n"), QStringLiteral("Datei ist keine Arbeitsmappe"));
    EXPECT_EQ(failureOf(MadeWorkbooks::zip({ { "word/document.xml", "<w/>" } })),
        QStringLiteral("Datei ist keine Arbeitsmappe"));
    EXPECT_EQ(rows(), before);
}

// Hostile workbooks: each fails with a clear message, in bounded memory.
TEST_F(WorkbookReaderTest, HostileXlsx)
{
    fillEarlier();
    const QList<QStringList> before = rows();
    using MadeWorkbooks::sheet;
    using MadeWorkbooks::xlsx;
    const QString damaged = QStringLiteral("Arbeitsmappe ist beschädigt: ");

    EXPECT_EQ(failureOf(MadeWorkbooks::zipBomb(qint64(2) << 30)),
        damaged + QStringLiteral("xl/worksheets/sheet1.xml ist entpackt größer als 256 MiB"));
    EXPECT_EQ(failureOf(xlsx(sheet(R"(<row r="1"><c r="A1" t="s"><v>7</v></c></row>)"), { "eins" })),
        damaged + QStringLiteral("Zelle A1 verweist auf die gemeinsame Zeichenkette 7, die es nicht gibt"));
    EXPECT_EQ(failureOf(xlsx(sheet(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>)" + QByteArray(10 << 20, 'x')
                  + "</t></is></c></row>"))),
        QStringLiteral("Zelle A1 ist zu lang: mehr als 32767 Zeichen"));
    // A shared string too long is told at the cell that uses it.
    EXPECT_EQ(failureOf(xlsx(sheet(R"(<row r="1"><c r="A1"><v>1</v></c><c r="C1" t="s"><v>0</v></c></row>)"),
                  { QByteArray(40'000, 'y') })),
        QStringLiteral("Zelle C1 ist zu lang: mehr als 32767 Zeichen"));
    EXPECT_EQ(failureOf(xlsx(sheet(""), {}, "/xl/workbook.xml")),
        damaged + QStringLiteral("die Beziehung rId1 führt im Kreis"));
    EXPECT_EQ(failureOf(xlsx(sheet(""), {}, "worksheets/sheet1.xml", "rId9")),
        damaged + QStringLiteral("die Beziehung rId9 der ersten Tabelle fehlt"));
    EXPECT_EQ(failureOf(xlsx(sheet(""), {}, "worksheets/nowhere.xml")),
        damaged + QStringLiteral("xl/worksheets/nowhere.xml fehlt"));
    EXPECT_EQ(failureOf(xlsx(sheet(R"(<row r="1048577"><c r="A1048577"><v>1</v></c></row>)"))),
        damaged + QStringLiteral("ungültige Zeilennummer 1048577"));
    EXPECT_EQ(rows(), before);

    // What a sheet claims about its size sizes nothing: the dimension, a far cell and
    // a row after a gap are read past.
    EXPECT_EQ(failureOf(xlsx(sheet(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Nr.</t></is></c>)"
                                   R"(<c r="XFD1"><v>1</v></c></row>)"
                                   R"(<row r="2"><c r="A2"><v>1</v></c><c r="C2"><v>2</v></c></row>)"
                                   R"(<row r="1048576"><c r="A1048576"><v>1</v></c></row>)",
                  "A1:XFD1048576"))),
        QString());
    EXPECT_EQ(rows(), (QList<QStringList> { padded({ "Nr." }), padded({ "1", "", "2" }) }));
}

TEST_F(WorkbookReaderTest, HostileXls)
{
    QFile file(kData + QStringLiteral("values-lo.xls"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    fillEarlier();
    const QList<QStringList> before = rows();
    const QString damaged = QStringLiteral("Arbeitsmappe ist beschädigt: ");

    EXPECT_TRUE(failureOf(good.left(good.size() / 2)).startsWith(damaged));
    EXPECT_EQ(failureOf(good.left(300)), damaged + QStringLiteral("der Dateikopf ist unvollständig"));
    // Found by fuzzing: the allocation table in a cut-off last sector was read past the end.
    QFile cut(QStringLiteral(SCORELANE_TEST_DATA "/fuzz/xls/partial-last-sector.xls"));
    ASSERT_TRUE(cut.open(QIODevice::ReadOnly));
    EXPECT_TRUE(failureOf(cut.readAll()).startsWith(damaged));

    // A directory chain that runs in a circle: the first directory sector points at itself.
    QByteArray circle = good;
    const quint32 directory = MadeWorkbooks::le32(circle, 0x30);
    MadeWorkbooks::putLe32(circle, MadeWorkbooks::fatEntryOffset(circle, directory), directory);
    EXPECT_EQ(failureOf(circle), damaged + QStringLiteral("die Sektorkette von Verzeichnis ist ungültig"));

    // A sheet claiming 65536 rows of 256 columns.
    QByteArray huge = good;
    const qsizetype dimensions = huge.indexOf(QByteArray("\x00\x02\x0E\x00", 4));
    ASSERT_GT(dimensions, 0);
    MadeWorkbooks::putLe32(huge, dimensions + 8, 65536);
    MadeWorkbooks::putLe16(huge, dimensions + 14, 256);
    EXPECT_EQ(failureOf(huge), damaged + QStringLiteral("die Tabellen nennen mehr als 4194304 Zellen"));

    // A shared string table claiming more strings than it holds.
    QByteArray strings = good;
    const qsizetype sst = strings.indexOf(QByteArray("\xFC\x00", 2));
    ASSERT_GT(sst, 0);
    MadeWorkbooks::putLe32(strings, sst + 8, 0x7FFFFFFF);
    EXPECT_TRUE(failureOf(strings).startsWith(damaged + QStringLiteral("die Zeichenkettentabelle")));
    EXPECT_EQ(rows(), before);
}

// FreeXL runs in the reader process: whatever becomes of that process is an error,
// and the table stays as it was.
TEST_F(WorkbookReaderTest, XlsReaderProcessFailures)
{
    fillEarlier();
    const QList<QStringList> before = rows();
    const QString damaged = QStringLiteral("Arbeitsmappe ist beschädigt: ");
    const QString good = kData + QStringLiteral("values-lo.xls");
    const QString fakes = QStringLiteral(SCORELANE_TEST_DATA "/xlsreader/");
    const QString real = Workbook::xlsReaderProgram();
    struct Restore
    {
        QString program;
        ~Restore()
        {
            Workbook::setXlsReaderProgram(program);
            Workbook::setXlsReaderTimeLimit(std::chrono::seconds(10));
            Workbook::setXlsSealedInput(true);
        }
    } restore { real };

    Workbook::setXlsReaderProgram(fakes + QStringLiteral("crashes.sh"));
    EXPECT_EQ(failure(good), damaged + QStringLiteral("der Leseprozess brach mit Signal 11 ab"));
    Workbook::setXlsReaderProgram(fakes + QStringLiteral("garbles.sh"));
    EXPECT_EQ(failure(good), damaged + QStringLiteral("der Leseprozess gab eine ungültige Antwort"));
    Workbook::setXlsReaderProgram(fakes + QStringLiteral("hangs.sh"));
    Workbook::setXlsReaderTimeLimit(std::chrono::milliseconds(300));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(failure(good), damaged + QStringLiteral("das Lesen dauerte länger als 0,3 s"));
    EXPECT_LT(timer.elapsed(), 5000);
    Workbook::setXlsReaderProgram(dir.filePath(QStringLiteral("nowhere")));
    EXPECT_EQ(failure(good),
        QStringLiteral("Das Leseprogramm für .xls-Dateien fehlt: %1. Scorelane ist unvollständig gebaut oder "
                       "installiert; .xlsx- und Textdateien lassen sich weiter öffnen.")
            .arg(dir.filePath(QStringLiteral("nowhere"))));
    Workbook::setXlsReaderProgram(dir.path()); // there, but no program
    EXPECT_TRUE(failure(good).startsWith(
        QStringLiteral("Das Leseprogramm für .xls-Dateien startet nicht: %1 (").arg(dir.path())));
    EXPECT_EQ(rows(), before);

    // The reader gets the program's standard error and nothing beyond it: a descriptor
    // left open without close-on-exec stays behind. Its exit code counts.
    Workbook::setXlsReaderProgram(fakes + QStringLiteral("inherits.sh"));
    qputenv("SCORELANE_TEST_FD", "2");
    EXPECT_EQ(failure(good), damaged + QStringLiteral("der Leseprozess endete mit Code 4"));
    const int opened = ::open("/dev/null", O_RDONLY); // without close-on-exec
    const int open = ::fcntl(opened, F_DUPFD, 200);
    ::close(opened);
    ASSERT_GE(open, 200);
    qputenv("SCORELANE_TEST_FD", QByteArray::number(open));
    EXPECT_EQ(failure(good), QString());
    ::close(open);
    qunsetenv("SCORELANE_TEST_FD");
    // Every reader above has been waited for.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // The reader runs beside the program, on every core but the one that started it.
    cpu_set_t cores;
    ASSERT_EQ(sched_getaffinity(0, sizeof cores, &cores), 0);
    Workbook::setXlsReaderProgram(fakes + QStringLiteral("cores.sh"));
    EXPECT_EQ(failure(good), QString::number(std::max(CPU_COUNT(&cores) - 1, 1)));

    Workbook::setXlsReaderProgram(real);
    for (const bool sealed : { false, true }) {
        Workbook::setXlsSealedInput(sealed);
        fillEarlier();
        EXPECT_EQ(failure(good), QString());
        EXPECT_EQ(grid.Cells(4, 1), QStringLiteral("7,5"));
    }
}

// The reader process writes values; the program reads them back as the table's texts.
TEST(XlsReply, RoundTripAndLimits)
{
    namespace W = Workbook::XlsReply;
    W::Writer written(8); // grows from a few bytes on
    written.raw(W::kHeader);
    const auto row = [&written](const std::function<void(W::Writer &)> &cells, int count) {
        written.raw("r");
        cells(written);
        for (int c = count; c < Workbook::kColumns; ++c)
            written.empty();
        written.raw("\n");
    };
    row(
        [](W::Writer &out) {
            out.text("Nr.");
            out.text("a\tb\nc\\d\r\\t");
            out.text("Jürgen ✓");
            out.text("");
        },
        4);
    row(
        [](W::Writer &out) {
            out.number(1);
            out.number(7.5);
            out.number(0.1 + 0.2);
            out.number(-0.0);
            out.number(1e15);
            out.number(123456789012345.0);
            out.boolean(true);
            out.boolean(false);
            out.dateTime("2024-03-09 12:30:00");
            out.error();
            out.number(-3);
            out.number(123456);
            out.number(1234567);
        },
        13);
    row([](W::Writer &) {}, 0);
    written.raw("below\nend\t3\n");
    const QByteArray reply(written.data(), qsizetype(written.size()));

    const QLocale german(QLocale::German, QLocale::Germany);
    const Workbook::SheetRows back = Workbook::parseXlsReply(reply, german);
    ASSERT_EQ(back.rows().size(), 3u);
    EXPECT_TRUE(back.done());
    EXPECT_TRUE(back.contentBelow());
    EXPECT_EQ(back.stopRow(), 3);
    const auto texts = [&back](size_t r, int count) {
        QStringList out;
        for (int c = 0; c < count; ++c)
            out.append(back.rows()[r][size_t(c)].text);
        return out;
    };
    EXPECT_EQ(texts(0, 5), (QStringList { "Nr.", "a\tb\nc\\d\r\\t", "Jürgen ✓", "", "" }));
    EXPECT_EQ(texts(1, 13),
        (QStringList { "1", "7,5", "0,3", "0", "1E+15", "123456789012345", "WAHR", "FALSCH", "09.03.24 12:30",
            "", "-3", "123456", "1234567" }));
    EXPECT_TRUE(back.rows()[1][9].error);
    EXPECT_EQ(texts(2, 13), QStringList(13, QString()));

    const auto failure = [](const QByteArray &bytes) {
        try {
            Workbook::parseXlsReply(bytes);
        } catch (const CommandError &e) {
            return e.text();
        }
        return QString();
    };
    EXPECT_EQ(failure(QByteArray::fromStdString(W::failure("Arbeitsmappe ist beschädigt: x\ty"))),
        QStringLiteral("Arbeitsmappe ist beschädigt: x\ty"));
    const QString bad
        = QStringLiteral("Arbeitsmappe ist beschädigt: der Leseprozess gab eine ungültige Antwort");
    const QByteArray head = "scorelane-xls 2\n";
    const QByteArray twelveTabs(12, '\t');
    const QByteArray hostile[] = {
        reply.left(reply.lastIndexOf("end")), // cut off
        QByteArray(reply).replace("end\t3", "end\t2"),
        QByteArray(reply).replace("\ttNr.\t", "\ttNr.\t\t"), // 14 cells
        QByteArray(reply).replace("\\\\d", "\\d"), // unknown escape
        QByteArray(reply).replace("Nr.", "N\xFFr"), // not UTF-8
        QByteArray(reply).replace("\tb1", "\tb2"),
        QByteArray(reply).replace("\tn1\t", "\tn1x\t"),
        QByteArray(reply).replace("\tn1\t", "\tn\t"),
        QByteArray(reply).replace("\te\t", "\tex\t"),
        QByteArray(reply).replace("\ttNr.", "\tNr."), // no type
        head + "r" + twelveTabs + "\ttx\nr\ttl" + twelveTabs
            + "\nend\t2\n", // a row after the end of the table
        reply + "r\ttl" + twelveTabs + "\n",
        "scorelane-xls 1\nend\t0\n",
    };
    for (const QByteArray &bytes : hostile)
        EXPECT_EQ(failure(bytes), bad) << bytes.left(80).toStdString();
    // The longest text a cell holds, and one character more.
    EXPECT_EQ(failure(head + "r\tt" + QByteArray(32767, 'x') + twelveTabs + "\nend\t1\n"), QString());
    EXPECT_EQ(failure(head + "r\ttNr.\tt" + QByteArray(32768, 'x') + QByteArray(11, '\t') + "\nend\t1\n"),
        QStringLiteral("Zelle B1 ist zu lang: mehr als 32767 Zeichen"));
}

} // namespace
