#include "exchange/xlsreader.h"

#include "platform/commanderror.h"

#include <QDate>
#include <QHash>

#include <freexl.h>

#include <cstring>
#include <set>

#include <sys/mman.h>
#include <unistd.h>

namespace Workbook {
namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr int kMaxRecordLength = 8224;
// FreeXL keeps a cell slot for every cell that a sheet's dimensions claim.
constexpr qint64 kMaxClaimedCells = qint64(4) << 20;

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + at);
    return quint16(p[0] | p[1] << 8);
}

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    return quint32(u16(bytes, at)) | quint32(u16(bytes, at + 2)) << 16;
}

// The compound file container: its allocation tables, checked link by link.
class CompoundFile
{
public:
    explicit CompoundFile(const QByteArray &bytes)
        : m_bytes(bytes)
    {
        if (bytes.size() < 512 || !bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            throwDamaged(QStringLiteral("der Dateikopf ist unvollständig"));
        const quint16 major = u16(bytes, 0x1A);
        const quint16 shift = u16(bytes, 0x1E);
        if (u16(bytes, 0x1C) != 0xFFFE || !((major == 3 && shift == 9) || (major == 4 && shift == 12))
            || u16(bytes, 0x20) != 6 || u32(bytes, 0x38) != 4096)
            throwDamaged(QStringLiteral("der Dateikopf ist ungültig"));
        m_sectorSize = 1 << shift;
        if (bytes.size() < m_sectorSize)
            throwDamaged(QStringLiteral("der Dateikopf ist unvollständig"));
        // Only whole sectors count: a link into a cut-off last sector is a broken one.
        m_sectorCount = quint32((bytes.size() - m_sectorSize) / m_sectorSize);
        m_major = major;
        readFat();
    }

    // The stream of the first directory entry with one of the names; empty when none.
    std::optional<QByteArray> stream(const QStringList &names)
    {
        const QByteArray directory
            = chain(u32(m_bytes, 0x30), -1, m_fat, m_sectorSize, QStringLiteral("Verzeichnis"));
        if (directory.size() < 128)
            throwDamaged(QStringLiteral("das Verzeichnis ist leer"));
        for (qsizetype at = 0; at + 128 <= directory.size(); at += 128) {
            const int nameBytes = u16(directory, at + 0x40);
            if (nameBytes < 2 || nameBytes > 64)
                continue;
            const QString name = QString::fromUtf16(
                reinterpret_cast<const char16_t *>(directory.constData() + at), nameBytes / 2 - 1);
            if (directory.at(at + 0x42) != 2 || !names.contains(name, Qt::CaseInsensitive))
                continue;
            const quint32 start = u32(directory, at + 0x74);
            const quint64 size = m_major == 3
                ? u32(directory, at + 0x78)
                : (quint64(u32(directory, at + 0x7C)) << 32 | u32(directory, at + 0x78));
            if (size > quint64(m_bytes.size()))
                throwDamaged(QStringLiteral("der Datenstrom ist größer als die Datei"));
            if (size >= 4096)
                return chain(start, qint64(size), m_fat, m_sectorSize, name);
            return miniStream(directory, start, qint64(size), name);
        }
        return std::nullopt;
    }

private:
    void readFat()
    {
        const quint32 fatSectors = u32(m_bytes, 0x2C);
        if (fatSectors > m_sectorCount)
            throwDamaged(QStringLiteral("die Belegungstabelle ist größer als die Datei"));
        std::vector<quint32> fatList;
        for (int i = 0; i < 109 && fatList.size() < fatSectors; ++i)
            fatList.push_back(u32(m_bytes, 0x4C + i * 4));
        quint32 difat = u32(m_bytes, 0x44);
        std::set<quint32> seen;
        const int perSector = m_sectorSize / 4 - 1;
        while (fatList.size() < fatSectors) {
            if (difat >= m_sectorCount || !seen.insert(difat).second)
                throwDamaged(QStringLiteral("die Liste der Belegungstabelle ist ungültig"));
            const qsizetype base = sectorOffset(difat);
            for (int i = 0; i < perSector && fatList.size() < fatSectors; ++i)
                fatList.push_back(u32(m_bytes, base + i * 4));
            difat = u32(m_bytes, base + perSector * 4);
        }
        for (const quint32 sector : fatList) {
            if (sector >= m_sectorCount)
                throwDamaged(QStringLiteral("die Belegungstabelle zeigt hinter das Dateiende"));
            const qsizetype base = sectorOffset(sector);
            for (int i = 0; i < m_sectorSize / 4; ++i)
                m_fat.push_back(u32(m_bytes, base + i * 4));
        }
    }

    qsizetype sectorOffset(quint32 sector) const { return qsizetype(sector + 1) * m_sectorSize; }

    // The bytes of a chain of sectors (size -1: the whole chain), each sector once.
    QByteArray chain(quint32 start, qint64 size, const std::vector<quint32> &table, int unit,
        const QString &what, const QByteArray *container = nullptr) const
    {
        QByteArray out;
        std::set<quint32> seen;
        quint32 sector = start;
        const qint64 units = container ? container->size() / unit : m_sectorCount;
        while (size < 0 ? sector != kEndOfChain : out.size() < size) {
            if (sector >= table.size() || qint64(sector) >= units || !seen.insert(sector).second)
                throwDamaged(QStringLiteral("die Sektorkette von %1 ist ungültig").arg(what));
            if (container) {
                out.append(container->constData() + qsizetype(sector) * unit, unit);
            } else {
                const qsizetype at = sectorOffset(sector);
                out.append(m_bytes.constData() + at, unit);
            }
            sector = table[sector];
        }
        if (size >= 0)
            out.truncate(qsizetype(size));
        return out;
    }

    QByteArray miniStream(const QByteArray &directory, quint32 start, qint64 size, const QString &name) const
    {
        // The small streams live in the root entry's stream, in 64-byte pieces.
        const quint32 rootStart = u32(directory, 0x74);
        const qint64 rootSize = u32(directory, 0x78);
        if (directory.at(0x42) != 5 || rootSize > m_bytes.size())
            throwDamaged(QStringLiteral("der Wurzeleintrag ist ungültig"));
        const QByteArray container
            = chain(rootStart, rootSize, m_fat, m_sectorSize, QStringLiteral("Wurzel"));
        const QByteArray miniFatBytes
            = chain(u32(m_bytes, 0x3C), -1, m_fat, m_sectorSize, QStringLiteral("MiniFAT"));
        std::vector<quint32> miniFat;
        for (qsizetype at = 0; at + 4 <= miniFatBytes.size(); at += 4)
            miniFat.push_back(u32(miniFatBytes, at));
        return chain(start, size, miniFat, 64, name, &container);
    }

    const QByteArray &m_bytes;
    int m_sectorSize = 512;
    int m_major = 3;
    quint32 m_sectorCount = 0;
    std::vector<quint32> m_fat;
};

struct Record
{
    quint16 type;
    qsizetype data;
    int length;
};

// The records of a BIFF stream, each one checked to lie inside it.
class Records
{
public:
    explicit Records(const QByteArray &stream, qsizetype at)
        : m_stream(stream)
        , m_at(at)
    { }
    std::optional<Record> next()
    {
        if (m_at == m_stream.size())
            return std::nullopt;
        if (m_at + 4 > m_stream.size())
            throwDamaged(QStringLiteral("der Datenstrom endet mitten in einem Satz"));
        const Record record { u16(m_stream, m_at), m_at + 4, u16(m_stream, m_at + 2) };
        if (record.length > kMaxRecordLength || record.data + record.length > m_stream.size())
            throwDamaged(QStringLiteral("der Datenstrom endet mitten in einem Satz"));
        m_at = record.data + record.length;
        return record;
    }

private:
    const QByteArray &m_stream;
    qsizetype m_at;
};

// Walks the strings of the shared string table, across its CONTINUE records.
void checkSharedStrings(const QByteArray &stream, const std::vector<Record> &pieces)
{
    size_t piece = 0;
    qsizetype at = pieces[0].data + 8;
    const auto left = [&] { return pieces[piece].data + pieces[piece].length - at; };
    const auto nextPiece = [&] {
        if (++piece >= pieces.size())
            throwDamaged(QStringLiteral("die Zeichenkettentabelle ist unvollständig"));
        at = pieces[piece].data;
    };
    const auto byte = [&] {
        while (left() <= 0)
            nextPiece();
        return quint8(stream.at(at++));
    };
    const auto skip = [&](qint64 count) {
        while (count > 0) {
            while (left() <= 0)
                nextPiece();
            const qint64 step = std::min<qint64>(count, left());
            at += step;
            count -= step;
        }
    };
    if (pieces[0].length < 8)
        throwDamaged(QStringLiteral("die Zeichenkettentabelle ist unvollständig"));
    const quint32 unique = u32(stream, pieces[0].data + 4);
    if (unique > quint32(stream.size() / 3))
        throwDamaged(QStringLiteral("die Zeichenkettentabelle nennt mehr Einträge, als sie hat"));
    for (quint32 i = 0; i < unique; ++i) {
        const int characters = byte() | byte() << 8;
        quint8 flags = byte();
        const int runs = flags & 0x08 ? byte() | byte() << 8 : 0;
        const quint32 extra
            = flags & 0x04 ? quint32(byte() | byte() << 8 | byte() << 16) | quint32(byte()) << 24 : 0;
        int remaining = characters;
        while (remaining > 0) {
            if (left() <= 0) {
                nextPiece();
                flags = byte(); // a string that goes on in the next record says its width again
                continue;
            }
            const int width = flags & 0x01 ? 2 : 1;
            const int take = int(std::min<qint64>(remaining, left() / width));
            if (take == 0)
                throwDamaged(QStringLiteral("die Zeichenkettentabelle ist ungültig"));
            at += take * width;
            remaining -= take;
        }
        skip(qint64(runs) * 4 + extra);
    }
}

// A value FreeXL does not give: booleans, error values and formula results.
struct Overlay
{
    QHash<quint32, Cell> cells; // by row << 16 | column
    static quint32 key(quint32 row, quint32 col) { return row << 16 | col; }
};

struct Dimensions
{
    quint32 rows = 0;
    quint32 cols = 0;
};

// The records of one sheet: dimensions within bounds, every cell inside them.
qint64 checkSheet(const QByteArray &stream, qsizetype offset, quint32 sharedStrings, bool first, bool biff8,
    Overlay &overlay, const QLocale &locale)
{
    if (offset + 8 > stream.size() || u16(stream, offset) != 0x0809)
        throwDamaged(QStringLiteral("eine Tabelle beginnt nicht, wo die Mappe es sagt"));
    Records records(stream, offset);
    records.next();
    std::optional<Dimensions> dimensions;
    const auto inside = [&](quint32 row, quint32 col) {
        if (!dimensions)
            throwDamaged(QStringLiteral("eine Tabelle hat Zellen vor ihren Abmessungen"));
        if (row >= dimensions->rows || col >= dimensions->cols)
            throwDamaged(QStringLiteral("Zelle ") + cellName(int(col), int(row) + 1)
                + QStringLiteral(" liegt außerhalb der Abmessungen ihrer Tabelle"));
    };
    bool pendingString = false;
    quint32 pendingRow = 0;
    quint32 pendingCol = 0;
    while (const auto record = records.next()) {
        const qsizetype d = record->data;
        const int length = record->length;
        const auto need = [&](int bytes) {
            if (length < bytes)
                throwDamaged(QStringLiteral("ein Satz ist zu kurz"));
        };
        switch (record->type) {
        case 0x000A: // EOF
            return dimensions ? qint64(dimensions->rows) * dimensions->cols : 0;
        case 0x0200: { // DIMENSIONS
            const int rowBytes = biff8 ? 4 : 2;
            need(2 * rowBytes + 6);
            const quint32 firstRow = biff8 ? u32(stream, d) : u16(stream, d);
            const quint32 lastRow = biff8 ? u32(stream, d + 4) : u16(stream, d + 2);
            const quint32 firstCol = u16(stream, d + 2 * rowBytes);
            const quint32 lastCol = u16(stream, d + 2 * rowBytes + 2);
            if (lastRow > 65536 || lastCol > 256 || firstRow > lastRow || firstCol > lastCol)
                throwDamaged(QStringLiteral("eine Tabelle hat unmögliche Abmessungen"));
            dimensions = Dimensions { lastRow, lastCol };
            break;
        }
        case 0x0203: // NUMBER
        case 0x0204: // LABEL
        case 0x027E: // RK
        case 0x0201: // BLANK
        case 0x00D6: // RSTRING
            need(6);
            inside(u16(stream, d), u16(stream, d + 2));
            break;
        case 0x00FD: // LABELSST
            need(10);
            inside(u16(stream, d), u16(stream, d + 2));
            if (u32(stream, d + 6) >= sharedStrings)
                throwDamaged(QStringLiteral("Zelle ") + cellName(u16(stream, d + 2), u16(stream, d) + 1)
                    + QStringLiteral(" verweist auf eine Zeichenkette, die es nicht gibt"));
            break;
        case 0x00BD: // MULRK
        case 0x00BE: { // MULBLANK
            need(6);
            const int size = record->type == 0x00BD ? 6 : 2;
            const quint32 firstCol = u16(stream, d + 2);
            const quint32 lastCol = u16(stream, d + length - 2);
            if (lastCol < firstCol || qint64(lastCol - firstCol + 1) * size + 6 != length)
                throwDamaged(QStringLiteral("ein Satz mit mehreren Zellen ist ungültig"));
            inside(u16(stream, d), lastCol);
            break;
        }
        case 0x0205: { // BOOLERR
            need(8);
            const quint32 row = u16(stream, d);
            const quint32 col = u16(stream, d + 2);
            inside(row, col);
            if (first) {
                Cell cell;
                if (stream.at(d + 7))
                    cell.error = true;
                else
                    cell.text = stream.at(d + 6) ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
                overlay.cells.insert(Overlay::key(row, col), cell);
            }
            break;
        }
        case 0x0006: { // FORMULA: its result as last computed
            need(20);
            const quint32 row = u16(stream, d);
            const quint32 col = u16(stream, d + 2);
            inside(row, col);
            if (!first)
                break;
            Cell cell;
            if (u16(stream, d + 12) == 0xFFFF) {
                switch (quint8(stream.at(d + 6))) {
                case 0: // the text follows in a STRING record
                    pendingString = true;
                    pendingRow = row;
                    pendingCol = col;
                    break;
                case 1:
                    cell.text = stream.at(d + 8) ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
                    break;
                case 2:
                    cell.error = true;
                    break;
                default:
                    break;
                }
            } else {
                double value = 0;
                std::memcpy(&value, stream.constData() + d + 6, sizeof value);
                cell.text = numberText(value, locale);
            }
            overlay.cells.insert(Overlay::key(row, col), cell);
            break;
        }
        case 0x0207: // STRING: the text result of the formula before
            if (first && pendingString && length >= 3) {
                const int characters = u16(stream, d);
                const bool wide = stream.at(d + 2) & 0x01;
                const int bytes = std::min(characters * (wide ? 2 : 1), length - 3);
                Cell cell;
                cell.text = wide ? QString::fromUtf16(
                                reinterpret_cast<const char16_t *>(stream.constData() + d + 3), bytes / 2)
                                 : QString::fromLatin1(stream.constData() + d + 3, bytes);
                overlay.cells.insert(Overlay::key(pendingRow, pendingCol), cell);
            }
            pendingString = false;
            break;
        default:
            break;
        }
    }
    throwDamaged(QStringLiteral("eine Tabelle endet nicht"));
}

struct CheckedWorkbook
{
    Overlay overlay;
    bool system1904 = false;
};

CheckedWorkbook check(const QByteArray &bytes, const QLocale &locale)
{
    CompoundFile file(bytes);
    const std::optional<QByteArray> found
        = file.stream({ QStringLiteral("Workbook"), QStringLiteral("Book") });
    if (!found)
        throwNotAWorkbook();
    const QByteArray &stream = *found;
    if (stream.size() < 8 || u16(stream, 0) != 0x0809)
        throwDamaged(QStringLiteral("der Datenstrom beginnt nicht mit einer Mappe"));
    const quint16 version = u16(stream, 4);
    if (version != 0x0600 && version != 0x0500)
        throwDamaged(QStringLiteral("unbekannte BIFF-Version"));

    CheckedWorkbook result;
    Records records(stream, 0);
    records.next();
    std::vector<quint32> sheets;
    std::vector<Record> sharedStringPieces;
    quint32 sharedStrings = 0;
    bool ended = false;
    while (const auto record = records.next()) {
        if (record->type == 0x003C && !sharedStringPieces.empty() && sharedStringPieces.back().type != 0) {
            sharedStringPieces.push_back(*record);
            continue;
        }
        if (!sharedStringPieces.empty())
            sharedStringPieces.back().type = 0; // later CONTINUE records belong elsewhere
        if (record->type == 0x000A) {
            ended = true;
            break;
        }
        if (record->type == 0x0085 && record->length >= 6) {
            if (quint8(stream.at(record->data + 5)) == 0) // a worksheet, not a chart or macro sheet
                sheets.push_back(u32(stream, record->data));
        } else if (record->type == 0x0022 && record->length >= 2) {
            result.system1904 = u16(stream, record->data) == 1;
        } else if (record->type == 0x00FC) {
            if (!sharedStringPieces.empty())
                throwDamaged(QStringLiteral("zwei Zeichenkettentabellen"));
            sharedStringPieces.push_back(*record);
        }
    }
    if (!ended)
        throwDamaged(QStringLiteral("die Mappe endet nicht"));
    if (!sharedStringPieces.empty()) {
        sharedStringPieces.back().type = 0;
        for (Record &piece : sharedStringPieces)
            piece.type = 0;
        checkSharedStrings(stream, sharedStringPieces);
        sharedStrings = u32(stream, sharedStringPieces[0].data + 4);
    }
    if (sheets.empty())
        throwDamaged(QStringLiteral("die Arbeitsmappe hat keine Tabelle"));
    qint64 cells = 0;
    for (size_t i = 0; i < sheets.size(); ++i) {
        cells += checkSheet(
            stream, sheets[i], sharedStrings, i == 0, version == 0x0600, result.overlay, locale);
        if (cells > kMaxClaimedCells)
            throwDamaged(QStringLiteral("die Tabellen nennen mehr als %1 Zellen").arg(kMaxClaimedCells));
    }
    return result;
}

QString freexlFailure(int code)
{
    return QStringLiteral("FreeXL meldet Fehler %1").arg(code);
}

class FreeXl
{
public:
    explicit FreeXl(const QByteArray &bytes)
    {
        // FreeXL reads by name: give it a file in memory that holds exactly the bytes
        // that were checked.
        m_fd = ::memfd_create("workbook", MFD_CLOEXEC);
        if (m_fd < 0)
            throw CommandError(QString::fromLocal8Bit(std::strerror(errno)));
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t put = ::write(m_fd, bytes.constData() + at, size_t(bytes.size() - at));
            if (put <= 0)
                throw CommandError(QString::fromLocal8Bit(std::strerror(errno)));
            at += put;
        }
        const QByteArray path = "/proc/self/fd/" + QByteArray::number(m_fd);
        const int code = freexl_open(path.constData(), &m_handle);
        if (code != FREEXL_OK) {
            m_handle = nullptr;
            throwDamaged(freexlFailure(code));
        }
    }
    ~FreeXl()
    {
        if (m_handle)
            freexl_close(m_handle);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FreeXl(const FreeXl &) = delete;
    FreeXl &operator=(const FreeXl &) = delete;
    const void *handle() const { return m_handle; }

private:
    int m_fd = -1;
    const void *m_handle = nullptr;
};

QString textOf(const FreeXL_CellValue &value, const QLocale &locale)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        return numberText(value.value.int_value, locale);
    case FREEXL_CELL_DOUBLE:
        return numberText(value.value.double_value, locale);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return QString::fromUtf8(value.value.text_value);
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return dateTimeText(QString::fromLatin1(value.value.text_value), locale);
    default:
        return QString();
    }
}

} // namespace

