#include "exchange/recoveryfile.h"

#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"

#include <QStringDecoder>

#include <zlib.h>

#include <string>
#include <string_view>

namespace {

constexpr std::string_view kMagic = "SCORELANE-RECOVERY";
// Room for the first line: magic, version, size and checksum with their blanks.
constexpr qsizetype kMaxHeadLine = 80;

// zlib's CRC-32, the one of zip and PNG: about twice as fast as eight tables here.
quint32 crc32(QByteArrayView bytes)
{
    return quint32(::crc32_z(
        ::crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef *>(bytes.data()), size_t(bytes.size())));
}

// Writes one cell at out (room for six bytes per UTF-16 unit) and returns the end.
// TAB, CR, LF and the backslash are escaped so that lines and cells stay apart; a
// lone surrogate has no UTF-8 form and is escaped by its code.
char *appendEscaped(char *out, QStringView text)
{
    static const char kHex[] = "0123456789ABCDEF";
    const qsizetype size = text.size();
    const char16_t *in = text.utf16();
    // Most cells are printable ASCII all through: one well-predicted test per character.
    qsizetype i = 0;
    for (; i < size && in[i] >= 0x20 && in[i] < 0x80 && in[i] != u'\\'; ++i)
        out[i] = char(in[i]);
    out += i;
    for (; i < size; ++i) {
        const char16_t c = in[i];
        if (c < 0x80) {
            switch (c) {
            case u'\\':
                *out++ = '\\';
                *out++ = '\\';
                break;
            case u'\t':
                *out++ = '\\';
                *out++ = 't';
                break;
            case u'\n':
                *out++ = '\\';
                *out++ = 'n';
                break;
            case u'\r':
                *out++ = '\\';
                *out++ = 'r';
                break;
            default:
                *out++ = char(c);
            }
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(in[i + 1])) {
            const char32_t code = QChar::surrogateToUcs4(c, in[++i]);
            *out++ = char(0xF0 | (code >> 18));
            *out++ = char(0x80 | ((code >> 12) & 0x3F));
            *out++ = char(0x80 | ((code >> 6) & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            *out++ = '\\';
            *out++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *out++ = kHex[(c >> shift) & 0xF];
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class Body
{
public:
    explicit Body(qsizetype capacity)
    {
        m_bytes.resize(std::max<qsizetype>(capacity, 256));
        m_data = m_bytes.data();
    }
    // The byte array is not shared while it is built: its data pointer is kept, so that
    // each cell does not ask it again.
    char *room(qsizetype size)
    {
        if (m_used + size > m_bytes.size()) {
            m_bytes.resize(std::max(m_bytes.size() * 2, m_used + size));
            m_data = m_bytes.data();
        }
        return m_data + m_used;
    }
    void put(std::string_view text)
    {
        m_used = std::copy(text.begin(), text.end(), room(qsizetype(text.size()))) - m_data;
    }
    void putNumber(qint64 value) { put(QByteArray::number(value).toStdString()); }
    void putCell(QStringView text) { m_used = appendEscaped(room(text.size() * 6), text) - m_data; }
    // The cell and the byte that ends it.
    void putCell(QStringView text, char end)
    {
        char *out = appendEscaped(room(text.size() * 6 + 1), text);
        *out++ = end;
        m_used = out - m_data;
    }
    QByteArray take()
    {
        m_bytes.truncate(m_used);
        m_data = nullptr;
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    char *m_data = nullptr;
    qsizetype m_used = 0;
};

// Walks the body line by line; every step checks what it was given.
class Parser
{
public:
    explicit Parser(QByteArrayView bytes)
        : m_text(bytes.data(), size_t(bytes.size()))
    { }

    bool atEnd() const { return m_text.empty(); }

    // The next line without its LF; false when no complete line is left.
    bool line(std::string_view &out)
    {
        const size_t end = m_text.find('\n');
        if (end == std::string_view::npos)
            return false;
        out = m_text.substr(0, end);
        m_text.remove_prefix(end + 1);
        return true;
    }

    // "<key> <value>" with the key as given.
    bool keyed(std::string_view key, std::string_view &value)
    {
        std::string_view text;
        if (!line(text) || !text.starts_with(key) || text.size() <= key.size() || text[key.size()] != ' ')
            return false;
        value = text.substr(key.size() + 1);
        return true;
    }

private:
    std::string_view m_text;
};

// A plain decimal number of at most nine digits.
bool parseNumber(std::string_view text, qint64 &value)
{
    if (text.empty() || text.size() > 9)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Splits "a b c" into exactly count numbers.
bool parseNumbers(std::string_view text, qint64 *values, int count)
{
    for (int i = 0; i < count; ++i) {
        const size_t blank = i + 1 < count ? text.find(' ') : text.size();
        if (blank == std::string_view::npos || !parseNumber(text.substr(0, blank), values[i]))
            return false;
        text.remove_prefix(std::min(text.size(), blank + 1));
    }
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The text of one escaped cell; false on a bad escape or bytes that are not UTF-8.
bool unescape(std::string_view cell, QString &text)
{
    bool plain = true;
    for (const char c : cell) {
        if (c == '\\' || static_cast<unsigned char>(c) >= 0x80) {
            plain = false;
            break;
        }
    }
    if (plain) {
        text = QString::fromLatin1(cell.data(), qsizetype(cell.size()));
        return true;
    }

    text.clear();
    text.reserve(qsizetype(cell.size()));
    // Escapes are ASCII and never inside a UTF-8 sequence, so the runs between them decode alone.
    auto appendRun = [&text](std::string_view run) {
        if (run.empty())
            return true;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        text += decoder.decode(QByteArrayView(run.data(), qsizetype(run.size())));
        return !decoder.hasError();
    };
    size_t start = 0;
    for (size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\')
            continue;
        if (!appendRun(cell.substr(start, i - start)) || i + 1 >= cell.size())
            return false;
        switch (cell[++i]) {
        case '\\':
            text += u'\\';
            break;
        case 't':
            text += u'\t';
            break;
        case 'n':
            text += u'\n';
            break;
        case 'r':
            text += u'\r';
            break;
        case 'u': {
            if (i + 4 >= cell.size())
                return false;
            char16_t code = 0;
            for (int k = 1; k <= 4; ++k) {
                const int digit = hexDigit(cell[i + size_t(k)]);
                if (digit < 0)
                    return false;
                code = char16_t(code * 16 + digit);
            }
            text += QChar(code);
            i += 4;
            break;
        }
        default:
            return false;
        }
        start = i + 1;
    }
    return appendRun(cell.substr(start));
}

RecoveryFile::Decoded failure(const QString &why)
{
    return { std::nullopt, QStringLiteral("Wiederherstellungsdatei unbrauchbar: ") + why };
}

} // namespace

RecoverySnapshot takeRecoverySnapshot(
    const SortGridCore &grid, int judgeCount, const QString &tabCaption, const QString &fileName)
{
    RecoverySnapshot snapshot;
    snapshot.columnCount = grid.ColCount();
    snapshot.rowCount = grid.RowCount();
    snapshot.hiddenRowCount = grid.HiddenRowCount();
    const int rows = snapshot.rowCount + snapshot.hiddenRowCount;
    snapshot.cells.resize(qsizetype(rows) * snapshot.columnCount);
    QString *out = snapshot.cells.data();
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < snapshot.columnCount; ++col)
            *out++ = grid.cellText(col, row);
    }
    snapshot.judgeCount = judgeCount;
    snapshot.tabCaption = tabCaption;
    snapshot.fileName = fileName;
    return snapshot;
}

void restoreRecoverySnapshot(const RecoverySnapshot &snapshot, SortGridCore &grid)
{
    grid.setColCount(snapshot.columnCount);
    grid.setRowCount(snapshot.rowCount);
    grid.setHiddenRowCount(snapshot.hiddenRowCount);
    const int rows = snapshot.rowCount + snapshot.hiddenRowCount;
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < snapshot.columnCount; ++col) {
            grid.setCells(col, row, snapshot.cell(col, row));
            if (grid.Objects(col, row))
                grid.setObjects(col, row, nullptr);
        }
    }
}

namespace RecoveryFile {

namespace {

// The first line has a fixed width, so that the checksum can be filled in last.
constexpr qsizetype kHeadSize = qsizetype(kMagic.size()) + 1 + 1 + 1 + 9 + 1 + 8 + 1;
static_assert(kMaxBytes < 1'000'000'000, "the size field has nine digits");

template <class CellAt>
QByteArray encodeUnsealed(int columns, int rows, int hiddenRows, CellAt cellAt, int judgeCount,
    const QString &tabCaption, const QString &fileName)
{
    Body body(qsizetype(rows + hiddenRows) * columns * 8 + 256);
    body.put(std::string(size_t(kHeadSize - 1), ' '));
    body.put("\n");
    body.put("judges ");
    body.putNumber(judgeCount);
    body.put("\ntab ");
    body.putCell(tabCaption);
    body.put("\nfile ");
    body.putCell(fileName);
    body.put("\ntable ");
    body.putNumber(columns);
    body.put(" ");
    body.putNumber(rows);
    body.put(" ");
    body.putNumber(hiddenRows);
    body.put("\n");
    // Each text lies in a heap block of its own, wherever the table's history put it: the
    // characters of a row a few rows on are asked for early, so that their loads overlap
    // with the encoding instead of waiting one after the other.
    constexpr int kRowsAhead = 2;
    const int total = rows + hiddenRows;
    for (int row = 0; row < total; ++row) {
        if (row + kRowsAhead < total) {
            for (int col = 0; col < columns; ++col)
                __builtin_prefetch(cellAt(col, row + kRowsAhead).constData());
        }
        for (int col = 0; col < columns; ++col)
            body.putCell(cellAt(col, row), col + 1 < columns ? '\t' : '\n');
    }
    if (columns == 0) {
        for (int row = 0; row < rows + hiddenRows; ++row)
            body.put("\n");
    }
    return body.take();
}

} // namespace

QByteArray encodeUnsealed(
    const SortGridCore &grid, int judgeCount, const QString &tabCaption, const QString &fileName)
{
    return encodeUnsealed(
        grid.ColCount(), grid.RowCount(), grid.HiddenRowCount(),
        [&grid](int col, int row) -> const QString & { return grid.cellText(col, row); }, judgeCount,
        tabCaption, fileName);
}

void seal(QByteArray &file)
{
    const QByteArrayView body = QByteArrayView(file).sliced(kHeadSize);
    const QByteArray head = QByteArray(kMagic.data(), qsizetype(kMagic.size())) + ' '
        + QByteArray::number(kVersion) + ' ' + QByteArray::number(body.size()).rightJustified(9, '0') + ' '
        + QByteArray::number(crc32(body), 16).rightJustified(8, '0').toUpper() + '\n';
    Q_ASSERT(head.size() == kHeadSize);
    std::copy(head.begin(), head.end(), file.begin());
}

QByteArray encode(const RecoverySnapshot &snapshot)
{
    QByteArray file = encodeUnsealed(
        snapshot.columnCount, snapshot.rowCount, snapshot.hiddenRowCount,
        [&snapshot](int col, int row) -> const QString & { return snapshot.cell(col, row); },
        snapshot.judgeCount, snapshot.tabCaption, snapshot.fileName);
    seal(file);
    return file;
}

Decoded decode(QByteArrayView bytes)
{
    if (bytes.size() > kMaxBytes + kMaxHeadLine)
        return failure(QStringLiteral("zu groß"));
    const qsizetype headEnd = bytes.first(std::min(bytes.size(), kMaxHeadLine)).indexOf('\n');
    if (headEnd <= qsizetype(kMagic.size())
        || !bytes.startsWith(QByteArrayView(kMagic.data(), qsizetype(kMagic.size())))
        || bytes[qsizetype(kMagic.size())] != ' ')
        return failure(QStringLiteral("keine Wiederherstellungsdatei"));
    const std::string_view head(bytes.data() + kMagic.size() + 1, size_t(headEnd) - kMagic.size() - 1);
    const size_t versionEnd = head.find(' ');
    qint64 version = 0;
    if (!parseNumber(head.substr(0, versionEnd), version))
        return failure(QStringLiteral("keine Wiederherstellungsdatei"));
    if (version != kVersion)
        return failure(QStringLiteral("Version %1 unbekannt").arg(version));
    if (versionEnd == std::string_view::npos)
        return failure(QStringLiteral("Kopfzeile unvollständig"));

    const std::string_view rest = head.substr(versionEnd + 1);
    const size_t sizeEnd = rest.find(' ');
    qint64 size = 0;
    if (sizeEnd == std::string_view::npos || !parseNumber(rest.substr(0, sizeEnd), size)
        || rest.size() != sizeEnd + 9)
        return failure(QStringLiteral("Kopfzeile unvollständig"));
    quint32 checksum = 0;
    for (const char c : rest.substr(sizeEnd + 1)) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return failure(QStringLiteral("Kopfzeile unvollständig"));
        checksum = checksum * 16 + quint32(digit);
    }
    const QByteArrayView body = bytes.sliced(headEnd + 1);
    if (size > kMaxBytes)
        return failure(QStringLiteral("zu groß"));
    if (body.size() != size)
        return failure(QStringLiteral("Länge falsch (abgeschnitten?)"));
    if (crc32(body) != checksum)
        return failure(QStringLiteral("Prüfsumme falsch"));

    // The checksum says the bytes are the ones written; the checks below still hold
    // against a file made by hand.
    const QString malformed = QStringLiteral("Inhalt fehlerhaft");
    Parser parser(body);
    RecoverySnapshot snapshot;
    std::string_view value;
    qint64 numbers[3] = {};
    if (!parser.keyed("judges", value) || !parseNumber(value, numbers[0]))
        return failure(malformed);
    snapshot.judgeCount = int(numbers[0]);
    if (!parser.keyed("tab", value) || !unescape(value, snapshot.tabCaption))
        return failure(malformed);
    if (!parser.keyed("file", value) || !unescape(value, snapshot.fileName))
        return failure(malformed);
    if (!parser.keyed("table", value) || !parseNumbers(value, numbers, 3))
        return failure(malformed);
    const qint64 columns = numbers[0];
    const qint64 rows = numbers[1] + numbers[2];
    if (columns < 1 || columns > kMaxColumns || numbers[1] < 1 || rows > kMaxRows
        || rows * columns > kMaxCells)
        return failure(QStringLiteral("Tabellengröße unmöglich"));
    snapshot.columnCount = int(columns);
    snapshot.rowCount = int(numbers[1]);
    snapshot.hiddenRowCount = int(numbers[2]);

    // Every cell takes at least one byte of the body, so this much room was really sent.
    snapshot.cells.reserve(std::min(rows * columns, body.size()));
    QString text;
    for (qint64 row = 0; row < rows; ++row) {
        std::string_view line;
        if (!parser.line(line))
            return failure(malformed);
        for (qint64 col = 0; col < columns; ++col) {
            const size_t end = col + 1 < columns ? line.find('\t') : line.size();
            if (end == std::string_view::npos)
                return failure(malformed);
            const std::string_view cell = line.substr(0, end);
            if (col + 1 == columns && cell.find('\t') != std::string_view::npos)
                return failure(malformed);
            if (!unescape(cell, text))
                return failure(malformed);
            snapshot.cells.append(text);
            line.remove_prefix(std::min(line.size(), end + 1));
        }
    }
    if (!parser.atEnd())
        return failure(malformed);
    return { std::move(snapshot), QString() };
}

Decoded read(const QString &fileName)
{
    QByteArray bytes;
    const qsizetype limit = kMaxBytes + kMaxHeadLine;
    try {
        FileIo::readFile(
            fileName,
            [&bytes, limit](const char *data, qsizetype size) {
                bytes.append(data, std::min(size, limit + 1 - bytes.size()));
                return bytes.size() <= limit;
            },
            [&bytes, limit](qint64 size) { bytes.reserve(qsizetype(std::min<qint64>(size, limit + 1))); });
    } catch (const CommandError &error) {
        return { std::nullopt, error.text() };
    }
    return decode(bytes);
}

} // namespace RecoveryFile
