#include "exchange/textresultfile.h"

#include "grid/sharedtexts.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr char kTab = '\t';
constexpr char kSemicolon = ';';
constexpr char kEndOfFile = 0x1A;
constexpr std::string_view kHeaderMark = "Nr.";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned ones keep their own code.
constexpr char16_t kWindows1252High[32] = { 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D,
    0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178 };

int toWindows1252(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < 32; ++i) {
        if (kWindows1252High[i] == unit)
            return 0x80 + i;
    }
    return -1;
}

QString fromWindows1252(const char *data, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out[i] = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
    }
    return text;
}

bool isAscii(const char *data, qsizetype size)
{
    unsigned char any = 0;
    for (qsizetype i = 0; i < size; ++i)
        any |= static_cast<unsigned char>(data[i]);
    return any < 0x80;
}

[[noreturn]] void throwOutOfMemory()
{
    throw CommandError(QStringLiteral("Out of memory"));
}

// Writes one cell in Windows-1252 at out (room for one byte per unit); -1 when a
// character has no place in it.
qsizetype toWindows1252(char *out, QStringView text)
{
    const char16_t *in = text.utf16();
    const qsizetype size = text.size();
    char16_t any = 0;
    for (qsizetype i = 0; i < size; ++i) {
        any |= in[i];
        out[i] = char(in[i]);
    }
    if (any >= 0x80) {
        for (qsizetype i = 0; i < size; ++i) {
            const int byte = toWindows1252(in[i]);
            if (byte < 0)
                return -1;
            out[i] = char(byte);
        }
    }
    return size;
}

// Writes one cell in UTF-8 at out (room for three bytes per unit); a lone surrogate
// becomes "?", as QString::toUtf8() has it.
qsizetype toUtf8(char *out, QStringView text)
{
    const char16_t *in = text.utf16();
    const qsizetype size = text.size();
    char *const begin = out;
    for (qsizetype i = 0; i < size; ++i) {
        char32_t code = in[i];
        if (code < 0x80) {
            *out++ = char(code);
            continue;
        }
        if (code < 0x800) {
            *out++ = char(0xC0 | (code >> 6));
            *out++ = char(0x80 | (code & 0x3F));
            continue;
        }
        if (QChar::isSurrogate(code)) {
            if (QChar::isHighSurrogate(code) && i + 1 < size && QChar::isLowSurrogate(in[i + 1])) {
                code = QChar::surrogateToUcs4(char16_t(code), in[++i]);
                *out++ = char(0xF0 | (code >> 18));
                *out++ = char(0x80 | ((code >> 12) & 0x3F));
                *out++ = char(0x80 | ((code >> 6) & 0x3F));
                *out++ = char(0x80 | (code & 0x3F));
                continue;
            }
            *out++ = '?';
            continue;
        }
        *out++ = char(0xE0 | (code >> 12));
        *out++ = char(0x80 | ((code >> 6) & 0x3F));
        *out++ = char(0x80 | (code & 0x3F));
    }
    return out - begin;
}

// Encodes the written rows at out; false when a cell does not fit the encoding.
template <class Encode> bool writeRows(char *&out, const SortGridCore &grid, Encode encode)
{
    const int lastColumn = grid.ColCount() - 2;
    for (int row = 0; row < grid.RowCount(); ++row) {
        if (grid.cellText(0, row).isEmpty())
            continue;
        for (int col = 0; col <= lastColumn; ++col) {
            const QString &text = grid.cellText(col, row);
            // An empty cell is written as one blank; each cell ends in a TAB.
            if (text.isEmpty()) {
                *out++ = ' ';
            } else {
                const qsizetype written = encode(out, text);
                if (written < 0)
                    return false;
                out += written;
            }
            *out++ = kTab;
        }
        *out++ = '\r';
        *out++ = '\n';
    }
    return true;
}

} // namespace

bool TextResultReader::feed(const char *data, qsizetype size)
{
    if (m_ended)
        return false;
    if (m_start.size() < 4) {
        m_start.append(data, std::min<qsizetype>(4 - m_start.size(), size));
        if (m_start.startsWith("\xD0\xCF\x11\xE0") || m_start.startsWith("PK\x03\x04"))
            m_content = Content::Workbook;
    }
    if (!m_headSettled) {
        const qsizetype wanted = std::min<qsizetype>(3 - m_head.size(), size);
        m_head.append(data, wanted);
        data += wanted;
        size -= wanted;
        if (m_head.size() < 3)
            return true;
        settleHead();
    }
    if (size > 0 && !m_ended)
        take(data, size);
    return !m_ended;
}

