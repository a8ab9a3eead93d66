#pragma once

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

// Prints the grid's rows PrintOptions().FromRow..ToRow: the page title centred at the
// top, the header row on every page, boxed cells, strips of columns that do not fit
// the page width, and "Seite " with the page number at the bottom right.
void printGrid(TSortGrid &grid, QPrinter &printer);
