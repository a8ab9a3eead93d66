#include "exchange/xlsxworkbookwriter.h"

#include "exchange/workbookwriter.h"
#include "platform/commanderror.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <xlsxwriter.h>

namespace {

constexpr lxw_row_t kMaxRows = 1'048'576;

[[noreturn]] void fail(lxw_error error)
{
    throw CommandError(QStringLiteral("Arbeitsmappe kann nicht geschrieben werden: %1")
                           .arg(QString::fromUtf8(lxw_strerror(error))));
}

void check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        fail(error);
}

lxw_format *cellFormat(lxw_workbook *book, bool bold)
{
    lxw_format *format = workbook_add_format(book);
    format_set_font_name(format, "Arial");
    format_set_font_size(format, 10);
    if (bold)
        format_set_bold(format);
    return format;
}

} // namespace

QByteArray xlsxWorkbookBytes(const WorkbookLayout &layout)
{
    if (layout.rows.size() > qsizetype(kMaxRows))
        throw CommandError(QStringLiteral("Tabelle zu groß für eine Arbeitsmappe"));
    QTemporaryDir folder;
    if (!folder.isValid())
        throw CommandError(
            QStringLiteral("Arbeitsmappe kann nicht angelegt werden: %1").arg(folder.errorString()));
    const QByteArray folderPath = QFile::encodeName(folder.path());
    const QString bookPath = folder.filePath(QStringLiteral("book.xlsx"));
    const QByteArray bookPathBytes = QFile::encodeName(bookPath);

    lxw_workbook_options options = {};
    options.tmpdir = const_cast<char *>(folderPath.constData());
    lxw_workbook *book = workbook_new_opt(bookPathBytes.constData(), &options);
    if (!book)
        throw CommandError(QStringLiteral("Arbeitsmappe kann nicht angelegt werden"));
    // Until workbook_close has freed it, the book is ours to free.
    bool closed = false;
    const auto release = qScopeGuard([&] {
        if (!closed)
            lxw_workbook_free(book);
    });

    const QByteArray sheetName = layout.sheetName.toUtf8();
    lxw_worksheet *sheet = workbook_add_worksheet(book, sheetName.constData());
    if (!sheet)
        throw CommandError(QStringLiteral("Ungültiger Tabellenname: %1").arg(layout.sheetName));

    lxw_format *framed = cellFormat(book, false);
    format_set_border(framed, LXW_BORDER_THIN);
    lxw_format *belowHeader = cellFormat(book, false);
    format_set_border(belowHeader, LXW_BORDER_THIN);
    format_set_top(belowHeader, LXW_BORDER_HAIR);
    lxw_format *header = cellFormat(book, true);
    format_set_border(header, LXW_BORDER_HAIR);
    lxw_format *headerRow = cellFormat(book, true);

    check(worksheet_set_row(sheet, 0, LXW_DEF_ROW_HEIGHT, headerRow));
    for (int col = 0; col < layout.columnCount; ++col) {
        const int width = layout.columnWidths.value(col);
        if (width > 0)
            check(worksheet_set_column(sheet, lxw_col_t(col), lxw_col_t(col), width, nullptr));
    }

    QByteArray text;
    for (qsizetype row = 0; row < layout.rows.size(); ++row) {
        lxw_format *format = row == 0 ? header : row == 1 ? belowHeader : framed;
        const QStringList &texts = layout.rows[row];
        for (int col = 0; col < layout.columnCount; ++col) {
            const lxw_row_t r = lxw_row_t(row);
            const lxw_col_t c = lxw_col_t(col);
            double number = 0;
            if (texts[col].isEmpty()) {
                check(worksheet_write_blank(sheet, r, c, format));
            } else if (layout.isNumber(int(row), col, &number)) {
                check(worksheet_write_number(sheet, r, c, number, format));
            } else {
                text = texts[col].toUtf8();
                check(worksheet_write_string(sheet, r, c, text.constData(), format));
            }
        }
    }

    const QByteArray author = layout.author.toUtf8();
    lxw_doc_properties properties = {};
    properties.author = const_cast<char *>(author.constData());
    check(workbook_set_properties(book, &properties));

    closed = true;
    check(workbook_close(book));

    QFile written(bookPath);
    if (!written.open(QIODevice::ReadOnly))
        throw CommandError(
            QStringLiteral("Arbeitsmappe kann nicht gelesen werden: %1").arg(written.errorString()));
    QByteArray bytes = written.readAll();
    if (written.error() != QFileDevice::NoError || bytes.size() != written.size())
        throw CommandError(
            QStringLiteral("Arbeitsmappe kann nicht gelesen werden: %1").arg(written.errorString()));
    return bytes;
}