void TextResultReader::settleHead()
{
    m_headSettled = true;
    if (m_head == QByteArrayView(kByteOrderMark, 3))
        m_bom = true;
    else
        take(m_head.constData(), m_head.size());
    m_head.clear();
}

void TextResultReader::finish()
{
    if (!m_headSettled)
        settleHead();
    m_ended = true;
    if (m_pending.active)
        completePending();
    if (m_utf8Needed > 0)
        m_utf8Valid = false;
}

void TextResultReader::take(const char *data, qsizetype size)
{
    if (const void *end = std::memchr(data, kEndOfFile, size_t(size))) {
        size = static_cast<const char *>(end) - data;
        m_ended = true;
    }
    // Read on all the same, so that what is read does not depend on the pieces.
    if (m_content == Content::Text && std::memchr(data, '\0', size_t(size)))
        m_content = Content::Binary;
    if (!m_bom && m_utf8Valid)
        checkUtf8(reinterpret_cast<const unsigned char *>(data), size);

    const char *const stop = data + size;
    while (data < stop) {
        const auto *lineEnd = static_cast<const char *>(std::memchr(data, '\n', size_t(stop - data)));
        if (!lineEnd) {
            continuePending(data, stop - data);
            break;
        }
        if (m_pending.active) {
            continuePending(data, lineEnd - data);
            completePending();
        } else {
            addDirectLine(data, lineEnd - data);
        }
        data = lineEnd + 1;
    }
}

