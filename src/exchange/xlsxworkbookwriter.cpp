#include "exchange/xlsxworkbookwriter.h"

#include "exchange/workbookwriter.h"
#include "platform/commanderror.h"
#include "platform/sidethread.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

// libxlsxwriter writes every part of the book to a temporary file before it packs them:
// in memory (/dev/shm) when there is room enough there for far more than the book's
// texts, else in the temporary folder on disk. On disk, each of those files is a change to
// the file system that the save's flush to disk then waits for.
bool memoryHasRoom(const WorkbookLayout &layout)
{
    qint64 texts = 0;
    for (const QStringList &row : layout.rows) {
        for (const QString &text : row)
            texts += text.size();
    }
    // Each cell's markup takes some 50 bytes, and a character at most 3.
    const qint64 needed = qint64(layout.rows.size()) * layout.columnCount * 64 + texts * 4;
    struct statvfs info
    {
    };
    return ::statvfs("/dev/shm", &info) == 0 && qint64(info.f_bavail) * qint64(info.f_frsize) > 4 * needed;
}

// A file in memory for the finished book: libxlsxwriter writes it by name, and its bytes
// are read from memory instead of from a file on disk.
class MemoryFile
{
public:
    MemoryFile()
        : m_fd(::memfd_create("workbook", MFD_CLOEXEC))
    { }
    ~MemoryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    bool isValid() const { return m_fd >= 0; }
    QString path() const { return QStringLiteral("/proc/self/fd/") + QString::number(m_fd); }
    // Its whole content; empty with a message in error when it cannot be read.
    QByteArray bytes(QString &error) const
    {
        struct stat info
        {
        };
        if (::fstat(m_fd, &info) != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return QByteArray();
        }
        QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t got = ::pread(m_fd, bytes.data() + at, size_t(bytes.size() - at), off_t(at));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                error = got < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("zu kurz");
                return QByteArray();
            }
            at += got;
        }
        return bytes;
    }

private:
    int m_fd;
};

} // namespace

QByteArray xlsxWorkbookBytes(const WorkbookLayout &layout, const std::function<QList<int>()> &measureColumns)
{
    if (layout.rows.size() > qsizetype(kMaxRows))
        throw CommandError(QStringLiteral("Tabelle zu groß für eine Arbeitsmappe"));
    std::optional<QTemporaryDir> inMemory;
    if (memoryHasRoom(layout))
        inMemory.emplace(QStringLiteral("/dev/shm/scorelane-XXXXXX"));
    std::optional<QTemporaryDir> onDisk;
    if (!inMemory || !inMemory->isValid())
        onDisk.emplace();
    const QTemporaryDir &folder = onDisk ? *onDisk : *inMemory;
    if (!folder.isValid())
        throw CommandError(
            QStringLiteral("Arbeitsmappe kann nicht angelegt werden: %1").arg(folder.errorString()));
    const QByteArray folderPath = QFile::encodeName(folder.path());
    // Without files in memory, the book goes into the private folder.
    const MemoryFile memory;
    const QString bookPath = memory.isValid() ? memory.path() : folder.filePath(QStringLiteral("book.xlsx"));
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
    // The cells go to libxlsxwriter on a thread of its own while the columns are measured
    // here; the book is touched again only once that thread is done.
    SideTask<void> cells([&] {
        QByteArray text;
        for (qsizetype row = 0; row < layout.rows.size(); ++row) {
            lxw_format *format = row == 0 ? header : row == 1 ? belowHeader : framed;
            const QStringList &texts = layout.rows[row];
            const lxw_row_t r = lxw_row_t(row);
            for (int col = 0; col < layout.columnCount; ++col) {
                const lxw_col_t c = lxw_col_t(col);
                const QString &cell = texts[col];
                double number = 0;
                if (cell.isEmpty()) {
                    check(worksheet_write_blank(sheet, r, c, format));
                } else if (layout.isNumber(int(row), col, &number)) {
                    check(worksheet_write_number(sheet, r, c, number, format));
                } else {
                    text = cell.toUtf8();
                    check(worksheet_write_string(sheet, r, c, text.constData(), format));
                }
            }
        }
    });
    const QList<int> widths = measureColumns ? measureColumns() : layout.columnWidths;
    cells.get();
    for (int col = 0; col < layout.columnCount; ++col) {
        const int width = widths.value(col);
        if (width > 0)
            check(worksheet_set_column(sheet, lxw_col_t(col), lxw_col_t(col), width, nullptr));
    }

    const QByteArray author = layout.author.toUtf8();
    lxw_doc_properties properties = {};
    properties.author = const_cast<char *>(author.constData());
    check(workbook_set_properties(book, &properties));

    closed = true;
    check(workbook_close(book));

    if (memory.isValid()) {
        QString error;
        QByteArray bytes = memory.bytes(error);
        if (!error.isEmpty())
            throw CommandError(QStringLiteral("Arbeitsmappe kann nicht gelesen werden: %1").arg(error));
        return bytes;
    }
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
