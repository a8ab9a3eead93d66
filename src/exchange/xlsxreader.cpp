#include "exchange/xlsxreader.h"

#include "platform/commanderror.h"

#include <QDate>
#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>

#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace Workbook {
namespace {

constexpr int kMaxSheetRow = 1'048'576;
constexpr int kMaxSheetColumn = 16'384;
constexpr uLong kMaxZipEntries = 65'535;

// minizip reads the archive from memory through these.
struct MemoryStream
{
    const QByteArray *bytes;
    ZPOS64_T position = 0;
};

voidpf ZCALLBACK openMemory(voidpf opaque, const void *, int mode)
{
    if (mode & ZLIB_FILEFUNC_MODE_WRITE)
        return nullptr;
    return new MemoryStream { static_cast<const QByteArray *>(opaque) };
}

uLong ZCALLBACK readMemory(voidpf, voidpf stream, void *buffer, uLong size)
{
    auto *memory = static_cast<MemoryStream *>(stream);
    const auto left = ZPOS64_T(memory->bytes->size()) - memory->position;
    const auto count = std::min<ZPOS64_T>(size, left);
    std::memcpy(buffer, memory->bytes->constData() + memory->position, size_t(count));
    memory->position += count;
    return uLong(count);
}

uLong ZCALLBACK writeMemory(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryStream *>(stream)->position;
}

long ZCALLBACK seekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *memory = static_cast<MemoryStream *>(stream);
    const auto size = ZPOS64_T(memory->bytes->size());
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = memory->position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = size;
    if (offset > size || base + offset > size)
        return -1;
    memory->position = base + offset;
    return 0;
}

int ZCALLBACK closeMemory(voidpf, voidpf stream)
{
    delete static_cast<MemoryStream *>(stream);
    return 0;
}

int ZCALLBACK errorMemory(voidpf, voidpf)
{
    return 0;
}

QString mebibytes(qint64 bytes)
{
    return QString::number(bytes >> 20) + QStringLiteral(" MiB");
}

// One part of the archive as it is unpacked, never more than its cap.
class PartDevice : public QIODevice
{
public:
    PartDevice(unzFile zip, qint64 cap)
        : m_zip(zip)
        , m_cap(cap)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool overCap() const { return m_overCap; }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_overCap || m_failed)
            return -1;
        const int got = unzReadCurrentFile(m_zip, data, unsigned(std::min<qint64>(maxSize, 1 << 20)));
        if (got < 0) {
            m_failed = true;
            return -1;
        }
        m_total += got;
        if (m_total > m_cap) {
            m_overCap = true;
            return -1;
        }
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    unzFile m_zip;
    qint64 m_cap;
    qint64 m_total = 0;
    bool m_overCap = false;
    bool m_failed = false;
};

class Archive
{
public:
    explicit Archive(const QByteArray &bytes)
        : m_bytes(bytes)
    {
        zlib_filefunc64_def functions {};
        functions.zopen64_file = openMemory;
        functions.zread_file = readMemory;
        functions.zwrite_file = writeMemory;
        functions.ztell64_file = tellMemory;
        functions.zseek64_file = seekMemory;
        functions.zclose_file = closeMemory;
        functions.zerror_file = errorMemory;
        functions.opaque = const_cast<QByteArray *>(&m_bytes);
        m_zip = unzOpen2_64("", &functions);
        if (!m_zip)
            throwDamaged(QStringLiteral("das ZIP-Verzeichnis ist unlesbar"));
        unz_global_info64 info {};
        if (unzGetGlobalInfo64(m_zip, &info) != UNZ_OK || info.number_entry > kMaxZipEntries)
            throwDamaged(QStringLiteral("das ZIP-Verzeichnis ist unlesbar"));
    }
    ~Archive() { unzClose(m_zip); }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    bool has(const QString &part) { return unzLocateFile(m_zip, part.toUtf8().constData(), 2) == UNZ_OK; }

    // Opens the part for reading; false when the archive has no such part.
    std::unique_ptr<PartDevice> open(const QString &part, qint64 cap)
    {
        if (!has(part))
            throwDamaged(part + QStringLiteral(" fehlt"));
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            throwDamaged(part + QStringLiteral(" ist nicht lesbar"));
        return std::make_unique<PartDevice>(m_zip, cap);
    }

private:
    const QByteArray &m_bytes;
    unzFile m_zip = nullptr;
};

