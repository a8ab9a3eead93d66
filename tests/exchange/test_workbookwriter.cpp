#include "exchange/biffwriter.h"
#include "exchange/workbookwriter.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"
#include "platform/programinfo.h"
#include "scoring/resulttable.h"
#include "workbookfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <freexl.h>

#include <algorithm>
#include <cerrno>

namespace {

using namespace WorkbookWriter;

// A protocol with the given judges: header, then rows of number, name, club, marks.
struct Protocol
{
    SortGridCore grid;
    ResultTable table { grid };

    explicit Protocol(int judges, int rows = 3)
    {
        table.setUpGrid();
        table.writeHeader();
        table.SetJudgeCount(judges);
        grid.setRowCount(rows + 1);
        for (int r = 1; r <= rows; ++r) {
            grid.setCells(0, r, QString::number(r));
            grid.setCells(1, r, QStringLiteral("Tänzerin %1 Größe").arg(r));
            grid.setCells(2, r, QStringLiteral("TSC Grün-Gold"));
            for (int j = 0; j < judges; ++j)
                grid.setCells(3 + j, r, QString::number(4 + (r + j) % 6));
        }
        table.AssignPlaces();
    }
    // What a workbook must hold: the shown columns, packed.
    QList<QStringList> shown() const
    {
        QList<QStringList> rows;
        for (int r = 0; r < grid.RowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < 12; ++c)
                if (grid.ColWidths(c) > 0)
                    row.append(grid.Cells(c, r));
            rows.append(row);
        }
        return rows;
    }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(WorkbookWidths, FormulaMeasuresTextsBoldHeaderAndCaps)
{
    // Hand-worked: 70 px of 7-px digits is 10 digits, plus one; a pixel more is 11 + 1.
    EXPECT_EQ(widthInCharacters(70, 7), 11);
    EXPECT_EQ(widthInCharacters(71, 7), 12);
    EXPECT_EQ(widthInCharacters(1, 7), 2);
    EXPECT_EQ(widthInCharacters(0, 7), 0);
    EXPECT_EQ(widthInCharacters(7 * 300, 7), 255);
    // Excel keeps 10 characters as 10.71 (75 pixels at 7 per digit, 5 of margin).
    EXPECT_EQ(storedWidth256(10), 2742);
    EXPECT_EQ(storedWidth256(1), 438);

    // Ten digits measure ten digits wide whatever the font's size is.
    const QString wide = QString(30, u'm');
    const QList<int> widths = fittedColumnWidths(
        { { "Nr.", "", wide, "" }, { "0123456789", "", "", wide }, { "7", "", "", "" } }, 4);
    EXPECT_EQ(widths[0], 11);
    EXPECT_EQ(widths[1], 0); // nothing to fit: the default width stays
    EXPECT_GT(widths[2], widths[3]); // the header is measured bold
    EXPECT_GT(widths[3], 30);
    EXPECT_EQ(fittedColumnWidths({ { QString(400, u'W') } }, 1)[0], 255);

    // Shorter numbers are no wider than the longest; a shorter text may be.
    const auto width = [](const QStringList &column) {
        QList<QStringList> rows { { "Nr." } };
        for (const QString &text : column)
            rows.append({ text });
        return fittedColumnWidths(rows, 1)[0];
    };
    EXPECT_EQ(width({ "7", "12345", "99" }), width({ "12345" }));
    EXPECT_GT(width({ "@@@" }), width({ "1234" }));
    EXPECT_EQ(width({ "1234", "@@@", "7" }), width({ "@@@" }));
}

TEST(WorkbookLayout, ShownColumnsPackedSheetNameAndLongCells)
{
    for (const int judges : { 3, 5, 7 }) {
        Protocol protocol(judges);
        const WorkbookLayout layout = layoutOf(protocol.grid, QStringLiteral("Scorelane"));
        EXPECT_EQ(layout.columnCount, 5 + judges); // A..H, A..J, A..L
        EXPECT_EQ(layout.rows, protocol.shown());
        EXPECT_EQ(layout.rows[0].last(), QStringLiteral("Platz"));
        EXPECT_EQ(layout.sheetName, QStringLiteral("Scorelane"));
        EXPECT_EQ(layout.author, QStringLiteral("Quellmark Software"));
        EXPECT_EQ(layout.columnWidths.size(), layout.columnCount);
    }

    // A column of width 0 widens the block by an empty column at its end.
    Protocol protocol(5);
    protocol.grid.setColWidths(2, 0);
    const WorkbookLayout narrowed = layoutOf(protocol.grid, QStringLiteral("Scorelane"));
    EXPECT_EQ(narrowed.columnCount, 10);
    EXPECT_EQ(narrowed.rows[0][2], QStringLiteral("J.1"));
    EXPECT_EQ(narrowed.rows[0][9], QString());

    EXPECT_EQ(sheetName(QStringLiteral("A[b]:c*d?e/f\\g")), QStringLiteral("Abcdefg"));
    EXPECT_EQ(sheetName(QString(40, u'x')), QString(31, u'x'));
    EXPECT_EQ(sheetName(QStringLiteral("'Quote'")), QStringLiteral("Quote"));
    EXPECT_EQ(sheetName(QStringLiteral("[]")), QStringLiteral("Tabelle1"));

    protocol.grid.setCells(1, 2, QString(32'767, u'a'));
    EXPECT_NO_THROW(layoutOf(protocol.grid, QStringLiteral("S")));
    protocol.grid.setCells(1, 2, QString(32'768, u'a'));
    try {
        layoutOf(protocol.grid, QStringLiteral("S"));
        ADD_FAILURE() << "a cell too long for a workbook was cut";
    } catch (const CommandError &error) {
        EXPECT_EQ(error.text(),
            QStringLiteral("Zelle B3 ist zu lang für eine Arbeitsmappe: mehr als 32767 Zeichen"));
    }
}

// Long texts in and beyond the shared string table's first record, one-byte and
// two-byte ones, split across CONTINUE records in the middle of their characters.
WorkbookLayout longTexts()
{
    WorkbookLayout layout;
    layout.sheetName = QStringLiteral("Scorelane");
    layout.author = QStringLiteral("Quellmark Software");
    layout.columnCount = 3;
    layout.rows.append({ "Nr.", "Name", "Verein" });
    for (int r = 1; r <= 300; ++r) {
        const QChar letter(u'A' + r % 26);
        layout.rows.append({ QString::number(r),
            r % 3 == 0 ? QString(r * 20, letter) + QStringLiteral("ß")
                       : QStringLiteral("名前%1").arg(r).repeated(r),
            r % 2 ? QStringLiteral("Verein") : QString() });
    }
    layout.columnWidths = fittedColumnWidths(layout.rows, layout.columnCount);
    return layout;
}

TEST(BiffWriter, ContainerRecordsAndSummaryInformation)
{
    const WorkbookLayout layout = longTexts();
    const QMap<QString, QByteArray> streams = WorkbookFiles::streams(biffWorkbookBytes(layout));
    ASSERT_EQ(streams.keys(), QStringList({ "\x05SummaryInformation", "Workbook" }));
    for (const QByteArray &stream : streams)
        EXPECT_GE(stream.size(), 4096); // past the mini stream's limit

    const QList<WorkbookFiles::Record> records = WorkbookFiles::records(streams["Workbook"]);
    const QString list = WorkbookFiles::recordList(records);
    EXPECT_TRUE(list.contains(u"FONT*5 XF*20 STYLE USESELFS BOUNDSHEET COUNTRY SST CONTINUE*"))
        << qPrintable(list);
    EXPECT_TRUE(list.contains(u"EXTSST EOF BOF")) << qPrintable(list);
    EXPECT_TRUE(list.contains(u"COLINFO*3 DIMENSIONS ROW*32 LABELSST*")) << qPrintable(list);
    EXPECT_TRUE(list.endsWith(u"WINDOW2 EOF")) << qPrintable(list);
    qsizetype sheetBof = -1;
    for (const auto &record : records) {
        EXPECT_LE(record.data.size(), 8224);
        if (record.type == 0x0085)
            sheetBof = WorkbookFiles::u32(record.data, 0);
    }
    const auto sheet
        = std::find_if(records.begin() + 1, records.end(), [](const auto &r) { return r.type == 0x0809; });
    ASSERT_NE(sheet, records.end());
    EXPECT_EQ(sheetBof, sheet->offset);

    // The author, as any property reader finds it: property 4 of the summary section.
    const QByteArray summary = streams["\x05SummaryInformation"];
    const quint32 section = WorkbookFiles::u32(summary, 44);
    const quint32 count = WorkbookFiles::u32(summary, section + 4);
    QString author;
    for (quint32 i = 0; i < count; ++i) {
        if (WorkbookFiles::u32(summary, section + 8 + 8 * i) != 4)
            continue;
        const quint32 at = section + WorkbookFiles::u32(summary, section + 12 + 8 * i);
        EXPECT_EQ(WorkbookFiles::u16(summary, at), 0x1E);
        author = QString::fromLatin1(summary.mid(at + 8, WorkbookFiles::u32(summary, at + 4) - 1));
    }
    EXPECT_EQ(author, QStringLiteral("Quellmark Software"));
}

TEST(BiffWriter, FreeXlReadsEveryText)
{
    const WorkbookLayout layout = longTexts();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.xls"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(biffWorkbookBytes(layout));
    }
    const void *handle = nullptr;
    ASSERT_EQ(freexl_open(QFile::encodeName(path).constData(), &handle), FREEXL_OK);
    const char *name = nullptr;
    ASSERT_EQ(freexl_get_worksheet_name(handle, 0, &name), FREEXL_OK);
    EXPECT_STREQ(name, "Scorelane");
    ASSERT_EQ(freexl_select_active_worksheet(handle, 0), FREEXL_OK);
    unsigned int rows = 0;
    unsigned short columns = 0;
    ASSERT_EQ(freexl_worksheet_dimensions(handle, &rows, &columns), FREEXL_OK);
    EXPECT_EQ(rows, unsigned(layout.rows.size()));
    EXPECT_EQ(columns, 3);
    int mismatches = 0;
    for (unsigned r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            ASSERT_EQ(freexl_get_cell_value(handle, r, c, &value), FREEXL_OK);
            const QString expected = layout.rows[r][c];
            const QString got
                = value.type == FREEXL_CELL_SST_TEXT ? QString::fromUtf8(value.value.text_value) : QString();
            if (expected.isEmpty() ? value.type != FREEXL_CELL_NULL : got != expected) {
                EXPECT_LT(++mismatches, 4) << r << ":" << c << " " << qPrintable(got.left(40));
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    freexl_close(handle);
}

// What python3's xlrd or openpyxl read in a workbook; skips when they are missing.
QJsonObject readWithPython(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(SCORELANE_TEST_DATA "/../exchange/readworkbook.py"), path });
    if (!python.waitForFinished(60'000))
        return { { "error", "python3 did not finish" } };
    if (python.exitCode() == 3 || python.error() == QProcess::FailedToStart)
        return { { "skip", QString::fromUtf8(python.readAllStandardError()) } };
    if (python.exitCode() != 0)
        return { { "error", QString::fromUtf8(python.readAllStandardError()) } };
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

class SavedWorkbook : public ::testing::TestWithParam<WorkbookFormat>
{
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_P(SavedWorkbook, OtherReadersSeeTheLayout)
{
    const bool xls = GetParam() == WorkbookFormat::Xls;
    Protocol protocol(5, 40);
    protocol.grid.setCells(2, 7, QString()); // an empty cell is framed too
    // Whole numbers in plain form become numbers in "Nr.", the marks, "Summe" and
    // "Platz"; anything else stays text, and so do names and clubs.
    protocol.grid.setCells(0, 5, QStringLiteral("007"));
    protocol.grid.setCells(4, 6, QStringLiteral("+8"));
    protocol.grid.setCells(5, 8, QStringLiteral("0"));
    protocol.grid.setCells(1, 9, QStringLiteral("12"));
    protocol.grid.setCells(10, 10, QStringLiteral("1234567890123456"));
    // A ".txt" name still gets a workbook: the caller chose the format.
    const QString file = path("Protokoll.txt");
    SaveWorkbook(protocol.grid, file, GetParam());
    EXPECT_TRUE(readAll(file).startsWith(xls ? QByteArray("\xD0\xCF\x11\xE0") : QByteArray("PK")));

    const QJsonObject read = readWithPython(file);
    if (read.contains("skip"))
        GTEST_SKIP() << "python3 cannot read workbooks: " << qPrintable(read["skip"].toString());
    ASSERT_FALSE(read.contains("error")) << qPrintable(read["error"].toString());

    const WorkbookLayout layout = layoutOf(protocol.grid, ProgramInfo::title());
    EXPECT_EQ(read["sheet"].toString(), layout.sheetName);
    // xlrd does not read the summary information (the container test does), only the
    // name of the last writer.
    EXPECT_EQ(read["author"].toString(), QStringLiteral("Quellmark Software"));
    EXPECT_TRUE(read["row1_bold"].toBool());

    const QJsonArray cells = read["cells"].toArray();
    const QJsonArray styles = read["styles"].toArray();
    ASSERT_EQ(cells.size(), 41);
    const QList<QStringList> shown = protocol.shown();
    for (int r = 0; r < cells.size(); ++r) {
        const QJsonArray row = cells[r].toArray();
        ASSERT_EQ(row.size(), 10) << r;
        for (int c = 0; c < 10; ++c) {
            const QString &text = shown[r][c];
            const bool number = r > 0 && c != 1 && c != 2 && !text.isEmpty() && text.size() <= 15
                && (text == u"0" || !text.startsWith(u'0'))
                && std::all_of(text.begin(), text.end(), [](QChar d) { return d.isDigit(); });
            if (number) {
                EXPECT_TRUE(row[c].isDouble()) << r << ":" << c << " " << qPrintable(text);
                EXPECT_EQ(row[c].toDouble(), text.toDouble()) << r << ":" << c;
            } else {
                EXPECT_TRUE(row[c].isString()) << r << ":" << c << " " << qPrintable(text);
                EXPECT_EQ(row[c].toString(), text) << r << ":" << c;
            }
            const QJsonObject style = styles[r].toArray()[c].toObject();
            EXPECT_EQ(style["bold"].toBool(), r == 0) << r << ":" << c;
            EXPECT_EQ(style["font"].toString(), QStringLiteral("Arial"));
            const QString topLine = r <= 1 ? "hair" : "thin";
            const QString sideLine = r == 0 ? "hair" : "thin";
            const QJsonArray lines = style["borders"].toArray();
            EXPECT_EQ(lines, QJsonArray({ sideLine, sideLine, topLine, sideLine })) << r << ":" << c;
        }
    }
    const QJsonArray widths = read["widths"].toArray();
    ASSERT_EQ(widths.size(), 10);
    for (int c = 0; c < 10; ++c)
        EXPECT_DOUBLE_EQ(widths[c].toDouble(), storedWidth256(layout.columnWidths[c]) / 256.0) << c;
    EXPECT_EQ(layout.columnWidths[0], 4); // "Nr." in bold: 17 px of 7-px digits, plus one
}

TEST_P(SavedWorkbook, FailedSaveLeavesTheEarlierFile)
{
    const QString file = path("Protokoll.xls");
    {
        QFile earlier(file);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier protocol");
    }
    Protocol protocol(7, 200);
    int calls = 0;
    FileIo::setWriteCallForTests([&calls](int, const void *, size_t size) -> ssize_t {
        // Half of the first write lands, then the disk is full.
        if (++calls == 1)
            return ssize_t(size / 2);
        errno = ENOSPC;
        return -1;
    });
    try {
        SaveWorkbook(protocol.grid, file, GetParam());
        ADD_FAILURE() << "the save did not fail";
    } catch (const CommandError &error) {
        EXPECT_EQ(error.text(), QDir::toNativeSeparators(file) + QStringLiteral(": Disk full"));
    }
    FileIo::setWriteCallForTests(nullptr);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(readAll(file), QByteArray("earlier protocol"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "Protokoll.xls" });

    protocol.grid.setCells(1, 5, QString(40'000, u'x'));
    EXPECT_THROW(SaveWorkbook(protocol.grid, file, GetParam()), CommandError);
    EXPECT_EQ(readAll(file), QByteArray("earlier protocol"));
}

INSTANTIATE_TEST_SUITE_P(Formats, SavedWorkbook, ::testing::Values(WorkbookFormat::Xls, WorkbookFormat::Xlsx),
    [](const auto &info) { return info.param == WorkbookFormat::Xls ? "xls" : "xlsx"; });

} // namespace
