#include "exchange/biffwriter.h"

#include "exchange/biffcontainer.h"
#include "exchange/workbookwriter.h"
#include "platform/commanderror.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype kMaxRecordData = 8224;
constexpr int kMaxRows = 65'536;
constexpr int kMaxColumns = 256;
constexpr int kRowBlock = 32;

enum RecordType : quint16
{
    kBof = 0x0809,
    kEof = 0x000A,
    kInterfaceHdr = 0x00E1,
    kMms = 0x00C1,
    kInterfaceEnd = 0x00E2,
    kWriteAccess = 0x005C,
    kCodePage = 0x0042,
    kDsf = 0x0161,
    kTabId = 0x013D,
    kWindowProtect = 0x0019,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kProt4Rev = 0x01AF,
    kProt4RevPass = 0x01BC,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kHideObj = 0x008D,
    kDateMode = 0x0022,
    kPrecision = 0x000E,
    kRefreshAll = 0x01B7,
    kBookBool = 0x00DA,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kUsesElfs = 0x0160,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtSst = 0x00FF,
    kCalcMode = 0x000D,
    kCalcCount = 0x000C,
    kRefMode = 0x000F,
    kIteration = 0x0011,
    kDelta = 0x0010,
    kSaveRecalc = 0x005F,
    kPrintHeaders = 0x002A,
    kPrintGridlines = 0x002B,
    kGridSet = 0x0082,
    kGuts = 0x0080,
    kDefaultRowHeight = 0x0225,
    kWsBool = 0x0081,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kWindow2 = 0x023E,
};

// Cell formats after the 15 style formats and the default cell format 15.
constexpr quint16 kXfDefaultCell = 15;
constexpr quint16 kXfFramed = 16;
constexpr quint16 kXfFramedBelowHeader = 17;
constexpr quint16 kXfHeader = 18;
constexpr quint16 kXfHeaderRow = 19;
// Font index 4 does not exist in BIFF: the fifth FONT record is font 5.
constexpr quint16 kFontBold = 5;
constexpr quint16 kAutomaticColour = 0x40;

class Data
{
public:
    Data &u8(quint8 v)
    {
        m_bytes.append(char(v));
        return *this;
    }
    Data &u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        m_bytes.append(b, 2);
        return *this;
    }
    Data &u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_bytes.append(b, 4);
        return *this;
    }
    Data &f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        m_bytes.append(b, 8);
        return *this;
    }
    Data &bytes(const QByteArray &b)
    {
        m_bytes.append(b);
        return *this;
    }
    const QByteArray &data() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