// Throws for a part whose XML could not be read to the end.
void checkXml(const QXmlStreamReader &xml, const PartDevice &device, const QString &part, qint64 cap)
{
    if (device.overCap())
        throwDamaged(part + QStringLiteral(" ist entpackt größer als ") + mebibytes(cap));
    if (device.failed())
        throwDamaged(part + QStringLiteral(" ist nicht entpackbar"));
    if (xml.hasError())
        throwDamaged(part + QStringLiteral(": ") + xml.errorString());
}

bool isNamed(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.name() == name;
}

// The relationship id of an r:id attribute, whatever the namespace's prefix.
QString relationshipId(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    }
    return QString();
}

struct Relationship
{
    QString type;
    QString target; // the part's name in the archive
};

// The folder of a part, with its trailing slash ("xl/" for "xl/workbook.xml").
QString folderOf(const QString &part)
{
    return part.left(part.lastIndexOf(u'/') + 1);
}

// A relationship's target as a part name: relative to the source's folder unless it
// starts with "/"; "." and ".." are resolved and never lead out of the archive.
QString resolveTarget(const QString &sourceFolder, const QString &target)
{
    const QString joined = target.startsWith(u'/') ? target : sourceFolder + target;
    QStringList parts;
    for (const QString &piece : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u".")
            continue;
        if (piece == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(piece);
    }
    return parts.join(u'/');
}

QString relationshipsOf(const QString &part)
{
    return folderOf(part) + QStringLiteral("_rels/") + part.mid(part.lastIndexOf(u'/') + 1)
        + QStringLiteral(".rels");
}

QHash<QString, Relationship> readRelationships(Archive &archive, const QString &source)
{
    const QString part = source.isEmpty() ? QStringLiteral("_rels/.rels") : relationshipsOf(source);
    QHash<QString, Relationship> relationships;
    const auto device = archive.open(part, kMaxPartXmlBytes);
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement
            || !isNamed(xml, QLatin1StringView("Relationship")))
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1StringView("TargetMode")) == u"External")
            continue;
        relationships.insert(attributes.value(QLatin1StringView("Id")).toString(),
            Relationship { attributes.value(QLatin1StringView("Type")).toString(),
                resolveTarget(folderOf(source), attributes.value(QLatin1StringView("Target")).toString()) });
    }
    checkXml(xml, *device, part, kMaxPartXmlBytes);
    return relationships;
}

// Spreadsheet strings write control characters as "_x000D_".
QString unescaped(QString text)
{
    qsizetype at = text.indexOf(u"_x");
    while (at >= 0 && at + 7 <= text.size()) {
        bool ok = false;
        const uint code = QStringView(text).mid(at + 2, 4).toUInt(&ok, 16);
        if (ok && text.at(at + 6) == u'_') {
            text.replace(at, 7, QChar(char16_t(code)));
            at = text.indexOf(u"_x", at + 1);
        } else {
            at = text.indexOf(u"_x", at + 2);
        }
    }
    return text;
}

// What readElementText gives, read straight into one string: most elements hold a
// single piece of text.
QString elementText(QXmlStreamReader &xml)
{
    QString text;
    for (;;) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (text.isEmpty())
                text = xml.text().toString();
            else
                text += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            return text;
        case QXmlStreamReader::StartElement:
            xml.raiseError(QStringLiteral("Expected character data."));
            return text;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return text;
        default: // comments and processing instructions
            break;
        }
    }
}

// The text of an <si> or <is> element, read up to its end: its <t>, or the <t> of its
// runs joined; phonetic runs are not part of the text. The text of a cell (col from 0,
// row from 1) may not be longer than a cell holds; a shared string (col -1) is checked
// where a cell uses it.
QString readStringItem(QXmlStreamReader &xml, int col = -1, int row = 0)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (isNamed(xml, QLatin1StringView("t"))) {
                text += elementText(xml);
                if (col >= 0 && text.size() > kMaxCellText)
                    throwTooLong(col, row);
            } else if (isNamed(xml, QLatin1StringView("r"))) {
                ++depth;
            } else {
                xml.skipCurrentElement();
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return text.contains(u"_x") ? unescaped(text) : text;
}

