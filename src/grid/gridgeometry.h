#pragma once

#include "platform/alignment.h"

#include <QList>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

enum TVertAlignment
{
    taTopJustify,
    taBottomJustify,
    taMiddle
};

enum TCellBevelStyle
{
    cbNone,
    cbRaised,
    cbLowered
};

// The arithmetic of the sortable grid, kept apart from the widget so that it can be
// checked without a window. Widths are screen pixels; a column width of -1 hides the
// column: it takes no room and no grid line.
namespace GridGeometry {

constexpr int kLineWidth = 1;
constexpr int kSortArrowRoom = 12;
constexpr int kSortArrowShift = 10;
constexpr int kButtonWidth = 16;

using TextWidth = std::function<int(const QString &)>;

// Room for a header text: the column width - 1, or - 12 next to the sort arrow.
int headerTextRoom(int colWidth, bool sortArrowShown);

// A header text wider than its room ends in two full stops, dropping characters
// until it fits or only three are left. One-character texts stay as they are.
QString shortenHeaderText(const QString &text, int room, const TextWidth &width);

// Offsets of a text inside its cell; negative when the text is wider than the cell.
int textOffsetHorz(TAlignment alignment, int cellWidth, int textWidth);
int textOffsetVert(TVertAlignment alignment, int cellHeight, int textHeight);

// Where the sort arrow (8 x 7), the check box (10 x 10) and the cell buttons go.
QRect sortArrowRect(const QRect &cell, int headerHeight);
QRect checkBoxRect(const QRect &cell, int rowHeight);
QRect cellButtonRect(const QRect &cell);

// A shown column: its x in the client area and its width.
struct ShownColumn
{
    int col = 0;
    int left = 0;
    int width = 0;
    bool operator==(const ShownColumn &) const = default;
};

// The columns from leftCol on that start inside the client width, left to right, each
// followed by its grid line; hidden columns are left out.
QList<ShownColumn> shownColumns(const QList<int> &widths, int leftCol, int clientWidth);

// Columns from leftCol on that fit into the client width completely; hidden
// columns between them count as visible since they take no room.
int visibleColCount(const QList<int> &widths, int leftCol, int clientWidth);
// Data rows that fit completely below the header row.
int visibleRowCapacity(int clientHeight, int rowHeight);

// The last column's width after a resize, or nothing when it keeps its width.
std::optional<int> lastColumnStretch(int gridWidth, const QList<int> &widths, int leftCol, int visibleCols);

// ScrollToCell: the top row that shows the row second from the top, or the last
// page when the row lies in it.
int scrollToCellTopRow(int row, int rowCount, int visibleRows);
// ScrollToCell: the leftmost column that brings the column into view.
int scrollToCellLeftCol(int col, int leftCol, const QList<int> &widths, int clientWidth);
// The largest leftmost column that still fills the client width.
int maxLeftCol(const QList<int> &widths, int clientWidth);

// Thumb sizes of proportional scroll bars.
int verticalPageSize(int visibleRows, int rowCount, int range);
int horizontalPageSize(int visibleCols, int colCount, int range);

// Column sizing grabs the grid line that ends a column from 3 pixels before it to
// 4 pixels after it. rightEdges[i] is the x of the line after visible column i.
int columnSizingHit(int x, const QList<int> &rightEdges);

// Double click on a header border: the column to auto-size, or -1. cellLeft and
// cellRight are the x of the first and the last pixel of the clicked cell.
int autoSizeTarget(int x, int col, int cellLeft, int cellRight, int previousCol);

// Column auto-size: the widest text plus the width of "X", or the width of "xx".
int autoSizeWidth(const QList<int> &textWidths, int widthOfX, int widthOfXX);

// The printed result sheet. Font sizes are in tenths of a point, widths in printer pixels.

// The largest size from smallest to largest at which fits(size) holds, where fits holds
// for every size below one that fits; smallest when none fits.
int largestFittingSize(int smallest, int largest, const std::function<bool(int)> &fits);

// Portrait, unless its size is below readable and landscape allows a larger one.
bool sheetInLandscape(int portraitSize, int landscapeSize, int readableSize);

// Columns that together are wider than room: the widest gives up the excess (its texts
// are then cut short). Widths that fit come back unchanged.
QList<int> fitColumnWidths(QList<int> widths, int room);

// Rows fromRow..toRow split into pages of rowsPerPage (at least one a page); one empty
// page when there are no rows, so that the header is still printed.
QList<QList<int>> pageRows(int fromRow, int toRow, int rowsPerPage);

// The footer of a page: "Seite 2 von 5".
QString printFooter(int page, int pageCount);

} // namespace GridGeometry
