#pragma once

#include "grid/sortgrid.h"

// The result table's cell colours and alignment (the main window's OnGetCellFormat):
// header and name and club left-aligned; the header and the current row keep the
// grid's colours; the other rows are coloured by column.
void resultTableCellFormat(
    TSortGrid *grid, int col, int row, TGridDrawState state, TFormatOptions &format, bool &, bool &, bool &);
