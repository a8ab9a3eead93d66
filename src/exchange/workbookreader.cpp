#include "exchange/workbookreader.h"

#include "exchange/xlsreaderprocess.h"
#include "exchange/xlsxreader.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTime>

#include <algorithm>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Workbook {

namespace {

bool hasContent(const Row &cells)
{
    return std::any_of(
        cells.begin(), cells.end(), [](const Cell &cell) { return cell.error || !cell.text.isEmpty(); });
}

} // namespace

bool SheetRows::noteBelow(const Row &cells)
{
    if (hasContent(cells))
        m_contentBelow = true;
    return !m_contentBelow;
}

bool SheetRows::add(int row, Row &&cells)
{
    if (m_done)
        return m_contentBelow ? false : noteBelow(cells);
    if (row <= m_last)
        throwDamaged(QStringLiteral("Zeile %1 steht nach Zeile %2").arg(row).arg(m_last));
    if (row != m_last + 1) {
        // The rows between are empty, so their column A ends the table.
        m_done = true;
        return noteBelow(cells);
    }
    m_last = row;
    if (cells[0].error)
        throwErrorValue();
    const bool ends = cells[0].text.isEmpty();
    if (!ends && int(m_rows.size()) >= kMaxRows)
        throw CommandError(QStringLiteral("Out of memory"));
    m_rows.push_back(std::move(cells));
    m_done = ends;
    return ends ? noteBelow(m_rows.back()) : true;
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

DateKind dateKind(int formatId, const QString &formatCode)
{
    if (formatId >= 14 && formatId <= 17)
        return DateKind::Date;
    if ((formatId >= 18 && formatId <= 21) || (formatId >= 45 && formatId <= 47))
        return DateKind::Time;
    if (formatId == 22)
        return DateKind::DateTime;
    if (formatId < 164 && formatCode.isEmpty())
        return DateKind::None;
    // Quoted texts, escaped characters and [colour] or [$-407] sections show no date;
    // an elapsed time ([h]) is a number of hours, not a time of day.
    bool inQuote = false;
    bool inBracket = false;
    bool date = false;
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
            date = true;
        else if (c == u'm')
            month = true;
        else if (c == u'h' || c == u's')
            time = true;
    }
    // [h]:mm:ss and the like count hours beyond a day: a duration, no time of day.
    static const QRegularExpression elapsed(
        QStringLiteral("\\[(h+|m+|s+)\\]"), QRegularExpression::CaseInsensitiveOption);
    if (!date && formatCode.contains(elapsed))
        return DateKind::None;
    // "mm" beside hours or seconds means minutes.
    date = date || (month && !time);
    if (date && time)
        return DateKind::DateTime;
    if (date)
        return DateKind::Date;
    return time ? DateKind::Time : DateKind::None;
}

QString timeText(double serial, bool system1904, bool withDate, const QLocale &locale)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return QString();
    double days = std::floor(serial);
    qint64 seconds = std::llround((serial - days) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += 1;
    }
    const QString time = locale.toString(QTime(0, 0).addSecs(int(seconds)), QLocale::ShortFormat);
    if (!withDate)
        return time;
    const QString date = dateText(days, system1904, locale);
    return date.isEmpty() ? QString() : date + u' ' + time;
}