std::vector<QString> readSharedStrings(Archive &archive, const QString &part)
{
    std::vector<QString> strings;
    const auto device = archive.open(part, kMaxPartXmlBytes);
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && isNamed(xml, QLatin1StringView("si")))
            strings.push_back(readStringItem(xml));
    }
    checkXml(xml, *device, part, kMaxPartXmlBytes);
    return strings;
}

// Whether each cell format (the s attribute of a cell) shows a date or time.
std::vector<DateKind> readDateStyles(Archive &archive, const QString &part)
{
    QHash<int, QString> formatCodes;
    std::vector<DateKind> dates;
    const auto device = archive.open(part, kMaxPartXmlBytes);
    QXmlStreamReader xml(device.get());
    bool inCellFormats = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && isNamed(xml, QLatin1StringView("cellXfs")))
            inCellFormats = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (isNamed(xml, QLatin1StringView("numFmt"))) {
            formatCodes.insert(attributes.value(QLatin1StringView("numFmtId")).toInt(),
                attributes.value(QLatin1StringView("formatCode")).toString());
        } else if (isNamed(xml, QLatin1StringView("cellXfs"))) {
            inCellFormats = true;
        } else if (inCellFormats && isNamed(xml, QLatin1StringView("xf"))) {
            const int id = attributes.value(QLatin1StringView("numFmtId")).toInt();
            dates.push_back(dateKind(id, formatCodes.value(id)));
        }
    }
    checkXml(xml, *device, part, kMaxPartXmlBytes);
    return dates;
}

struct WorkbookParts
{
    QString sheet;
    QString sharedStrings;
    QString styles;
    bool system1904 = false;
};

WorkbookParts findParts(Archive &archive)
{
    if (!archive.has(QStringLiteral("_rels/.rels")))
        throwNotAWorkbook();
    QString workbook;
    for (const Relationship &relationship : readRelationships(archive, QString())) {
        if (relationship.type.endsWith(u"/officeDocument"))
            workbook = relationship.target;
    }
    if (workbook.isEmpty() || !archive.has(workbook))
        throwNotAWorkbook();

    WorkbookParts parts;
    QString sheetId;
    {
        const auto device = archive.open(workbook, kMaxPartXmlBytes);
        QXmlStreamReader xml(device.get());
        if (!xml.readNextStartElement() || !isNamed(xml, QLatin1StringView("workbook")))
            throwNotAWorkbook();
        while (!xml.atEnd() && sheetId.isEmpty()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (isNamed(xml, QLatin1StringView("workbookPr"))) {
                const auto flag = attributes.value(QLatin1StringView("date1904"));
                parts.system1904 = flag == u"1" || flag == u"true";
            } else if (isNamed(xml, QLatin1StringView("sheet"))) {
                sheetId = relationshipId(attributes);
                if (sheetId.isEmpty())
                    throwDamaged(QStringLiteral("die erste Tabelle hat keine Beziehung"));
            }
        }
        if (sheetId.isEmpty()) {
            checkXml(xml, *device, workbook, kMaxPartXmlBytes);
            throwDamaged(QStringLiteral("die Arbeitsmappe hat keine Tabelle"));
        }
    }

    const QHash<QString, Relationship> relationships = readRelationships(archive, workbook);
    const auto sheet = relationships.constFind(sheetId);
    if (sheet == relationships.cend())
        throwDamaged(QStringLiteral("die Beziehung %1 der ersten Tabelle fehlt").arg(sheetId));
    parts.sheet = sheet->target;
    // A part that leads back to the workbook or to a relationship list would be read
    // in a circle.
    const auto circular = [&](const QString &part) {
        return part.compare(workbook, Qt::CaseInsensitive) == 0
            || part.endsWith(u".rels", Qt::CaseInsensitive);
    };
    if (circular(parts.sheet))
        throwDamaged(QStringLiteral("die Beziehung %1 führt im Kreis").arg(sheetId));
    for (auto it = relationships.cbegin(); it != relationships.cend(); ++it) {
        if (circular(it->target))
            continue;
        if (it->type.endsWith(u"/sharedStrings"))
            parts.sharedStrings = it->target;
        else if (it->type.endsWith(u"/styles"))
            parts.styles = it->target;
    }
    return parts;
}

