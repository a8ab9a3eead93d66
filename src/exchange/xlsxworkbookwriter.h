#pragma once

#include <QByteArray>
#include <QList>

#include <functional>

struct WorkbookLayout;

// The bytes of an Office Open XML workbook (.xlsx) that holds the layout, made by
// libxlsxwriter with its temporary files in a private folder.
// measureColumns, when given, is called on this thread while another hands the cells to
// libxlsxwriter, and its widths stand for layout.columnWidths.
QByteArray xlsxWorkbookBytes(
    const WorkbookLayout &layout, const std::function<QList<int>()> &measureColumns = {});
