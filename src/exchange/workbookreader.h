#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class SortGridCore;

// What the workbook readers share: the block of the first sheet, the texts of its
// values, and the failures they raise.
namespace Workbook {

constexpr int kColumns = 13; // A to M, as many as the table has
constexpr int kMaxRows = 1'000'001; // the header and the text reader's row limit
constexpr int kMaxCellText = 32767; // the most a spreadsheet cell holds
// Workbook files larger than this are refused before anything is unpacked.
constexpr qint64 kMaxFileBytes = qint64(256) << 20;

struct Cell
{
    QString text;
    bool error = false; // an error value of the spreadsheet: it has no text
};
using Row = std::array<Cell, kColumns>;

// The sheet rows from row 1 down to the first whose column A is empty, that one
// included. Readers hand the rows in sheet order; after that row they hand on until a
// row with content shows that the table was cut short, or the sheet ends. add() says
// when no later row is needed.
class SheetRows
{
public:
    // row is 1-based. False when no later row is needed.
    bool add(int row, Row &&cells);
    // Room for rows before they come, when their count is known.
    void reserve(size_t rows) { m_rows.reserve(rows); }
    bool done() const { return m_done; }
    const std::vector<Row> &rows() const { return m_rows; }
    // The table rows the block gives, the header included (0 when A1 is empty).
    int tableRows() const;
    // The sheet row that ended the table: the first one whose column A is empty.
    int stopRow() const { return tableRows() + 1; }
    // Whether that row or one below it holds anything: competitors left unread.
    bool contentBelow() const { return m_contentBelow; }
    void setContentBelow() { m_contentBelow = true; }

private:
    bool noteBelow(const Row &cells);

    std::vector<Row> m_rows;
    int m_last = 0;
    bool m_done = false;
    bool m_contentBelow = false;
};

// When sheet row 1 holds the program's own captions, the table column of each sheet
// column from A on: "Nr.", "Name", "Verein", "J.1" to "J.k" (k from 0 to 7), then
// optionally "Summe" and "Platz", without gaps, and nothing else in the row.
struct OwnCaptions
{
    std::vector<int> tableColumns;
    int judges = 0; // k
};
std::optional<OwnCaptions> ownCaptions(const Row &header);
// The program's caption of a table column 0 to 11.
QString ownCaption(int tableColumn);

// A text of the sheet held in a cell longer than a workbook cell holds.
[[noreturn]] void throwTooLong(int col, int row);
// The FreeXL form of a time ("12:30:00"), date ("2024-03-09") or date and time
// ("2024-03-09 12:30:00") as the table shows it: the locale's short date and short time.
QString dateTimeText(const QString &freexlText, const QLocale &locale);
// A spreadsheet serial number under a time or date-and-time format.
QString timeText(double serial, bool system1904, bool withDate, const QLocale &locale);

// A number as the table shows it: up to 15 significant digits, the locale's decimal
// separator, no thousands separator, the exponent form beyond that.
QString numberText(double value, const QLocale &locale);
// A spreadsheet date serial (days since 1899-12-30, or since 1904-01-01 in the 1904
// system) as the locale's short date; empty when no calendar day has that number.
QString dateText(double serial, bool system1904, const QLocale &locale);
QString dateText(QDate date, const QLocale &locale);
// What a number format shows: a date (the built-in ones 14 to 17, or a format code
// with a day, month or year part), a time of day (18 to 21, 45 to 47, a code with
// hours or seconds), both (22, a code with both), or a plain number.
enum class DateKind
{
    None,
    Date,
    Time,
    DateTime,
};
DateKind dateKind(int formatId, const QString &formatCode);
inline bool isDateFormat(int formatId, const QString &formatCode)
{
    return dateKind(formatId, formatCode) != DateKind::None;
}
// The cell name ("C7") of a 0-based column and a 1-based row, for messages.
QString cellName(int col, int row);

[[noreturn]] void throwNotAWorkbook();
[[noreturn]] void throwDamaged(const QString &what);
[[noreturn]] void throwErrorValue();

// The rows of the first sheet of a workbook held in bytes; the first bytes choose
// the reader. Throws a CommandError when the bytes are no workbook or a damaged one.
SheetRows readRows(const QByteArray &bytes, const QLocale &locale = QLocale());

} // namespace Workbook

// What an open of a workbook has to tell the operator afterwards.
struct WorkbookLoad
{
    int competitors = 0; // data rows read
    int stopRow = 0; // the sheet row whose empty column A ended the reading
    bool contentBelow = false; // that row or a later one holds something
    int judges = 0; // judges named by the program's own captions, 0 when it has none

    // The German note for the operator, empty when there is nothing to say: rows left
    // unread, and a judge count (3 to 7) other than the one set.
    QString note(int judgeCount) const;
};

// Replaces the table's rows and the header captions of columns 0 to 11 by the first
// worksheet of the workbook fileName, and makes row 1 current. The whole block is
// read and turned into texts first: a failure throws and leaves the table as it was.
// A sheet with the program's own captions in row 1 fills the columns of those
// captions and leaves the table's header as it is; any other sheet is taken by position.
WorkbookLoad LoadWorkbook(SortGridCore &grid, const QString &fileName);