// Column (0-based) of a cell reference such as "AB12"; -1 when it is none.
int referenceColumn(QStringView reference)
{
    int col = 0;
    qsizetype i = 0;
    for (; i < reference.size() && i < 4; ++i) {
        const char16_t c = reference[i].unicode();
        if (c >= u'A' && c <= u'Z')
            col = col * 26 + (c - u'A' + 1);
        else
            break;
    }
    if (i == 0 || col > kMaxSheetColumn || i == reference.size())
        return -1;
    for (qsizetype d = i; d < reference.size(); ++d) {
        if (!reference[d].isDigit())
            return -1;
    }
    return col - 1;
}

class SheetReader
{
public:
    SheetReader(const std::vector<QString> &strings, const std::vector<DateKind> &dateStyles, bool system1904,
        const QLocale &locale)
        : m_strings(strings)
        , m_dateStyles(dateStyles)
        , m_system1904(system1904)
        , m_locale(locale)
    { }

    SheetRows read(Archive &archive, const QString &part)
    {
        SheetRows rows;
        const auto device = archive.open(part, kMaxSheetXmlBytes);
        QXmlStreamReader xml(device.get());
        int last = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || !isNamed(xml, QLatin1StringView("row")))
                continue;
            const auto number = xml.attributes().value(QLatin1StringView("r"));
            int row = last + 1;
            if (!number.isEmpty()) {
                bool ok = false;
                row = number.toInt(&ok);
                if (!ok || row < 1 || row > kMaxSheetRow)
                    throwDamaged(QStringLiteral("ungültige Zeilennummer ") + number.left(20).toString());
            } else if (row > kMaxSheetRow) {
                throwDamaged(QStringLiteral("mehr als %1 Zeilen").arg(kMaxSheetRow));
            }
            last = row;
            Row cells;
            readRow(xml, row, cells);
            if (xml.hasError())
                break;
            if (!rows.add(row, std::move(cells)))
                return rows; // the rest of the sheet cannot reach the table
        }
        checkXml(xml, *device, part, kMaxSheetXmlBytes);
        return rows;
    }

