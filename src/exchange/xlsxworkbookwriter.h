#pragma once

#include <QByteArray>

struct WorkbookLayout;

// The bytes of an Office Open XML workbook (.xlsx) that holds the layout, made by
// libxlsxwriter with its temporary files in a private folder.
QByteArray xlsxWorkbookBytes(const WorkbookLayout &layout);
