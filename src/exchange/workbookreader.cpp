#include "exchange/workbookreader.h"

#include "exchange/xlsreaderprocess.h"
#include "exchange/xlsxreader.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"

#include <QDate>
#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Workbook {

bool SheetRows::add(int row, Row &&cells)
{
    if (m_done)
        return false;
    if (row <= m_last)
        throwDamaged(QStringLiteral("Zeile %1 steht nach Zeile %2").arg(row).arg(m_last));
    if (row != m_last + 1) {
        // The rows between are empty, so their column A ends the table.
        m_done = true;
        return false;
    }
    m_last = row;
    if (cells[0].error)
        throwErrorValue();
    const bool ends = cells[0].text.isEmpty();
    if (!ends && int(m_rows.size()) >= kMaxRows)
        throw CommandError(QStringLiteral("Out of memory"));
    m_rows.push_back(std::move(cells));
    m_done = ends;
    return !ends;
}

int SheetRows::tableRows() const
{
    const int rows = int(m_rows.size());
    return rows > 0 && m_rows.back()[0].text.isEmpty() ? rows - 1 : rows;
}

QString numberText(double value, const QLocale &locale)
{
    // Marks, totals, places and start numbers are whole: they need no locale.
    if (value == std::trunc(value) && std::abs(value) < 1e15 && !(value == 0 && std::signbit(value)))
        return QString::number(qint64(value));
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', 15);
}

QString dateText(QDate date, const QLocale &locale)
{
    return date.isValid() ? locale.toString(date, QLocale::ShortFormat) : QString();
}

QString dateText(double serial, bool system1904, const QLocale &locale)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466) // after 9999-12-31
        return QString();
    const auto days = qint64(std::floor(serial));
    if (system1904)
        return dateText(QDate(1904, 1, 1).addDays(days), locale);
    // The 1900 system counts a 29 February 1900 that never was: serials below 61
    // are one day later than the count from 1899-12-30 says.
    return dateText(QDate(1899, 12, days >= 1 && days < 61 ? 31 : 30).addDays(days), locale);
}

bool isDateFormat(int formatId, const QString &formatCode)
{
    if (formatId >= 14 && formatId <= 22)
        return true;
    if (formatId < 164 && formatCode.isEmpty())
        return false;
    // Quoted texts, escaped characters and [colour] or [$-407] sections show no date.
    bool inQuote = false;
    bool inBracket = false;
    bool month = false;
    bool time = false;
    for (qsizetype i = 0; i < formatCode.size(); ++i) {
        const QChar c = formatCode.at(i).toLower();
        if (inQuote) {
            inQuote = c != u'"';
            continue;
        }
        if (inBracket) {
            inBracket = c != u']';
            continue;
        }
        if (c == u'"')
            inQuote = true;
        else if (c == u'[')
            inBracket = true;
        else if (c == u'\\' || c == u'_' || c == u'*')
            ++i;
        else if (c == u'd' || c == u'y')
            return true;
        else if (c == u'm')
            month = true;
        else if (c == u'h' || c == u's')
            time = true;
    }
    // "mm" beside hours or seconds means minutes.
    return month && !time;
}

QString cellName(int col, int row)
{
    QString letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

void throwNotAWorkbook()
{
    throw CommandError(QStringLiteral("Datei ist keine Arbeitsmappe"));
}

void throwDamaged(const QString &what)
{
    throw CommandError(QStringLiteral("Arbeitsmappe ist beschädigt: ") + what);
}

void throwErrorValue()
{
    throw CommandError(QStringLiteral("Could not convert variant of type (Error) into type (String)"));
}

SheetRows readRows(const QByteArray &bytes, const QLocale &locale)
{
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        return readXlsRows(bytes, locale);
    if (bytes.startsWith("PK"))
        return readXlsxRows(bytes, locale);
    throwNotAWorkbook();
}

} // namespace Workbook

namespace {

[[noreturn]] void throwIoError(const QString &fileName, int error)
{
    throw CommandError(fileName + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
}

// The whole file: a workbook is unpacked from memory, and FreeXL gets exactly the
// bytes that were checked.
QByteArray readWorkbookFile(const QString &fileName)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throwIoError(fileName, errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        throwIoError(fileName, errno);
    if (S_ISDIR(info.st_mode))
        throwIoError(fileName, EISDIR);
    if (info.st_size > Workbook::kMaxFileBytes)
        throw CommandError(
            QStringLiteral("Arbeitsmappe ist zu groß: mehr als %1 MiB").arg(Workbook::kMaxFileBytes >> 20));
    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwIoError(fileName, errno);
        }
        if (got == 0)
            break;
        if (bytes.size() + got > Workbook::kMaxFileBytes)
            throw CommandError(QStringLiteral("Arbeitsmappe ist zu groß: mehr als %1 MiB")
                                   .arg(Workbook::kMaxFileBytes >> 20));
        bytes.append(buffer, got);
    }
    return bytes;
}

} // namespace

void LoadWorkbook(SortGridCore &grid, const QString &fileName)
{
    const Workbook::SheetRows sheet = Workbook::readRows(readWorkbookFile(fileName));
    const std::vector<Workbook::Row> &rows = sheet.rows();

    // Every text is settled before the table changes: an error value fails here.
    const int taken = sheet.tableRows();
    const int filled = std::max(taken, 1); // the grid keeps its header row
    constexpr int kTextColumns = Workbook::kColumns - 1; // column M is read but not used
    for (int r = 0; r < filled && r < int(rows.size()); ++r) {
        for (int col = 0; col < kTextColumns; ++col) {
            if (rows[size_t(r)][size_t(col)].error)
                Workbook::throwErrorValue();
        }
    }

    grid.setRowCount(taken);
    static const QString kEmpty;
    for (int r = 0; r < grid.RowCount(); ++r) {
        for (int col = 0; col < kTextColumns; ++col)
            grid.setCells(col, r, r < int(rows.size()) ? rows[size_t(r)][size_t(col)].text : kEmpty);
        if (r > 0) {
            for (int col = 0; col < grid.ColCount(); ++col) {
                if (grid.Objects(col, r))
                    grid.setObjects(col, r, nullptr);
            }
        }
    }
    // A header-only table has no row 1 to select.
    if (grid.RowCount() > 1) {
        grid.MoveCurrent(0, 1);
        grid.setSelection(GridRect { 0, 1, grid.ColCount() - 1, 1 });
    }
}