bool fitsOneByte(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

// Characters one byte each when all fit, else UTF-16; the caller writes the flag.
QByteArray characters(QStringView text, bool compressed)
{
    QByteArray out;
    out.reserve(text.size() * (compressed ? 1 : 2));
    for (const QChar c : text) {
        if (compressed) {
            out.append(char(c.unicode()));
        } else {
            out.append(char(c.unicode() & 0xFF));
            out.append(char(c.unicode() >> 8));
        }
    }
    return out;
}

// A name of up to 255 characters with a one-byte length.
QByteArray shortString(QStringView text)
{
    text = text.left(255);
    const bool compressed = fitsOneByte(text);
    Data d;
    d.u8(quint8(text.size())).u8(compressed ? 0 : 1).bytes(characters(text, compressed));
    return d.data();
}

class Records
{
public:
    void add(quint16 type, const QByteArray &data)
    {
        Q_ASSERT(data.size() <= kMaxRecordData);
        char header[4];
        qToLittleEndian(type, header);
        qToLittleEndian(quint16(data.size()), header + 2);
        m_stream.append(header, 4);
        m_stream.append(data);
    }
    void add(quint16 type, const Data &data) { add(type, data.data()); }
    qsizetype position() const { return m_stream.size(); }
    QByteArray &stream() { return m_stream; }

private:
    QByteArray m_stream;
};

void addFont(Records &records, bool bold)
{
    Data d;
    d.u16(200) // 10 pt in twips
        .u16(bold ? 1 : 0) // older readers take bold from here, not from the weight
        .u16(0x7FFF) // automatic colour
        .u16(bold ? 700 : 400)
        .u16(0)
        .u8(0)
        .u8(2) // swiss family
        .u8(0)
        .u8(0)
        .bytes(shortString(u"Arial"));
    records.add(kFont, d);
}

struct Borders
{
    quint8 left = 0, right = 0, top = 0, bottom = 0;
};

void addXf(Records &records, quint16 font, bool style, quint8 usedAttributes, Borders borders = {})
{
    const bool any = borders.left || borders.right || borders.top || borders.bottom;
    const quint32 lines = quint32(borders.left) | quint32(borders.right) << 4 | quint32(borders.top) << 8
        | quint32(borders.bottom) << 12
        | (any ? quint32(kAutomaticColour) << 16 | quint32(kAutomaticColour) << 23 : 0);
    const quint32 colours = any ? quint32(kAutomaticColour) | quint32(kAutomaticColour) << 7 : 0;
    Data d;
    d.u16(font)
        .u16(0) // General
        .u16(style ? 0xFFF5 : 0x0001) // locked; a style has no parent, a cell the style "Normal"
        .u8(0x20) // bottom aligned
        .u8(0)
        .u8(0)
        .u8(usedAttributes)
        .u32(lines)
        .u32(colours)
        .u16(0x20C0); // automatic pattern colours
    records.add(kXf, d);
}

struct SharedStrings
{
    QList<QStringView> texts; // in order of first use
    QHash<QStringView, quint32> index;
    quint32 references = 0;
};

SharedStrings collectStrings(const WorkbookLayout &layout)
{
    SharedStrings strings;
    for (int r = 0; r < layout.rows.size(); ++r) {
        const QStringList &row = layout.rows[r];
        for (int c = 0; c < row.size(); ++c) {
            const QString &text = row[c];
            if (text.isEmpty() || layout.isNumber(r, c))
                continue;
            ++strings.references;
            if (!strings.index.contains(QStringView(text))) {
                strings.index.insert(QStringView(text), quint32(strings.texts.size()));
                strings.texts.append(QStringView(text));
            }
        }
    }
    return strings;
}

// The shared string table and its CONTINUE records. A string's header is never split;
// when its characters go on in the next record, that record starts with a fresh
// option byte for them. Notes where every bucket's first string starts, for EXTSST.
void addSharedStrings(Records &records, const SharedStrings &strings, quint16 bucketSize, QByteArray &extSst)
{
    Data first;
    first.u32(strings.references).u32(quint32(strings.texts.size()));
    QByteArray current = first.data();
    quint16 currentType = kSst;
    const auto flush = [&] {
        records.add(currentType, current);
        current.clear();
        currentType = kContinue;
    };

    Data buckets;
    buckets.u16(bucketSize);
    for (qsizetype i = 0; i < strings.texts.size(); ++i) {
        const QStringView text = strings.texts[i];
        const bool compressed = fitsOneByte(text);
        const int charSize = compressed ? 1 : 2;
        if (kMaxRecordData - current.size() < 3 + charSize)
            flush();
        if (i % bucketSize == 0) {
            const qsizetype offsetInRecord = 4 + current.size();
            buckets.u32(quint32(records.position() + offsetInRecord)).u16(quint16(offsetInRecord)).u16(0);
        }
        Data header;
        header.u16(quint16(text.size())).u8(compressed ? 0 : 1);
        current.append(header.data());
        QStringView left = text;
        for (;;) {
            const qsizetype fit
                = std::min<qsizetype>(left.size(), (kMaxRecordData - current.size()) / charSize);
            current.append(characters(left.left(fit), compressed));
            left = left.mid(fit);
            if (left.isEmpty())
                break;
            flush();
            current.append(char(compressed ? 0 : 1));
        }
    }
    flush();
    extSst = buckets.data();
}

QByteArray globals(const WorkbookLayout &layout, const SharedStrings &strings, quint32 sheetPosition)
{
    Records r;
    r.add(kBof, Data().u16(0x0600).u16(0x0005).u16(0x0DBB).u16(0x07CC).u32(0).u32(0x06));
    r.add(kInterfaceHdr, Data().u16(1200));
    r.add(kMms, Data().u16(0));
    r.add(kInterfaceEnd, QByteArray());
    {
        const QStringView author = QStringView(layout.author).left(54);
        const bool compressed = fitsOneByte(author);
        Data d;
        d.u16(quint16(author.size())).u8(compressed ? 0 : 1).bytes(characters(author, compressed));
        QByteArray padded = d.data();
        padded.append(112 - padded.size(), ' ');
        r.add(kWriteAccess, padded);
    }
    r.add(kCodePage, Data().u16(1200)); // UTF-16
    r.add(kDsf, Data().u16(0));
    r.add(kTabId, Data().u16(1));
    r.add(kWindowProtect, Data().u16(0));
    r.add(kProtect, Data().u16(0));
    r.add(kPassword, Data().u16(0));
    r.add(kProt4Rev, Data().u16(0));
    r.add(kProt4RevPass, Data().u16(0));
    r.add(kWindow1,
        Data().u16(0x01E0).u16(0x005A).u16(0x3FCF).u16(0x2A4E).u16(0x0038).u16(0).u16(0).u16(1).u16(600));
    r.add(kBackup, Data().u16(0));
    r.add(kHideObj, Data().u16(0));
    r.add(kDateMode, Data().u16(0));
    r.add(kPrecision, Data().u16(1));
    r.add(kRefreshAll, Data().u16(0));
    r.add(kBookBool, Data().u16(0));

    for (int i = 0; i < 4; ++i)
        addFont(r, false);
    addFont(r, true);

    addXf(r, 0, true, 0x00);
    for (int i = 1; i < 15; ++i)
        addXf(r, 0, true, 0xF4); // outline styles: every attribute left to "Normal"
    addXf(r, 0, false, 0x00);
    const quint8 thin = WorkbookLayout::kThinBorder;
    const quint8 hair = WorkbookLayout::kHairBorder;
    addXf(r, 0, false, 0x20, { thin, thin, thin, thin });
    addXf(r, 0, false, 0x20, { thin, thin, hair, thin });
    addXf(r, kFontBold, false, 0x28, { hair, hair, hair, hair });
    addXf(r, kFontBold, false, 0x08);
    r.add(kStyle, Data().u16(0x8000).u8(0).u8(0xFF)); // built-in "Normal" on format 0
    r.add(kUsesElfs, Data().u16(0));

    r.add(kBoundSheet, Data().u32(sheetPosition).u8(0).u8(0).bytes(shortString(layout.sheetName)));
    r.add(kCountry, Data().u16(49).u16(49));

    const quint16 bucketSize = quint16(std::max<qsizetype>(8, strings.texts.size() / 128 + 1));
    QByteArray extSst;
    addSharedStrings(r, strings, bucketSize, extSst);
    r.add(kExtSst, extSst);
    r.add(kEof, QByteArray());
    return r.stream();
}

void addCells(Records &r, const WorkbookLayout &layout, const SharedStrings &strings)
{
    const int rowCount = int(layout.rows.size());
    for (int blockStart = 0; blockStart < rowCount; blockStart += kRowBlock) {
        const int blockEnd = std::min(rowCount, blockStart + kRowBlock);
        for (int row = blockStart; row < blockEnd; ++row) {
            const bool header = row == 0;
            r.add(kRow,
                Data()
                    .u16(quint16(row))
                    .u16(0)
                    .u16(quint16(layout.columnCount))
                    .u16(0x00FF)
                    .u16(0)
                    .u16(0)
                    .u16(header ? 0x0180 : 0x0100) // the header row carries its own format
                    .u16(header ? kXfHeaderRow : kXfDefaultCell));
        }
        for (int row = blockStart; row < blockEnd; ++row) {
            const quint16 xf = row == 0 ? kXfHeader : row == 1 ? kXfFramedBelowHeader : kXfFramed;
            const QStringList &texts = layout.rows[row];
            for (int col = 0; col < layout.columnCount; ++col) {
                const QString &text = texts[col];
                double number = 0;
                if (text.isEmpty())
                    r.add(kBlank, Data().u16(quint16(row)).u16(quint16(col)).u16(xf));
                else if (layout.isNumber(row, col, &number))
                    r.add(kNumber, Data().u16(quint16(row)).u16(quint16(col)).u16(xf).f64(number));
                else
                    r.add(kLabelSst,
                        Data()
                            .u16(quint16(row))
                            .u16(quint16(col))
                            .u16(xf)
                            .u32(strings.index.value(QStringView(text))));
            }
        }
    }
}

QByteArray worksheet(const WorkbookLayout &layout, const SharedStrings &strings)
{
    Records r;
    r.add(kBof, Data().u16(0x0600).u16(0x0010).u16(0x0DBB).u16(0x07CC).u32(0).u32(0x06));
    r.add(kCalcMode, Data().u16(1));
    r.add(kCalcCount, Data().u16(100));
    r.add(kRefMode, Data().u16(1));
    r.add(kIteration, Data().u16(0));
    r.add(kDelta, Data().f64(0.001));
    r.add(kSaveRecalc, Data().u16(1));
    r.add(kPrintHeaders, Data().u16(0));
    r.add(kPrintGridlines, Data().u16(0));
    r.add(kGridSet, Data().u16(1));
    r.add(kGuts, Data().u16(0).u16(0).u16(0).u16(0));
    r.add(kDefaultRowHeight, Data().u16(0).u16(0x00FF));
    r.add(kWsBool, Data().u16(0x04C1));
    r.add(kDefColWidth, Data().u16(8));
    for (int col = 0; col < layout.columnCount; ++col) {
        const int width = layout.columnWidths.value(col);
        if (width > 0)
            r.add(kColInfo,
                Data()
                    .u16(quint16(col))
                    .u16(quint16(col))
                    .u16(quint16(WorkbookWriter::storedWidth256(width)))
                    .u16(kXfDefaultCell)
                    .u16(0x0002) // width set by the program, not the default
                    .u16(0));
    }
    const bool empty = layout.rows.isEmpty() || layout.columnCount == 0;
    r.add(kDimensions,
        Data()
            .u32(0)
            .u32(empty ? 0 : quint32(layout.rows.size()))
            .u16(0)
            .u16(empty ? 0 : quint16(layout.columnCount))
            .u16(0));
    addCells(r, layout, strings);
    r.add(kWindow2, Data().u16(0x06B6).u16(0).u16(0).u16(kAutomaticColour).u16(0).u16(0).u16(0).u32(0));
    r.add(kEof, QByteArray());
    return r.stream();
}

} // namespace

