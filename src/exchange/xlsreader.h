#pragma once

#include "exchange/workbookreader.h"

namespace Workbook {

// The first worksheet of a BIFF workbook (.xls, a compound file in bytes). The
// container and the records are checked here before FreeXL sees them, so that
// FreeXL only ever sizes its tables from claims that the bytes bear out. FreeXL
// still runs on the file's own word, so only the reader process calls this; the
// program reads .xls files through readXlsRows (xlsreaderprocess.h).
SheetRows readXlsRowsInProcess(const QByteArray &bytes, const QLocale &locale);

// The check alone; throws what readXlsRows would throw for a damaged file.
void checkXls(const QByteArray &bytes);

} // namespace Workbook
