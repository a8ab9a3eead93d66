#include "grid/gridgeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace GridGeometry {

int headerTextRoom(int colWidth, bool sortArrowShown)
{
    return colWidth - (sortArrowShown ? kSortArrowRoom : 1);
}

QString shortenHeaderText(const QString &text, int room, const TextWidth &width)
{
    if (text.size() <= 1 || width(text) <= room)
        return text;
    QString shortened = text;
    shortened.replace(shortened.size() - 2, 2, QStringLiteral(".."));
    while (width(shortened) > room && shortened.size() > 3) {
        shortened.chop(1);
        shortened[shortened.size() - 2] = u'.';
    }
    return shortened;
}

int textOffsetHorz(TAlignment alignment, int cellWidth, int textWidth)
{
    switch (alignment) {
    case taRightJustify:
        return cellWidth - textWidth - 2;
    case taCenter:
        return (cellWidth - textWidth) / 2; // C++ division rounds toward zero
    case taLeftJustify:
        break;
    }
    return 2;
}

int textOffsetVert(TVertAlignment alignment, int cellHeight, int textHeight)
{
    switch (alignment) {
    case taBottomJustify:
        return cellHeight - textHeight - 3;
    case taMiddle:
        return (cellHeight - textHeight) / 2;
    case taTopJustify:
        break;
    }
    return 2;
}

QRect sortArrowRect(const QRect &cell, int headerHeight)
{
    const int width = cell.width() <= 10 ? cell.width() - 3 : 8;
    return QRect(cell.left() + 3, headerHeight / 2 - 4, width, 7);
}

QRect checkBoxRect(const QRect &cell, int rowHeight)
{
    const int width = cell.width() <= 10 ? cell.width() - 1 : 10;
    return QRect(cell.left() + (cell.width() - width) / 2, cell.top() + rowHeight / 2 - 5, width, 10);
}

QRect cellButtonRect(const QRect &cell)
{
    if (cell.width() < kButtonWidth)
        return cell;
    return QRect(cell.right() + 1 - kButtonWidth, cell.top(), kButtonWidth, cell.height());
}

QList<ShownColumn> shownColumns(const QList<int> &widths, int leftCol, int clientWidth)
{
    QList<ShownColumn> columns;
    int x = 0;
    for (int c = std::max(leftCol, 0); c < widths.size() && x < clientWidth; ++c) {
        const int width = widths[c];
        if (width < 0)
            continue;
        columns.append(ShownColumn { c, x, width });
        x += width + kLineWidth;
    }
    return columns;
}

int visibleColCount(const QList<int> &widths, int leftCol, int clientWidth)
{
    int count = 0;
    int x = 0;
    for (int c = std::max(leftCol, 0); c < widths.size(); ++c) {
        const int width = widths[c];
        if (width < 0) {
            ++count;
            continue;
        }
        if (x + width + kLineWidth > clientWidth)
            break;
        x += width + kLineWidth;
        ++count;
    }
    return count;
}

int visibleRowCapacity(int clientHeight, int rowHeight)
{
    const int extent = rowHeight + kLineWidth;
    if (extent <= 0)
        return 0;
    return std::max(0, (clientHeight - extent) / extent);
}

std::optional<int> lastColumnStretch(int gridWidth, const QList<int> &widths, int leftCol, int visibleCols)
{
    const int count = int(widths.size());
    if (count == 0 || leftCol + visibleCols != count)
        return std::nullopt;
    int sum = 0;
    for (int c = leftCol; c <= count - 2; ++c)
        sum += widths[c];
    const int width = gridWidth - sum - visibleCols - 3;
    if (width <= 0)
        return std::nullopt;
    return width;
}

int scrollToCellTopRow(int row, int rowCount, int visibleRows)
{
    int top = std::max(1, rowCount - visibleRows);
    if (top >= row)
        top = std::max(1, row - 1);
    return top;
}

int scrollToCellLeftCol(int col, int leftCol, const QList<int> &widths, int clientWidth)
{
    const int count = int(widths.size());
    if (count == 0)
        return 0;
    col = std::clamp(col, 0, count - 1);
    if (col < leftCol)
        return col;
    while (col >= leftCol + std::max(1, visibleColCount(widths, leftCol, clientWidth)) && leftCol < count - 1)
        ++leftCol;
    return leftCol;
}

int maxLeftCol(const QList<int> &widths, int clientWidth)
{
    const int count = int(widths.size());
    for (int left = 0; left < count; ++left) {
        if (left + visibleColCount(widths, left, clientWidth) >= count)
            return left;
    }
    return std::max(0, count - 1);
}

int verticalPageSize(int visibleRows, int rowCount, int range)
{
    if (rowCount <= 0)
        return 1;
    return std::max(1, int(std::lround(double(visibleRows + 1) / rowCount * range)));
}

int horizontalPageSize(int visibleCols, int colCount, int range)
{
    if (colCount <= 0)
        return 1;
    return std::max(1, int(std::lround(double(visibleCols) / colCount * range)));
}

int columnSizingHit(int x, const QList<int> &rightEdges)
{
    for (int i = 0; i < rightEdges.size(); ++i) {
        if (x >= rightEdges[i] - 3 && x <= rightEdges[i] + 4)
            return i;
    }
    return -1;
}

int autoSizeTarget(int x, int col, int cellLeft, int cellRight, int previousCol)
{
    if (std::abs(x - cellLeft) > 5 && std::abs(x - cellRight) > 5)
        return -1;
    if (std::abs(x - (cellRight + kLineWidth)) <= 3)
        return col;
    if (previousCol >= 0 && std::abs(x - (cellLeft - kLineWidth)) <= 3)
        return previousCol;
    return -1;
}

int autoSizeWidth(const QList<int> &textWidths, int widthOfX, int widthOfXX)
{
    int widest = 0;
    for (int width : textWidths)
        widest = std::max(widest, width);
    return widest == 0 ? widthOfXX : widest + widthOfX;
}

int largestFittingSize(int smallest, int largest, const std::function<bool(int)> &fits)
{
    int low = smallest; // fits, or nothing does
    int high = largest;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (fits(middle))
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

bool sheetInLandscape(int portraitSize, int landscapeSize, int readableSize)
{
    return portraitSize < readableSize && landscapeSize > portraitSize;
}

QList<int> fitColumnWidths(QList<int> widths, int room)
{
    int total = 0;
    for (int width : widths)
        total += width;
    if (total <= room || widths.isEmpty())
        return widths;
    const auto widest = std::max_element(widths.begin(), widths.end());
    *widest = std::max(1, *widest - (total - room));
    return widths;
}

QList<QList<int>> pageRows(int fromRow, int toRow, int rowsPerPage)
{
    rowsPerPage = std::max(1, rowsPerPage);
    QList<QList<int>> pages { QList<int>() };
    for (int row = fromRow; row <= toRow; ++row) {
        if (pages.last().size() == rowsPerPage)
            pages.append(QList<int>());
        pages.last().append(row);
    }
    return pages;
}

QString printFooter(int page, int pageCount)
{
    return QStringLiteral("Seite %1 von %2").arg(page).arg(pageCount);
}

} // namespace GridGeometry