QByteArray biffWorkbookStream(const WorkbookLayout &layout)
{
    if (layout.rows.size() > kMaxRows || layout.columnCount > kMaxColumns)
        throw CommandError(
            QStringLiteral("Tabelle zu groß für eine .xls-Arbeitsmappe (höchstens 65536 Zeilen)"));
    const SharedStrings strings = collectStrings(layout);
    // The sheet's position goes into the globals, whose size does not depend on it.
    const qsizetype globalsSize = globals(layout, strings, 0).size();
    QByteArray stream = globals(layout, strings, quint32(globalsSize));
    stream.append(worksheet(layout, strings));
    return stream;
}

QByteArray biffSummaryInformation(const QString &author)
{
    constexpr quint32 kCodePageProperty = 1;
    constexpr quint32 kAuthorProperty = 4;
    constexpr quint16 kTypeI2 = 2;
    constexpr quint16 kTypeString = 0x1E;
    constexpr qsizetype kSectionStart = 48;

    // The author as Windows-1252 text with its terminating zero, padded to 4 bytes.
    QByteArray text;
    for (const QChar c : author)
        text.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
    text.append('\0');
    const quint32 textLength = quint32(text.size());
    while (text.size() % 4 != 0)
        text.append('\0');

    Data properties;
    const quint32 firstOffset = 8 + 2 * 8;
    properties.u32(kCodePageProperty).u32(firstOffset);
    properties.u32(kAuthorProperty).u32(firstOffset + 8);
    properties.u16(kTypeI2).u16(0).u16(1252).u16(0);
    properties.u16(kTypeString).u16(0).u32(textLength).bytes(text);

    Data d;
    d.u16(0xFFFE).u16(0).u32(0x00020006);
    d.bytes(QByteArray(16, '\0')).u32(1);
    static const unsigned char kSummaryFormat[16]
        = { 0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10, 0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9 };
    d.bytes(QByteArray(reinterpret_cast<const char *>(kSummaryFormat), 16)).u32(quint32(kSectionStart));
    d.u32(quint32(8 + properties.data().size())).u32(2).bytes(properties.data());
    return d.data();
}

QByteArray biffWorkbookBytes(const WorkbookLayout &layout)
{
    return BiffContainer::compoundFile({
        { QStringLiteral("Workbook"), biffWorkbookStream(layout) },
        { QStringLiteral("\x05SummaryInformation"), biffSummaryInformation(layout.author) },
    });
}
