#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

#include <array>
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
// included. Readers hand the rows in sheet order; once the rows settle the table,
// add() says so and later rows need not be read.
class SheetRows
{
public:
    // row is 1-based. False when no later row is needed.
    bool add(int row, Row &&cells);
    bool done() const { return m_done; }
    const std::vector<Row> &rows() const { return m_rows; }
    // The table rows the block gives, the header included (0 when A1 is empty).
    int tableRows() const;

private:
    std::vector<Row> m_rows;
    int m_last = 0;
    bool m_done = false;
};

// A number as the table shows it: up to 15 significant digits, the locale's decimal
// separator, no thousands separator, the exponent form beyond that.
QString numberText(double value, const QLocale &locale);
// A spreadsheet date serial (days since 1899-12-30, or since 1904-01-01 in the 1904
// system) as the locale's short date; empty when no calendar day has that number.
QString dateText(double serial, bool system1904, const QLocale &locale);
QString dateText(QDate date, const QLocale &locale);
// Whether a number format shows dates: the built-in ones 14 to 22, or a format code
// with a day, month or year part.
bool isDateFormat(int formatId, const QString &formatCode);
// The cell name ("C7") of a 0-based column and a 1-based row, for messages.
QString cellName(int col, int row);

[[noreturn]] void throwNotAWorkbook();
[[noreturn]] void throwDamaged(const QString &what);
[[noreturn]] void throwErrorValue();

// The rows of the first sheet of a workbook held in bytes; the first bytes choose
// the reader. Throws a CommandError when the bytes are no workbook or a damaged one.
SheetRows readRows(const QByteArray &bytes, const QLocale &locale = QLocale());

} // namespace Workbook

// Replaces the table's rows and the header captions of columns 0 to 11 by the first
// worksheet of the workbook fileName, and makes row 1 current. The whole block is
// read and turned into texts first: a failure throws and leaves the table as it was.
void LoadWorkbook(SortGridCore &grid, const QString &fileName);
