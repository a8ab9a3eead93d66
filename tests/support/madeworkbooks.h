#pragma once

// Workbooks made byte by byte for the tests: small Office Open XML archives, a zip
// bomb, and helpers to patch a compound file.

#include <QByteArray>
#include <QList>

#include <zlib.h>

#include <utility>
#include <vector>

namespace MadeWorkbooks {

inline void putLe16(QByteArray &bytes, qsizetype at, quint32 value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char(value >> 8 & 0xFF);
}

inline void putLe32(QByteArray &bytes, qsizetype at, quint32 value)
{
    putLe16(bytes, at, value & 0xFFFF);
    putLe16(bytes, at + 2, value >> 16);
}

inline quint32 le32(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// Where the allocation table of a 512-byte-sector compound file holds sector's link.
inline qsizetype fatEntryOffset(const QByteArray &file, quint32 sector)
{
    const quint32 fatSector = le32(file, 0x4C + qsizetype(sector / 128) * 4);
    return qsizetype(fatSector + 1) * 512 + qsizetype(sector % 128) * 4;
}

// Raw deflate; flush Z_FULL_FLUSH leaves the output open and independent of what
// came before, so that such pieces can be repeated.
inline QByteArray deflated(const QByteArray &data, int flush = Z_FINISH)
{
    z_stream stream {};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, flush);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

struct Entry
{
    QByteArray name;
    QByteArray compressed;
    quint32 crc;
    quint32 size; // unpacked, as the archive claims it
};

inline QByteArray archive(const std::vector<Entry> &entries)
{
    QByteArray out;
    QByteArray directory;
    for (const Entry &entry : entries) {
        QByteArray local(30, '\0');
        putLe32(local, 0, 0x04034b50);
        putLe16(local, 4, 20);
        putLe16(local, 8, 8);
        putLe32(local, 14, entry.crc);
        putLe32(local, 18, quint32(entry.compressed.size()));
        putLe32(local, 22, entry.size);
        putLe16(local, 26, quint32(entry.name.size()));
        QByteArray central(46, '\0');
        putLe32(central, 0, 0x02014b50);
        putLe16(central, 4, 20);
        putLe16(central, 6, 20);
        putLe16(central, 10, 8);
        putLe32(central, 16, entry.crc);
        putLe32(central, 20, quint32(entry.compressed.size()));
        putLe32(central, 24, entry.size);
        putLe16(central, 28, quint32(entry.name.size()));
        putLe32(central, 42, quint32(out.size()));
        out += local + entry.name + entry.compressed;
        directory += central + entry.name;
    }
    QByteArray end(22, '\0');
    putLe32(end, 0, 0x06054b50);
    putLe16(end, 8, quint32(entries.size()));
    putLe16(end, 10, quint32(entries.size()));
    putLe32(end, 12, quint32(directory.size()));
    putLe32(end, 16, quint32(out.size()));
    return out + directory + end;
}

inline Entry entry(const QByteArray &name, const QByteArray &data)
{
    return Entry { name, deflated(data),
        quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()))),
        quint32(data.size()) };
}

inline QByteArray zip(const QList<std::pair<QByteArray, QByteArray>> &parts)
{
    std::vector<Entry> entries;
    for (const auto &[name, data] : parts)
        entries.push_back(entry(name, data));
    return archive(entries);
}

inline QByteArray sheet(const QByteArray &rows, const QByteArray &dimension = QByteArray())
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
        + (dimension.isEmpty() ? QByteArray() : "<dimension ref=\"" + dimension + "\"/>") + "<sheetData>"
        + rows + "</sheetData></worksheet>";
}

inline std::vector<Entry> xlsxEntries(const QByteArray &sheetTarget = "worksheets/sheet1.xml",
    const QByteArray &sheetId = "rId1", const QList<QByteArray> &strings = {})
{
    QByteArray shared = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
    for (const QByteArray &text : strings)
        shared += "<si><t>" + text + "</t></si>";
    shared += "</sst>";
    const QByteArray relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return {
        entry("_rels/.rels",
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type=")"
                + relationships + R"(/officeDocument" Target="xl/workbook.xml"/></Relationships>)"),
        entry("xl/workbook.xml",
            R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r=")"
                + relationships + R"("><sheets><sheet name="Tabelle1" sheetId="1" r:id=")" + sheetId
                + R"("/></sheets></workbook>)"),
        entry("xl/_rels/workbook.xml.rels",
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type=")"
                + relationships + R"(/worksheet" Target=")" + sheetTarget + R"("/>)"
                + R"(<Relationship Id="rId2" Type=")" + relationships
                + R"(/sharedStrings" Target="sharedStrings.xml"/></Relationships>)"),
        entry("xl/sharedStrings.xml", shared),
    };
}

// A workbook whose first sheet is sheetXml; the sheet's relationship may be bent.
inline QByteArray xlsx(const QByteArray &sheetXml, const QList<QByteArray> &strings = {},
    const QByteArray &sheetTarget = "worksheets/sheet1.xml", const QByteArray &sheetId = "rId1")
{
    std::vector<Entry> entries = xlsxEntries(sheetTarget, sheetId, strings);
    entries.push_back(entry("xl/worksheets/sheet1.xml", sheetXml));
    return archive(entries);
}

// A workbook of a few megabytes whose sheet unpacks to `unpacked` bytes of XML.
inline QByteArray zipBomb(qint64 unpacked)
{
    const QByteArray head = sheet("").left(sheet("").indexOf("</sheetData>"));
    // Comments: the quickest XML to read past, and each one is let go once read.
    const QByteArray block = "<!--" + QByteArray((1 << 20) - 7, ' ') + "-->";
    QByteArray compressed = deflated(head, Z_FULL_FLUSH);
    const QByteArray piece = deflated(block, Z_FULL_FLUSH);
    for (qint64 done = head.size(); done < unpacked; done += block.size())
        compressed += piece;
    compressed += deflated(QByteArray());
    std::vector<Entry> entries = xlsxEntries();
    entries.push_back(
        Entry { "xl/worksheets/sheet1.xml", compressed, 0, quint32(std::min<qint64>(unpacked, 0xFFFFFFFF)) });
    return archive(entries);
}

} // namespace MadeWorkbooks
