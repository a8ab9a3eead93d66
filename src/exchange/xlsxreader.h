#pragma once

#include "exchange/workbookreader.h"

namespace Workbook {

// Unpacked parts larger than these are refused: a small file may unpack to gigabytes.
constexpr qint64 kMaxSheetXmlBytes = qint64(256) << 20;
constexpr qint64 kMaxPartXmlBytes = qint64(64) << 20;

// The first worksheet of an Office Open XML workbook (a zip archive in bytes).
SheetRows readXlsxRows(const QByteArray &bytes, const QLocale &locale);

} // namespace Workbook
