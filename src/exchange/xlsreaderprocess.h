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

// The reader process's answer on standard output. A line "scorelane-xls 1", then
// one line per row: "r" and 13 tab-separated cells, each either its text with \\,
// \t, \n and \r escaped, or \e for an error value; then "end" and the row count.
// A failure instead gives "fail" and the message.
QByteArray xlsReply(const SheetRows &sheet);
QByteArray xlsFailureReply(const QString &message);
// The rows of an answer, every limit checked; a failure answer throws its message,
// anything malformed throws the damaged-workbook error.
SheetRows parseXlsReply(const QByteArray &reply);

// The reader: set by tests; otherwise the one beside the program, then the installed one.
QString xlsReaderProgram();
void setXlsReaderProgram(const QString &path);
// How long the reader may take (10 s; tests shorten it).
void setXlsReaderTimeLimit(std::chrono::milliseconds limit);

} // namespace Workbook
