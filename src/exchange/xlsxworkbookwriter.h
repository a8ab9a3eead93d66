#pragma once

#include <QByteArray>

struct WorkbookLayout;

// The bytes of an Office Open XML workbook (.xlsx) that holds the layout, made by
// libxlsxwriter in a private temporary folder: it writes only to files of its own.
QByteArray xlsxWorkbookBytes(const WorkbookLayout &layout);
