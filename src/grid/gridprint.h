#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;
class TSortGrid;

// Where the grid's print command prints: the installed printers and a printer for
// the default one. Tests give a fake with no printers or with a PDF file.
class PrinterProvider
{
public:
    virtual ~PrinterProvider() = default;
    virtual QStringList printerNames() const;
    virtual std::unique_ptr<QPrinter> createPrinter() const;
    // A4 in high resolution into a PDF file, for a printout without a printer.
    virtual std::unique_ptr<QPrinter> createPdfPrinter(const QString &fileName) const;
};

// Prints the grid's rows PrintOptions().FromRow..ToRow as a sheet to hand out: on every
// page the page title and the time of printing as the heading, the header row, the rows
// boxed, and "Seite n von m" at the bottom. Only the shown columns are printed, each as
// wide as its widest text, in one font size for the whole sheet: the largest at which
// every column fits the page width; landscape when portrait would need a size that is
// hard to read.
void printGrid(TSortGrid &grid, QPrinter &printer, const QDateTime &printedAt = QDateTime::currentDateTime());