private:
    // What a cell's attributes say, taken before its children are read: holding on to
    // the reader's attributes would make it copy them for the next element.
    struct CellAttributes
    {
        QString type; // empty for most cells
        qsizetype style = -1; // the s attribute; -1 when there is none or it is no index
    };

    // "Zelle C7", for messages.
    static QString where(int col, int row) { return QStringLiteral("Zelle ") + cellName(col, row); }

    void readRow(QXmlStreamReader &xml, int row, Row &cells)
    {
        int next = 0;
        while (xml.readNextStartElement()) {
            if (!isNamed(xml, QLatin1StringView("c"))) {
                xml.skipCurrentElement();
                continue;
            }
            CellAttributes attributes;
            int col = next;
            const QXmlStreamAttributes all = xml.attributes();
            for (const QXmlStreamAttribute &attribute : all) {
                if (!attribute.namespaceUri().isEmpty())
                    continue;
                const QStringView name = attribute.name();
                if (name == u"r") {
                    const QStringView reference = attribute.value();
                    if (!reference.isEmpty()) {
                        col = referenceColumn(reference);
                        if (col < 0)
                            throwDamaged(
                                QStringLiteral("ungültiger Zellbezug ") + reference.left(20).toString());
                    }
                } else if (name == u"t") {
                    attributes.type = attribute.value().toString();
                } else if (name == u"s") {
                    bool ok = false;
                    const qulonglong style = attribute.value().toULongLong(&ok);
                    attributes.style = ok && style < m_dateStyles.size() ? qsizetype(style) : -1;
                }
            }
            next = col + 1;
            if (col >= kColumns) {
                xml.skipCurrentElement();
                continue;
            }
            cells[size_t(col)] = readCell(xml, attributes, col, row);
        }
    }

    Cell readCell(QXmlStreamReader &xml, const CellAttributes &attributes, int col, int row)
    {
        QString value;
        QString inline_;
        bool hasInline = false;
        while (xml.readNextStartElement()) {
            if (isNamed(xml, QLatin1StringView("v"))) {
                value = elementText(xml);
                if (value.size() > kMaxCellText)
                    throwTooLong(col, row);
            } else if (isNamed(xml, QLatin1StringView("is"))) {
                inline_ = readStringItem(xml, col, row);
                hasInline = true;
            } else {
                xml.skipCurrentElement(); // the formula itself and extensions
            }
        }
        if (xml.hasError())
            return Cell();

        const QString &type = attributes.type;
        Cell cell;
        if (type == u"s") {
            if (value.isEmpty())
                return cell;
            bool ok = false;
            const qulonglong index = QStringView(value).trimmed().toULongLong(&ok);
            if (!ok || index >= m_strings.size())
                throwDamaged(where(col, row) + QStringLiteral(" verweist auf die gemeinsame Zeichenkette ")
                    + value.left(20) + QStringLiteral(", die es nicht gibt"));
            cell.text = m_strings[size_t(index)];
            if (cell.text.size() > kMaxCellText)
                throwTooLong(col, row);
        } else if (type == u"inlineStr") {
            cell.text = hasInline ? inline_ : value;
        } else if (type == u"str") {
            cell.text = value.contains(u"_x") ? unescaped(value) : value;
        } else if (type == u"b") {
            if (!value.isEmpty())
                cell.text = value.trimmed() == u"0" ? QStringLiteral("FALSCH") : QStringLiteral("WAHR");
        } else if (type == u"e") {
            cell.error = true;
        } else if (type == u"d") {
            if (!value.isEmpty()) {
                cell.text = dateText(QDate::fromString(value.left(10), Qt::ISODate), m_locale);
                if (cell.text.isEmpty())
                    throwDamaged(where(col, row) + QStringLiteral(" hat kein Datum"));
            }
        } else if (type.isEmpty() || type == u"n") {
            if (!value.isEmpty())
                cell.text = numberCell(std::move(value), attributes.style, col, row);
        } else {
            throwDamaged(where(col, row) + QStringLiteral(" hat den unbekannten Typ ") + type.left(20));
        }
        return cell;
    }

    // A whole number written plainly, as marks and places are: its text is the one
    // the table shows.
    static bool isPlainWhole(const QString &value)
    {
        const qsizetype size = value.size();
        if (size == 0 || size > 15 || (size > 1 && value.front() == u'0'))
            return false;
        return std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    }

    QString numberCell(QString value, qsizetype style, int col, int row) const
    {
        const DateKind kind = style >= 0 ? m_dateStyles[size_t(style)] : DateKind::None;
        if (kind == DateKind::None && isPlainWhole(value))
            return value;
        bool ok = false;
        const double number = QStringView(value).trimmed().toDouble(&ok);
        if (!ok)
            throwDamaged(where(col, row) + QStringLiteral(" hat keine Zahl"));
        QString date;
        if (kind == DateKind::Date)
            date = dateText(number, m_system1904, m_locale);
        else if (kind != DateKind::None)
            date = timeText(number, m_system1904, kind == DateKind::DateTime, m_locale);
        if (!date.isEmpty())
            return date;
        return numberText(number, m_locale);
    }

    const std::vector<QString> &m_strings;
    const std::vector<DateKind> &m_dateStyles;
    bool m_system1904;
    const QLocale &m_locale;
};

} // namespace

SheetRows readXlsxRows(const QByteArray &bytes, const QLocale &locale)
{
    Archive archive(bytes);
    const WorkbookParts parts = findParts(archive);
    const std::vector<QString> strings = parts.sharedStrings.isEmpty()
        ? std::vector<QString>()
        : readSharedStrings(archive, parts.sharedStrings);
    const std::vector<DateKind> dateStyles
        = parts.styles.isEmpty() ? std::vector<DateKind>() : readDateStyles(archive, parts.styles);
    return SheetReader(strings, dateStyles, parts.system1904, locale).read(archive, parts.sheet);
}

} // namespace Workbook
