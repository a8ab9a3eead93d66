#pragma once

#include <QByteArray>

struct WorkbookLayout;

// The bytes of a binary Excel workbook (BIFF8 in a compound file) that holds the
// layout: one worksheet of texts in the shared string table, its frame and bold first
// row through cell formats, the fitted column widths, and the author in the summary
// information.
QByteArray biffWorkbookBytes(const WorkbookLayout &layout);

// The workbook stream alone, and the summary information stream alone.
QByteArray biffWorkbookStream(const WorkbookLayout &layout);
QByteArray biffSummaryInformation(const QString &author);
