#include "scoring/resulttableformat.h"

#include "scoring/resulttable.h"

void resultTableCellFormat(
    TSortGrid *grid, int col, int row, TGridDrawState, TFormatOptions &format, bool &, bool &, bool &)
{
    if (row == 0 || col == ResultTable::ColName || col == ResultTable::ColClub)
        format.AlignmentHorz = taLeftJustify;
    if (row == 0 || row == grid->Row())
        return;
    if (col == ResultTable::ColNumber)
        format.Brush = QColor(192, 192, 192);
    else if (col >= ResultTable::ColFirstMark && col < ResultTable::ColTotal)
        format.Brush = QColor(255, 255, 192);
    else if (col == ResultTable::ColTotal)
        format.Brush = QColor(224, 255, 224);
    else if (col == ResultTable::ColPlace)
        format.Brush = QColor(224, 216, 255);
}
