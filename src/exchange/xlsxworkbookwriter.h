#pragma once

#include <QByteArray>
#include <QList>

#include <functional>

struct WorkbookLayout;

// The bytes of an Office Open XML workbook (.xlsx) that holds the layout, made by
// libxlsxwriter with its temporary files in a private folder. The column widths are
// the layout's, or, when columnWidths is given, what it returns: it is called once,
// after every cell is written.
QByteArray xlsxWorkbookBytes(
    const WorkbookLayout &layout, const std::function<QList<int>()> &columnWidths = {});