void TextResultReader::checkUtf8(const unsigned char *data, qsizetype size)
{
    qsizetype i = 0;
    while (i < size) {
        if (m_utf8Needed > 0) {
            const unsigned char byte = data[i++];
            if (byte < m_utf8Low || byte > m_utf8High) {
                m_utf8Valid = false;
                return;
            }
            --m_utf8Needed;
            m_utf8Low = 0x80;
            m_utf8High = 0xBF;
            continue;
        }
        while (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        const unsigned char lead = data[i++];
        if (lead < 0x80)
            continue;
        // The ranges of the second byte rule out overlong forms, surrogates and codes above U+10FFFF.
        if (lead >= 0xC2 && lead <= 0xDF) {
            m_utf8Needed = 1;
        } else if (lead == 0xE0) {
            m_utf8Needed = 2;
            m_utf8Low = 0xA0;
        } else if (lead == 0xED) {
            m_utf8Needed = 2;
            m_utf8High = 0x9F;
        } else if (lead >= 0xE1 && lead <= 0xEF) {
            m_utf8Needed = 2;
        } else if (lead == 0xF0) {
            m_utf8Needed = 3;
            m_utf8Low = 0x90;
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            m_utf8Needed = 3;
        } else if (lead == 0xF4) {
            m_utf8Needed = 3;
            m_utf8High = 0x8F;
        } else {
            m_utf8Valid = false;
            return;
        }
        m_utf8MultiByte = true;
    }
}

void TextResultReader::addDirectLine(const char *line, qsizetype size)
{
    std::string_view text(line, size_t(size));
    if (text.ends_with('\r'))
        text.remove_suffix(1);
    if (text.find('\r') != text.npos) {
        m_scratch.resize(0);
        for (const char byte : text) {
            if (byte != '\r')
                m_scratch.append(byte);
        }
        text = std::string_view(m_scratch.constData(), size_t(m_scratch.size()));
    }
    addLine(text.data(), qsizetype(text.size()), text.find(kTab) != text.npos);
}

void TextResultReader::continuePending(const char *data, qsizetype size)
{
    PendingLine &line = m_pending;
    line.active = true;
    if (std::memchr(data, '\r', size_t(size))) {
        m_scratch.resize(0);
        for (qsizetype i = 0; i < size; ++i) {
            if (data[i] != '\r')
                m_scratch.append(data[i]);
        }
        data = m_scratch.constData();
        size = m_scratch.size();
    }
    if (size == 0)
        return;

    const bool tabHere = std::memchr(data, kTab, size_t(size)) != nullptr;
    line.hasTab = line.hasTab || tabHere;
    if (line.hasTab && line.semicolonFieldsOnly)
        throwOutOfMemory();

    if (line.storing) {
        // Once a TAB has come, 13 TAB runs hold every field there is to take. Until
        // then the whole line may still be the first TAB field, so it is kept.
        qsizetype keep = size;
        char previous = line.last;
        for (qsizetype i = 0; i < size; ++i) {
            const char byte = data[i];
            if (byte == kTab && previous != kTab) {
                if (++line.tabRuns == kMaxFields) {
                    keep = i + 1;
                    line.storing = false;
                    break;
                }
            } else if (byte == kSemicolon && previous != kSemicolon) {
                if (++line.semicolonRuns == kMaxFields)
                    line.semicolonCut = line.stored.size() + i + 1;
            }
            previous = byte;
        }
        if (line.stored.size() + keep > m_limits.textBytes) {
            // Too long to be a field. Without a TAB so far only the ";" fields count:
            // keep those, and refuse the line should a TAB still come.
            if (line.hasTab || line.semicolonCut < 0 || line.semicolonCut > m_limits.textBytes)
                throwOutOfMemory();
            if (line.semicolonCut <= line.stored.size())
                line.stored.truncate(line.semicolonCut);
            else
                line.stored.append(data, line.semicolonCut - line.stored.size());
            line.storing = false;
            line.semicolonFieldsOnly = true;
        } else {
            line.stored.append(data, keep);
        }
    }
    line.last = data[size - 1];
}

void TextResultReader::completePending()
{
    addLine(m_pending.stored.constData(), m_pending.stored.size(), m_pending.hasTab);
    QByteArray stored = std::move(m_pending.stored);
    stored.resize(0);
    m_pending = PendingLine();
    m_pending.stored = std::move(stored);
}

void TextResultReader::addLine(const char *line, qsizetype size, bool hasTab)
{
    // A header line has "Nr." in its first field; elsewhere it may be part of a club.
    const char separator = hasTab ? kTab : kSemicolon;
    const void *firstEnd = std::memchr(line, separator, size_t(size));
    const std::string_view first(
        line, firstEnd ? size_t(static_cast<const char *>(firstEnd) - line) : size_t(size));
    if (first.find(kHeaderMark) != first.npos)
        return;
    if (rowCount() >= m_limits.rows)
        throwOutOfMemory();
    m_rowStarts.push_back(quint32(m_fields.size()));
    if (size == 0)
        return;

    // Fields are mostly a few bytes long: a plain loop beats a library call per field.
    const auto base = quint32(m_pool.size());
    qsizetype at = 0;
    qsizetype end = 0;
    for (int count = 1;; ++count) {
        end = at;
        while (end < size && line[end] != separator)
            ++end;
        m_fields.push_back(Field { base + quint32(at), quint32(end - at) });
        if (count == kMaxFields || end == size)
            break;
        at = end + 1;
        while (at < size && line[at] == separator)
            ++at;
        if (at == size)
            break;
    }
    // One copy of the line up to its last field taken; the fields point into it.
    if (m_pool.size() + end > m_limits.textBytes)
        throwOutOfMemory();
    m_pool.append(line, end);
}

void TextResultReader::reserve(qint64 fileSize)
{
    // A start list or protocol line has about 60 bytes and 12 fields.
    const qint64 bytes = std::min<qint64>(fileSize, m_limits.textBytes);
    m_pool.reserve(qsizetype(bytes));
    m_fields.reserve(size_t(std::min<qint64>(bytes / 5, qint64(m_limits.rows) * kMaxFields)));
    m_rowStarts.reserve(size_t(std::min<qint64>(bytes / 60, m_limits.rows)));
}

const QString &TextResultReader::decode(const Field &field, QString &made) const
{
    static const QString kSpace = QStringLiteral(" ");
    if (field.size == 0)
        return kSpace;
    const char *data = m_pool.constData() + field.offset;
    const auto size = qsizetype(field.size);
    // Marks, totals and small places repeat all over a protocol: one shared string each.
    if (const QString *shared = SharedTexts::find(data, size))
        return *shared;
    if (isAscii(data, size))
        made = QString::fromLatin1(data, size);
    else
        made = isUtf8() ? QString::fromUtf8(data, size) : fromWindows1252(data, size);
    return made;
}

QStringList TextResultReader::row(int index) const
{
    QStringList texts;
    if (index < 0 || index >= rowCount())
        return texts;
    const size_t first = m_rowStarts[size_t(index)];
    const size_t last
        = size_t(index) + 1 < m_rowStarts.size() ? m_rowStarts[size_t(index) + 1] : m_fields.size();
    QString made;
    for (size_t f = first; f < last; ++f)
        texts.append(decode(m_fields[f], made));
    return texts;
}

void TextResultReader::fillTable(SortGridCore &grid, const std::function<void(int)> &rowFilled) const
{
    // Every data row is rewritten, so rows that stay need not be dropped first; but the
    // size changes (and the first cell becomes current) as when the table is emptied.
    const int rows = rowCount();
    const int count = std::max(2, rows + 1);
    if (grid.RowCount() == count && count > 2)
        grid.setRowCount(count - 1);
    grid.setRowCount(count);
    if (rows == 0)
        grid.setRows(1, QStringList());

    // Cell by cell: a row list in between would cost each text two more reference counts.
    QString made;
    for (int r = 0; r < rows; ++r) {
        const size_t first = m_rowStarts[size_t(r)];
        const size_t last = size_t(r) + 1 < m_rowStarts.size() ? m_rowStarts[size_t(r) + 1] : m_fields.size();
        for (int col = 0; col < grid.ColCount(); ++col) {
            const size_t field = first + size_t(col);
            if (col < kMaxFields && field < last)
                grid.setCells(col, r + 1, decode(m_fields[field], made));
            else if (!grid.cellText(col, r + 1).isEmpty())
                grid.setCells(col, r + 1, QString());
            if (grid.Objects(col, r + 1))
                grid.setObjects(col, r + 1, nullptr);
        }
        if (rowFilled)
            rowFilled(r + 1);
    }
}

void LoadTextFile(SortGridCore &grid, const QString &fileName, const std::function<void(int)> &rowFilled)
{
    TextResultReader reader;
    FileIo::readFile(
        fileName, [&reader](const char *data, qsizetype size) { return reader.feed(data, size); },
        [&reader](qint64 size) { reader.reserve(size); });
    reader.finish();
    const QString name = QFileInfo(fileName).fileName();
    switch (reader.content()) {
    case TextResultReader::Content::Workbook:
        throw CommandError(
            QStringLiteral("„%1“ ist keine Textdatei, sondern eine Excel-Arbeitsmappe. Die Tabelle bleibt "
                           "unverändert. Öffnen Sie die Arbeitsmappe mit dem Dateityp „MS Excel“ und unter "
                           "einem Namen auf .xls oder .xlsx")
                .arg(name));
    case TextResultReader::Content::Binary:
        throw CommandError(QStringLiteral("„%1“ ist keine Textdatei: sie enthält Binärdaten (Null-Bytes). "
                                          "Die Tabelle bleibt unverändert")
                               .arg(name));
    case TextResultReader::Content::Text:
        break;
    }
    reader.fillTable(grid, rowFilled);
}

namespace {

// Encodes the file at the start of buffer, which grows to the largest form the table may
// take; returns the bytes written. The rare cell outside Windows-1252 starts the encoding
// over as UTF-8.
size_t encodeTextResultFile(const SortGridCore &grid, std::vector<char> &buffer)
{
    // Room for the largest UTF-8 form of every text in the table, a blank and a TAB per
    // cell and a line end per row.
    const qint64 room
        = 3 + 3 * grid.textUnits() + qint64(grid.RowCount()) * (2 * std::max(grid.ColCount() - 1, 0) + 2);
    if (buffer.size() < size_t(room))
        buffer.resize(size_t(room));
    char *out = buffer.data();
    if (!writeRows(out, grid, [](char *at, QStringView text) { return toWindows1252(at, text); })) {
        out = buffer.data();
        std::memcpy(out, kByteOrderMark, 3);
        out += 3;
        writeRows(out, grid, [](char *at, QStringView text) { return toUtf8(at, text); });
    }
    return size_t(out - buffer.data());
}

} // namespace

QByteArray textResultFileBytes(const SortGridCore &grid)
{
    std::vector<char> buffer;
    const size_t size = encodeTextResultFile(grid, buffer);
    return QByteArray(buffer.data(), qsizetype(size));
}

void SaveTextFile(const SortGridCore &grid, const QString &fileName)
{
    // Kept from one save to the next: its pages are mapped already. A buffer that a very
    // large table left behind goes again.
    thread_local std::vector<char> buffer;
    const size_t size = encodeTextResultFile(grid, buffer);
    FileIo::writeFileAtomically(fileName, QByteArrayView(buffer.data(), qsizetype(size)));
    constexpr size_t kKept = size_t(64) << 20;
    if (buffer.size() > kKept)
        std::vector<char>().swap(buffer);
}
