#pragma once

#include "grid/gridprint.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QStringList>

// Printers for tests: the names given, and a printer that writes an A4 PDF file.
class PdfPrinters : public PrinterProvider
{
public:
    PdfPrinters(QStringList names, QString file)
        : m_names(std::move(names))
        , m_file(std::move(file))
    { }
    QStringList printerNames() const override { return m_names; }
    std::unique_ptr<QPrinter> createPrinter() const override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(m_file);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        return printer;
    }

private:
    QStringList m_names;
    QString m_file;
};

// Where a test prints to: its process's own runtime folder (tests/support/testmain.cpp), as
// ctest runs each test alone and within its whole binary at the same time.
inline QString printedFile(const QString &name)
{
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(name);
}

// The text of a PDF file as pdftotext reads it.
inline QString pdfText(const QString &file)
{
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), { file, QStringLiteral("-") });
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}
