#include "exchange/xlscheck.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace Workbook::Xls {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr int kMaxRecordLength = 8224;
// FreeXL keeps a cell slot for every cell that a sheet's dimensions claim.
constexpr std::int64_t kMaxClaimedCells = std::int64_t(4) << 20;

using Bytes = std::string_view;

[[noreturn]] void damaged(const std::string &what)
{
    throw Damaged(what);
}

std::uint16_t u16(Bytes bytes, std::size_t at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data() + at);
    return std::uint16_t(p[0] | p[1] << 8);
}

std::uint32_t u32(Bytes bytes, std::size_t at)
{
    return std::uint32_t(u16(bytes, at)) | std::uint32_t(u16(bytes, at + 2)) << 16;
}

void appendUtf8(std::string &out, std::uint32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Little-endian UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string fromUtf16(const char *data, std::size_t units)
{
    std::string out;
    out.reserve(units);
    const auto unit = [data](std::size_t i) { return u16(Bytes(data, 2 * (i + 1)), 2 * i); };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00
            && unit(i + 1) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        appendUtf8(out, code);
    }
    return out;
}

std::string fromLatin1(const char *data, std::size_t size)
{
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i)
        appendUtf8(out, static_cast<unsigned char>(data[i]));
    return out;
}

// The compound file container: its allocation tables, checked link by link.
class CompoundFile
{
public:
    explicit CompoundFile(Bytes bytes)
        : m_bytes(bytes)
    {
        if (bytes.size() < 512 || bytes.substr(0, 8) != Bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
            damaged("der Dateikopf ist unvollständig");
        const std::uint16_t major = u16(bytes, 0x1A);
        const std::uint16_t shift = u16(bytes, 0x1E);
        if (u16(bytes, 0x1C) != 0xFFFE || !((major == 3 && shift == 9) || (major == 4 && shift == 12))
            || u16(bytes, 0x20) != 6 || u32(bytes, 0x38) != 4096)
            damaged("der Dateikopf ist ungültig");
        m_sectorSize = 1 << shift;
        if (bytes.size() < std::size_t(m_sectorSize))
            damaged("der Dateikopf ist unvollständig");
        // Only whole sectors count: a link into a cut-off last sector is a broken one.
        m_sectorCount = std::uint32_t((bytes.size() - m_sectorSize) / m_sectorSize);
        m_major = major;
        readFat();
    }

    // A stream's bytes: in the file itself when its sectors follow each other, as they
    // mostly do, else gathered.
    struct Stream
    {
        std::string gathered;
        std::optional<Bytes> inFile;
        Bytes bytes() const { return inFile ? *inFile : Bytes(gathered); }
    };

    // The stream of the first directory entry named "Workbook" or "Book" (in any case).
    std::optional<Stream> workbookStream()
    {
        const std::string directory = chain(u32(m_bytes, 0x30), -1, m_fat, m_sectorSize, "Verzeichnis");
        if (directory.size() < 128)
            damaged("das Verzeichnis ist leer");
        for (std::size_t at = 0; at + 128 <= directory.size(); at += 128) {
            const int nameBytes = u16(directory, at + 0x40);
            if (nameBytes < 2 || nameBytes > 64)
                continue;
            const std::size_t units = std::size_t(nameBytes / 2 - 1);
            if (directory[at + 0x42] != 2
                || !(isNamed(directory, at, units, "workbook") || isNamed(directory, at, units, "book")))
                continue;
            const std::string name = fromUtf16(directory.data() + at, units);
            const std::uint32_t start = u32(directory, at + 0x74);
            const std::uint64_t size = m_major == 3
                ? u32(directory, at + 0x78)
                : (std::uint64_t(u32(directory, at + 0x7C)) << 32 | u32(directory, at + 0x78));
            if (size > m_bytes.size())
                damaged("der Datenstrom ist größer als die Datei");
            Stream stream;
            if (size >= 4096) {
                stream.inFile = inPlace(start, std::int64_t(size), name);
                if (!stream.inFile)
                    stream.gathered = chain(start, std::int64_t(size), m_fat, m_sectorSize, name);
            } else {
                stream.gathered = miniStream(directory, start, std::int64_t(size), name);
            }
            return stream;
        }
        return std::nullopt;
    }

private:
    static bool isNamed(Bytes directory, std::size_t at, std::size_t units, std::string_view lower)
    {
        if (units != lower.size())
            return false;
        for (std::size_t i = 0; i < units; ++i) {
            std::uint16_t c = u16(directory, at + 2 * i);
            if (c >= u'A' && c <= u'Z')
                c = std::uint16_t(c - u'A' + u'a');
            if (c != std::uint16_t(lower[i]))
                return false;
        }
        return true;
    }

    void readFat()
    {
        const std::uint32_t fatSectors = u32(m_bytes, 0x2C);
        if (fatSectors > m_sectorCount)
            damaged("die Belegungstabelle ist größer als die Datei");
        std::vector<std::uint32_t> fatList;
        for (int i = 0; i < 109 && fatList.size() < fatSectors; ++i)
            fatList.push_back(u32(m_bytes, 0x4C + i * 4));
        std::uint32_t difat = u32(m_bytes, 0x44);
        std::vector<bool> seen(m_sectorCount);
        const int perSector = m_sectorSize / 4 - 1;
        while (fatList.size() < fatSectors) {
            if (difat >= m_sectorCount || seen[difat])
                damaged("die Liste der Belegungstabelle ist ungültig");
            seen[difat] = true;
            const std::size_t base = sectorOffset(difat);
            for (int i = 0; i < perSector && fatList.size() < fatSectors; ++i)
                fatList.push_back(u32(m_bytes, base + i * 4));
            difat = u32(m_bytes, base + perSector * 4);
        }
        m_fat.reserve(fatList.size() * std::size_t(m_sectorSize / 4));
        for (const std::uint32_t sector : fatList) {
            if (sector >= m_sectorCount)
                damaged("die Belegungstabelle zeigt hinter das Dateiende");
            const std::size_t base = sectorOffset(sector);
            for (int i = 0; i < m_sectorSize / 4; ++i)
                m_fat.push_back(u32(m_bytes, base + i * 4));
        }
    }

    std::size_t sectorOffset(std::uint32_t sector) const { return std::size_t(sector + 1) * m_sectorSize; }

    // The bytes of a chain of size bytes as they stand in the file, when its sectors follow
    // each other; nullopt when they do not. A broken chain fails as chain() fails.
    std::optional<Bytes> inPlace(std::uint32_t start, std::int64_t size, const std::string &what) const
    {
        std::uint32_t sector = start;
        for (std::int64_t covered = 0; covered < size; covered += m_sectorSize) {
            if (sector >= m_fat.size() || sector >= m_sectorCount)
                damaged("die Sektorkette von " + what + " ist ungültig");
            if (sector != start + std::uint32_t(covered / m_sectorSize))
                return std::nullopt;
            sector = m_fat[sector];
        }
        return m_bytes.substr(sectorOffset(start), std::size_t(size));
    }

    // The bytes of a chain of sectors (size -1: the whole chain), each sector once.
    std::string chain(std::uint32_t start, std::int64_t size, const std::vector<std::uint32_t> &table,
        int unit, const std::string &what, const std::string *container = nullptr) const
    {
        std::string out;
        if (size > 0)
            out.reserve(std::size_t(size));
        const std::int64_t units = container ? std::int64_t(container->size() / unit) : m_sectorCount;
        std::vector<bool> seen(std::size_t(std::min<std::int64_t>(units, std::int64_t(table.size()))));
        std::uint32_t sector = start;
        while (size < 0 ? sector != kEndOfChain : std::int64_t(out.size()) < size) {
            if (sector >= table.size() || std::int64_t(sector) >= units || seen[sector])
                damaged("die Sektorkette von " + what + " ist ungültig");
            seen[sector] = true;
            if (container)
                out.append(container->data() + std::size_t(sector) * unit, std::size_t(unit));
            else
                out.append(m_bytes.data() + sectorOffset(sector), std::size_t(unit));
            sector = table[sector];
        }
        if (size >= 0)
            out.resize(std::size_t(size));
        return out;
    }

    std::string miniStream(
        Bytes directory, std::uint32_t start, std::int64_t size, const std::string &name) const
    {
        // The small streams live in the root entry's stream, in 64-byte pieces.
        const std::uint32_t rootStart = u32(directory, 0x74);
        const std::int64_t rootSize = u32(directory, 0x78);
        if (directory[0x42] != 5 || rootSize > std::int64_t(m_bytes.size()))
            damaged("der Wurzeleintrag ist ungültig");
        const std::string container = chain(rootStart, rootSize, m_fat, m_sectorSize, "Wurzel");
        const std::string miniFatBytes = chain(u32(m_bytes, 0x3C), -1, m_fat, m_sectorSize, "MiniFAT");
        std::vector<std::uint32_t> miniFat;
        miniFat.reserve(miniFatBytes.size() / 4);
        for (std::size_t at = 0; at + 4 <= miniFatBytes.size(); at += 4)
            miniFat.push_back(u32(miniFatBytes, at));
        return chain(start, size, miniFat, 64, name, &container);
    }

    Bytes m_bytes;
    int m_sectorSize = 512;
    int m_major = 3;
    std::uint32_t m_sectorCount = 0;
    std::vector<std::uint32_t> m_fat;
};

struct Record
{
    std::uint16_t type;
    std::size_t data;
    int length;
};

// The records of a BIFF stream, each one checked to lie inside it.
class Records
{
public:
    Records(Bytes stream, std::size_t at)
        : m_stream(stream)
        , m_at(at)
    { }
    std::optional<Record> next()
    {
        if (m_at == m_stream.size())
            return std::nullopt;
        if (m_at + 4 > m_stream.size())
            damaged("der Datenstrom endet mitten in einem Satz");
        const Record record { u16(m_stream, m_at), m_at + 4, u16(m_stream, m_at + 2) };
        if (record.length > kMaxRecordLength || record.data + std::size_t(record.length) > m_stream.size())
            damaged("der Datenstrom endet mitten in einem Satz");
        m_at = record.data + std::size_t(record.length);
        return record;
    }

private:
    Bytes m_stream;
    std::size_t m_at;
};

// Walks the strings of the shared string table, across its CONTINUE records.
void checkSharedStrings(Bytes stream, const std::vector<Record> &pieces)
{
    std::size_t piece = 0;
    std::size_t at = pieces[0].data + 8;
    const auto left
        = [&] { return std::int64_t(pieces[piece].data + pieces[piece].length) - std::int64_t(at); };
    const auto nextPiece = [&] {
        if (++piece >= pieces.size())
            damaged("die Zeichenkettentabelle ist unvollständig");
        at = pieces[piece].data;
    };
    const auto byte = [&] {
        while (left() <= 0)
            nextPiece();
        return std::uint8_t(stream[at++]);
    };
    const auto skip = [&](std::int64_t count) {
        while (count > 0) {
            while (left() <= 0)
                nextPiece();
            const std::int64_t step = std::min<std::int64_t>(count, left());
            at += std::size_t(step);
            count -= step;
        }
    };
    if (pieces[0].length < 8)
        damaged("die Zeichenkettentabelle ist unvollständig");
    const std::uint32_t unique = u32(stream, pieces[0].data + 4);
    if (unique > std::uint32_t(stream.size() / 3))
        damaged("die Zeichenkettentabelle nennt mehr Einträge, als sie hat");
    for (std::uint32_t i = 0; i < unique; ++i) {
        const int characters = byte() | byte() << 8;
        std::uint8_t flags = byte();
        const int runs = flags & 0x08 ? byte() | byte() << 8 : 0;
        const std::uint32_t extra = flags & 0x04
            ? std::uint32_t(byte() | byte() << 8 | byte() << 16) | std::uint32_t(byte()) << 24
            : 0;
        int remaining = characters;
        while (remaining > 0) {
            if (left() <= 0) {
                nextPiece();
                flags = byte(); // a string that goes on in the next record says its width again
                continue;
            }
            const int width = flags & 0x01 ? 2 : 1;
            const int take = int(std::min<std::int64_t>(remaining, left() / width));
            if (take == 0)
                damaged("die Zeichenkettentabelle ist ungültig");
            at += std::size_t(take * width);
            remaining -= take;
        }
        skip(std::int64_t(runs) * 4 + extra);
    }
}

struct Dimensions
{
    std::uint32_t rows = 0;
    std::uint32_t cols = 0;
};

// The records of one sheet: dimensions within bounds, every cell inside them. The
// first sheet's values that FreeXL does not give go into the overlay.
std::int64_t checkSheet(Bytes stream, std::size_t offset, std::uint32_t sharedStrings, bool first, bool biff8,
    std::vector<OverlayCell> &overlay)
{
    if (offset + 8 > stream.size() || u16(stream, offset) != 0x0809)
        damaged("eine Tabelle beginnt nicht, wo die Mappe es sagt");
    Records records(stream, offset);
    records.next();
    std::optional<Dimensions> dimensions;
    const auto inside = [&](std::uint32_t row, std::uint32_t col) {
        if (!dimensions)
            damaged("eine Tabelle hat Zellen vor ihren Abmessungen");
        if (row >= dimensions->rows || col >= dimensions->cols)
            damaged("Zelle " + cellName(col, row + 1) + " liegt außerhalb der Abmessungen ihrer Tabelle");
    };
    const auto add = [&](std::uint32_t row, std::uint32_t col, OverlayCell::Kind kind) -> OverlayCell & {
        overlay.push_back(OverlayCell { row << 16 | col, kind, false, 0, std::string() });
        return overlay.back();
    };
    bool pendingString = false;
    std::uint32_t pendingRow = 0;
    std::uint32_t pendingCol = 0;
    while (const auto record = records.next()) {
        const std::size_t d = record->data;
        const int length = record->length;
        const auto need = [&](int bytes) {
            if (length < bytes)
                damaged("ein Satz ist zu kurz");
        };
        switch (record->type) {
        case 0x000A: // EOF
            return dimensions ? std::int64_t(dimensions->rows) * dimensions->cols : 0;
        case 0x0200: { // DIMENSIONS
            const int rowBytes = biff8 ? 4 : 2;
            need(2 * rowBytes + 6);
            const std::uint32_t firstRow = biff8 ? u32(stream, d) : u16(stream, d);
            const std::uint32_t lastRow = biff8 ? u32(stream, d + 4) : u16(stream, d + 2);
            const std::uint32_t firstCol = u16(stream, d + 2 * rowBytes);
            const std::uint32_t lastCol = u16(stream, d + 2 * rowBytes + 2);
            if (lastRow > 65536 || lastCol > 256 || firstRow > lastRow || firstCol > lastCol)
                damaged("eine Tabelle hat unmögliche Abmessungen");
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
                damaged("Zelle " + cellName(u16(stream, d + 2), u16(stream, d) + 1u)
                    + " verweist auf eine Zeichenkette, die es nicht gibt");
            break;
        case 0x00BD: // MULRK
        case 0x00BE: { // MULBLANK
            need(6);
            const int size = record->type == 0x00BD ? 6 : 2;
            const std::uint32_t firstCol = u16(stream, d + 2);
            const std::uint32_t lastCol = u16(stream, d + std::size_t(length) - 2);
            if (lastCol < firstCol || std::int64_t(lastCol - firstCol + 1) * size + 6 != length)
                damaged("ein Satz mit mehreren Zellen ist ungültig");
            inside(u16(stream, d), lastCol);
            break;
        }
        case 0x0205: { // BOOLERR
            need(8);
            const std::uint32_t row = u16(stream, d);
            const std::uint32_t col = u16(stream, d + 2);
            inside(row, col);
            if (first) {
                if (stream[d + 7])
                    add(row, col, OverlayCell::Error);
                else
                    add(row, col, OverlayCell::Boolean).truth = stream[d + 6] != 0;
            }
            break;
        }
        case 0x0006: { // FORMULA: its result as last computed
            need(20);
            const std::uint32_t row = u16(stream, d);
            const std::uint32_t col = u16(stream, d + 2);
            inside(row, col);
            if (!first)
                break;
            if (u16(stream, d + 12) == 0xFFFF) {
                switch (std::uint8_t(stream[d + 6])) {
                case 0: // the text follows in a STRING record
                    pendingString = true;
                    pendingRow = row;
                    pendingCol = col;
                    add(row, col, OverlayCell::Text);
                    break;
                case 1:
                    add(row, col, OverlayCell::Boolean).truth = stream[d + 8] != 0;
                    break;
                case 2:
                    add(row, col, OverlayCell::Error);
                    break;
                default:
                    add(row, col, OverlayCell::Text);
                    break;
                }
            } else {
                double value = 0;
                std::memcpy(&value, stream.data() + d + 6, sizeof value);
                add(row, col, OverlayCell::Number).number = value;
            }
            break;
        }
        case 0x0207: // STRING: the text result of the formula before
            if (first && pendingString && length >= 3) {
                const int characters = u16(stream, d);
                const bool wide = stream[d + 2] & 0x01;
                const int bytes = std::min(characters * (wide ? 2 : 1), length - 3);
                const char *text = stream.data() + d + 3;
                add(pendingRow, pendingCol, OverlayCell::Text).text
                    = wide ? fromUtf16(text, std::size_t(bytes / 2)) : fromLatin1(text, std::size_t(bytes));
            }
            pendingString = false;
            break;
        default:
            break;
        }
    }
    damaged("eine Tabelle endet nicht");
}

} // namespace

std::string cellName(std::uint32_t col, std::uint32_t row)
{
    std::string letters;
    for (std::uint32_t c = col + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), char('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

const OverlayCell *Checked::find(std::uint32_t row, std::uint32_t col) const
{
    const std::uint32_t key = row << 16 | col;
    const auto at = std::lower_bound(overlay.begin(), overlay.end(), key,
        [](const OverlayCell &cell, std::uint32_t k) { return cell.key < k; });
    return at != overlay.end() && at->key == key ? &*at : nullptr;
}

Checked check(Bytes bytes)
{
    CompoundFile file(bytes);
    const auto found = file.workbookStream();
    if (!found)
        throw NotAWorkbook();
    const Bytes stream = found->bytes();
    if (stream.size() < 8 || u16(stream, 0) != 0x0809)
        damaged("der Datenstrom beginnt nicht mit einer Mappe");
    const std::uint16_t version = u16(stream, 4);
    if (version != 0x0600 && version != 0x0500)
        damaged("unbekannte BIFF-Version");

    Checked result;
    Records records(stream, 0);
    records.next();
    std::vector<std::uint32_t> sheets;
    std::vector<Record> sharedStringPieces;
    std::uint32_t sharedStrings = 0;
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
            if (std::uint8_t(stream[record->data + 5]) == 0) // a worksheet, not a chart or macro sheet
                sheets.push_back(u32(stream, record->data));
        } else if (record->type == 0x0022 && record->length >= 2) {
            result.system1904 = u16(stream, record->data) == 1;
        } else if (record->type == 0x00FC) {
            if (!sharedStringPieces.empty())
                damaged("zwei Zeichenkettentabellen");
            sharedStringPieces.push_back(*record);
        }
    }
    if (!ended)
        damaged("die Mappe endet nicht");
    if (!sharedStringPieces.empty()) {
        for (Record &piece : sharedStringPieces)
            piece.type = 0;
        checkSharedStrings(stream, sharedStringPieces);
        sharedStrings = u32(stream, sharedStringPieces[0].data + 4);
    }
    if (sheets.empty())
        damaged("die Arbeitsmappe hat keine Tabelle");
    std::int64_t cells = 0;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        cells += checkSheet(stream, sheets[i], sharedStrings, i == 0, version == 0x0600, result.overlay);
        if (cells > kMaxClaimedCells)
            damaged("die Tabellen nennen mehr als " + std::to_string(kMaxClaimedCells) + " Zellen");
    }
    // A later record of a cell replaces an earlier one.
    std::stable_sort(result.overlay.begin(), result.overlay.end(),
        [](const OverlayCell &a, const OverlayCell &b) { return a.key < b.key; });
    std::vector<OverlayCell> last;
    last.reserve(result.overlay.size());
    for (std::size_t i = 0; i < result.overlay.size(); ++i) {
        if (i + 1 < result.overlay.size() && result.overlay[i + 1].key == result.overlay[i].key)
            continue;
        last.push_back(std::move(result.overlay[i]));
    }
    result.overlay = std::move(last);
    return result;
}

} // namespace Workbook::Xls
