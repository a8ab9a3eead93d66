#pragma once

#include "exchange/workbookreader.h"

#include <QString>

#include <chrono>

// FreeXL is C that trusts the file: it reads .xls files in a process of its own
// (scorelane-xlsreader), limited in time and address space, so that a file that
// breaks it gives an error box instead of taking the scoreboard down.
namespace Workbook {

// The first worksheet of a .xls workbook: checked here, read by the reader process.
// Throws a CommandError when the file is damaged or the reader fails in any way.
SheetRows readXlsRows(const QByteArray &bytes, const QLocale &locale);

// The check of a .xls workbook alone (xlscheck.h); throws what readXlsRows would
// throw for a damaged file.
void checkXls(const QByteArray &bytes);

// The rows of the reader process's answer (xlsreply.h), every limit checked, its values
// as the table shows them in the locale; a failure answer throws its message, anything
// malformed throws the damaged-workbook error.
SheetRows parseXlsReply(const QByteArray &reply, const QLocale &locale = QLocale());

// The reader: set by tests; otherwise the one beside the program, then the installed one.
QString xlsReaderProgram();
void setXlsReaderProgram(const QString &path);
// How long the reader may take (10 s; tests shorten it).
void setXlsReaderTimeLimit(std::chrono::milliseconds limit);
// Whether the workbook goes to the reader as a sealed file in memory (the default) or,
// as where the system makes none, through a socket; for tests.
void setXlsSealedInput(bool sealed);

} // namespace Workbook