void checkXls(const QByteArray &bytes)
{
    check(bytes, QLocale::c());
}

SheetRows readXlsRowsInProcess(const QByteArray &bytes, const QLocale &locale)
{
    const CheckedWorkbook checked = check(bytes, locale);
    FreeXl freexl(bytes);
    int code = freexl_select_active_worksheet(freexl.handle(), 0);
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (code == FREEXL_OK)
        code = freexl_worksheet_dimensions(freexl.handle(), &rows, &cols);
    if (code != FREEXL_OK)
        throwDamaged(freexlFailure(code));

    SheetRows sheet;
    const unsigned short taken = std::min<unsigned short>(cols, kColumns);
    for (unsigned int r = 0; r < rows; ++r) {
        Row cells;
        for (unsigned short c = 0; c < taken; ++c) {
            const auto over = checked.overlay.cells.constFind(Overlay::key(r, c));
            if (over != checked.overlay.cells.cend()) {
                cells[c] = *over;
            } else {
                FreeXL_CellValue value {};
                code = freexl_get_cell_value(freexl.handle(), r, c, &value);
                if (code != FREEXL_OK)
                    throwDamaged(freexlFailure(code));
                cells[c].text = textOf(value, locale);
            }
            if (cells[c].text.size() > kMaxCellText)
                throwTooLong(c, int(r) + 1);
        }
        if (!sheet.add(int(r) + 1, std::move(cells)))
            break;
    }
    return sheet;
}

} // namespace Workbook