QString dateTimeText(const QString &freexlText, const QLocale &locale)
{
    const QString text = freexlText.trimmed();
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    const qsizetype colon = text.indexOf(u':');
    QTime time;
    if (colon >= 2)
        time = QTime::fromString(text.mid(colon - 2, 8), QStringLiteral("HH:mm:ss"));
    if (!date.isValid())
        return time.isValid() ? locale.toString(time, QLocale::ShortFormat) : QString();
    if (!time.isValid())
        return dateText(date, locale);
    return dateText(date, locale) + u' ' + locale.toString(time, QLocale::ShortFormat);
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

void throwTooLong(int col, int row)
{
    throw CommandError(QStringLiteral("Zelle %1 ist zu lang: mehr als %2 Zeichen")
                           .arg(cellName(col, row))
                           .arg(kMaxCellText));
}

QString ownCaption(int tableColumn)
{
    switch (tableColumn) {
    case 0:
        return QStringLiteral("Nr.");
    case 1:
        return QStringLiteral("Name");
    case 2:
        return QStringLiteral("Verein");
    case 10:
        return QStringLiteral("Summe");
    case 11:
        return QStringLiteral("Platz");
    default:
        return tableColumn >= 3 && tableColumn <= 9 ? QStringLiteral("J.%1").arg(tableColumn - 2) : QString();
    }
}

std::optional<OwnCaptions> ownCaptions(const Row &header)
{
    const auto text = [&header](size_t c) {
        return c < header.size() && !header[c].error ? header[c].text.trimmed() : QString();
    };
    // Each caption in its order; the judges and the two results may end early.
    OwnCaptions own;
    size_t col = 0;
    for (int tableColumn = 0; tableColumn < 12; ++tableColumn) {
        if (text(col) != ownCaption(tableColumn)) {
            if (tableColumn < 3)
                return std::nullopt;
            if (tableColumn <= 9)
                tableColumn = 9; // the judges end here: on with "Summe"
            continue;
        }
        own.tableColumns.push_back(tableColumn);
        if (tableColumn >= 3 && tableColumn <= 9)
            own.judges = tableColumn - 2;
        ++col;
    }
    for (; col < header.size(); ++col) {
        if (header[col].error || !header[col].text.isEmpty())
            return std::nullopt;
    }
    return own;
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
    const auto tooLarge = [] {
        return CommandError(
            QStringLiteral("Arbeitsmappe ist zu groß: mehr als %1 MiB").arg(Workbook::kMaxFileBytes >> 20));
    };
    if (info.st_size > Workbook::kMaxFileBytes)
        throw tooLarge();
    // Read straight into the array, room for one byte more than the file had, so that its
    // end shows at once; a file that grows meanwhile gets more room, up to the limit.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == bytes.size())
            bytes.resize(std::min<qsizetype>(2 * size, Workbook::kMaxFileBytes + 1));
        const ssize_t got = ::read(fd, bytes.data() + size, size_t(bytes.size() - size));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwIoError(fileName, errno);
        }
        if (got == 0)
            break;
        size += got;
        if (size > Workbook::kMaxFileBytes)
            throw tooLarge();
    }
    bytes.truncate(size);
    return bytes;
}

} // namespace

QString WorkbookLoad::note(int judgeCount) const
{
    QStringList notes;
    if (contentBelow)
        notes.append(
            QStringLiteral("Es %1 %2 Teilnehmer gelesen. Das Lesen endete in Zeile %3 der "
                           "Arbeitsmappe, weil dort die Spalte A (Nr.) leer ist; in dieser Zeile oder "
                           "darunter steht noch mehr, das nicht gelesen wurde.")
                .arg(competitors == 1 ? QStringLiteral("wurde") : QStringLiteral("wurden"))
                .arg(competitors)
                .arg(stopRow));
    if (judges >= 3 && judges <= 7 && judges != judgeCount)
        notes.append(QStringLiteral("Die Arbeitsmappe hat %1 Wertungsrichter, eingestellt sind %2. "
                                    "Mit F2 (Einstellungen) lässt sich die Zahl der Wertungsrichter ändern.")
                         .arg(judges)
                         .arg(judgeCount));
    return notes.join(QStringLiteral("\n\n"));
}

WorkbookLoad LoadWorkbook(SortGridCore &grid, const QString &fileName)
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

    // The program's own captions put each column where its caption says; anything
    // else is taken by position.
    const std::optional<Workbook::OwnCaptions> own
        = rows.empty() ? std::nullopt : Workbook::ownCaptions(rows.front());
    std::array<int, kTextColumns> sourceOf {}; // sheet column of each table column, -1: none
    for (int col = 0; col < kTextColumns; ++col)
        sourceOf[size_t(col)] = own ? -1 : col;
    if (own) {
        for (size_t sheetCol = 0; sheetCol < own->tableColumns.size(); ++sheetCol)
            sourceOf[size_t(own->tableColumns[sheetCol])] = int(sheetCol);
    }

    grid.setRowCount(taken);
    if (own) {
        // The table keeps all of its own captions, also those the sheet left out.
        for (int col = 0; col < kTextColumns; ++col)
            grid.setCells(col, 0, Workbook::ownCaption(col));
    }
    // Row by row at once; the rows below the header lose any object left from before.
    std::array<const QString *, kTextColumns> texts {};
    for (int r = own ? 1 : 0; r < grid.RowCount(); ++r) {
        for (int col = 0; col < kTextColumns; ++col) {
            const int source = sourceOf[size_t(col)];
            texts[size_t(col)]
                = r < int(rows.size()) && source >= 0 ? &rows[size_t(r)][size_t(source)].text : nullptr;
        }
        grid.setRowTexts(r, texts, r > 0);
    }
    // A header-only table has no row 1 to select.
    if (grid.RowCount() > 1) {
        grid.MoveCurrent(0, 1);
        grid.setSelection(GridRect { 0, 1, grid.ColCount() - 1, 1 });
    }

    WorkbookLoad load;
    load.competitors = std::max(taken - 1, 0);
    load.stopRow = sheet.stopRow();
    load.contentBelow = sheet.contentBelow();
    load.judges = own ? own->judges : 0;
    return load;
}
