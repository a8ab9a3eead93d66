#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class SortGridCore;

// What a saved workbook holds, the same for both file formats: one block of texts
// from A1, framed with thin lines, the first row bold with hairlines, the columns
// fitted to their texts.
struct WorkbookLayout
{
    static constexpr int kMaxCellLength = 32'767;
    static constexpr int kMaxColumnWidth = 255;
    static constexpr int kThinBorder = 1; // both file formats number the line styles alike
    static constexpr int kHairBorder = 7;

    QString sheetName;
    QString author;
    int columnCount = 0; // the block's width; trailing columns may stay empty
    QList<QStringList> rows; // rows[r][c]; an empty text is a framed empty cell
    QList<int> columnWidths; // in characters, one per block column; 0 keeps the default width
    // Block columns whose whole numbers are stored as numbers ("Nr.", the marks, "Summe",
    // "Platz"), so that a spreadsheet sorts them as numbers.
    QList<bool> numberColumns;

    // Whether the cell is stored as a number, and its value: a data row of a number
    // column, and a text of digits without sign or leading zero ("0" itself is one), at
    // most 15 of them, so that it reads back as the same text.
    bool isNumber(int row, int col, double *value = nullptr) const;
};

enum class WorkbookFormat
{
    Xls, // BIFF8, the binary workbook of Excel 97 to 2003
    Xlsx, // Office Open XML
};

namespace WorkbookWriter {

// The program title as a sheet name: without []:*?/\ and the quote that may not
// open or close one, cut to 31 characters; "Tabelle1" when nothing is left.
QString sheetName(const QString &title);

// Width in characters for a column whose widest text is widestPixels wide, with
// digits at most digitPixels wide: the digits it takes, rounded up, plus one;
// at most 255; 0 (the default width) for a column without text.
int widthInCharacters(int widestPixels, int digitPixels);

// Fits each column of the block to its texts, measured in Arial 10 (Liberation
// Sans stands in for it), the first row in bold.
QList<int> fittedColumnWidths(const QList<QStringList> &rows, int columnCount);

enum class ColumnWidths
{
    Fitted,
    Left, // columnWidths stays empty, for the caller to fit
};

// The layout of the table: table rows from 0 on, columns 0 to ColCount-2 whose width
// is 0 or more, packed from A; a column of width 0 adds an empty column at the end.
// A text longer than a workbook cell holds fails with a CommandError.
WorkbookLayout layoutOf(
    const SortGridCore &grid, const QString &programTitle, ColumnWidths widths = ColumnWidths::Fitted);

// Stored column width in 1/256 of a character, as Excel keeps it: the character
// count with the cell's 5 pixels of margin, for a 7-pixel digit.
int storedWidth256(int characters);

} // namespace WorkbookWriter

// Creates a workbook from the table and stores it as fileName in the given format,
// replacing the file only when every byte is written: a failure leaves an earlier
// file as it was and throws a CommandError (for I/O, the path with the error text).
void SaveWorkbook(const SortGridCore &grid, const QString &fileName, WorkbookFormat format);
