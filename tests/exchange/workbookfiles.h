#pragma once

// Test-side readers for the binary workbooks we write, made apart from the writer:
// the streams of a compound file and the BIFF records of a stream.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QtEndian>

namespace WorkbookFiles {

inline quint32 u32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
inline quint16 u16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

// Streams of the root storage by name, each cut to the size its entry gives.
// Empty when the file is not a compound file of 512-byte sectors.
inline QMap<QString, QByteArray> streams(const QByteArray &file)
{
    QMap<QString, QByteArray> found;
    if (file.size() < 512 || u32(file, 0) != 0xE011CFD0u || u16(file, 30) != 9)
        return found;
    const auto sector = [&file](quint32 s) { return file.mid(512 + qsizetype(s) * 512, 512); };
    QList<quint32> fatSectors;
    for (int i = 0; i < 109 && i < int(u32(file, 44)); ++i)
        fatSectors.append(u32(file, 76 + 4 * i));
    for (quint32 d = u32(file, 68); d < 0xFFFFFFFA && fatSectors.size() < qsizetype(u32(file, 44));) {
        const QByteArray bytes = sector(d);
        for (int i = 0; i < 127 && fatSectors.size() < qsizetype(u32(file, 44)); ++i)
            fatSectors.append(u32(bytes, 4 * i));
        d = u32(bytes, 508);
    }
    QByteArray fat;
    for (quint32 s : fatSectors)
        fat += sector(s);
    const auto chain = [&](quint32 start, qint64 limit) {
        QByteArray bytes;
        for (quint32 s = start; s < 0xFFFFFFFA && 4 * qsizetype(s) < fat.size() && bytes.size() < limit;
             s = u32(fat, 4 * qsizetype(s)))
            bytes += sector(s);
        return bytes;
    };
    const QByteArray directory = chain(u32(file, 48), qint64(1) << 30);
    // Other writers keep small streams in 64-byte pieces of the root's mini stream.
    const QByteArray miniStream = chain(u32(directory, 116), u32(directory, 120));
    const QByteArray miniFat = chain(u32(file, 60), qint64(u32(file, 64)) * 512);
    const auto miniChain = [&](quint32 start, qint64 limit) {
        QByteArray bytes;
        for (quint32 s = start; s < 0xFFFFFFFA && 4 * qsizetype(s) < miniFat.size() && bytes.size() < limit;
             s = u32(miniFat, 4 * qsizetype(s)))
            bytes += miniStream.mid(qsizetype(s) * 64, 64);
        return bytes;
    };
    for (qsizetype at = 128; at + 128 <= directory.size(); at += 128) {
        if (directory[at + 66] != 2)
            continue;
        const int length = u16(directory, at + 64) / 2 - 1;
        const QString name
            = QString::fromUtf16(reinterpret_cast<const char16_t *>(directory.constData() + at), length);
        const quint32 size = u32(directory, at + 120);
        const quint32 start = u32(directory, at + 116);
        found.insert(name, (size < u32(file, 56) ? miniChain(start, size) : chain(start, size)).left(size));
    }
    return found;
}

struct Record
{
    quint16 type;
    qsizetype offset; // of the record header in the stream
    QByteArray data;
};

// The records up to the last EOF; padding after it is ignored.
inline QList<Record> records(const QByteArray &stream)
{
    QList<Record> list;
    qsizetype lastEof = -1;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 type = u16(stream, at);
        const quint16 size = u16(stream, at + 2);
        if (type == 0 && size == 0)
            break;
        list.append({ type, at, stream.mid(at + 4, size) });
        if (type == 0x000A)
            lastEof = list.size();
        at += 4 + size;
    }
    if (lastEof >= 0)
        list.resize(lastEof);
    return list;
}

inline QString recordName(quint16 type)
{
    static const QMap<quint16, QString> kNames = { { 0x0809, "BOF" }, { 0x000A, "EOF" },
        { 0x00E1, "INTERFACEHDR" }, { 0x00C1, "MMS" }, { 0x00E2, "INTERFACEEND" }, { 0x005C, "WRITEACCESS" },
        { 0x0042, "CODEPAGE" }, { 0x0161, "DSF" }, { 0x013D, "TABID" }, { 0x009C, "FNGROUPCOUNT" },
        { 0x0019, "WINDOWPROTECT" }, { 0x0012, "PROTECT" }, { 0x0013, "PASSWORD" }, { 0x01AF, "PROT4REV" },
        { 0x01BC, "PROT4REVPASS" }, { 0x003D, "WINDOW1" }, { 0x0040, "BACKUP" }, { 0x008D, "HIDEOBJ" },
        { 0x0022, "DATEMODE" }, { 0x000E, "PRECISION" }, { 0x01B7, "REFRESHALL" }, { 0x00DA, "BOOKBOOL" },
        { 0x0031, "FONT" }, { 0x041E, "FORMAT" }, { 0x00E0, "XF" }, { 0x087C, "XFCRC" }, { 0x087D, "XFEXT" },
        { 0x0293, "STYLE" }, { 0x0892, "STYLEEXT" }, { 0x0092, "PALETTE" }, { 0x0160, "USESELFS" },
        { 0x0085, "BOUNDSHEET" }, { 0x008C, "COUNTRY" }, { 0x01C1, "RECALCID" }, { 0x00FC, "SST" },
        { 0x003C, "CONTINUE" }, { 0x00FF, "EXTSST" }, { 0x0863, "BOOKEXT" }, { 0x088C, "COMPAT12" },
        { 0x0896, "THEME" }, { 0x020B, "INDEX" }, { 0x000D, "CALCMODE" }, { 0x000C, "CALCCOUNT" },
        { 0x000F, "REFMODE" }, { 0x0011, "ITERATION" }, { 0x0010, "DELTA" }, { 0x005F, "SAVERECALC" },
        { 0x002A, "PRINTHEADERS" }, { 0x002B, "PRINTGRIDLINES" }, { 0x0082, "GRIDSET" }, { 0x0080, "GUTS" },
        { 0x0225, "DEFAULTROWHEIGHT" }, { 0x0081, "WSBOOL" }, { 0x0014, "HEADER" }, { 0x0015, "FOOTER" },
        { 0x0083, "HCENTER" }, { 0x0084, "VCENTER" }, { 0x00A1, "SETUP" }, { 0x0055, "DEFCOLWIDTH" },
        { 0x007D, "COLINFO" }, { 0x0200, "DIMENSIONS" }, { 0x0208, "ROW" }, { 0x00FD, "LABELSST" },
        { 0x0201, "BLANK" }, { 0x00BE, "MULBLANK" }, { 0x00D7, "DBCELL" }, { 0x023E, "WINDOW2" },
        { 0x001D, "SELECTION" }, { 0x0867, "FEATHEADR" }, { 0x0868, "FEAT" }, { 0x0809, "BOF" },
        { 0x01BA, "CODENAME" }, { 0x0863, "BOOKEXT" }, { 0x00EF, "MERGECELLS" }, { 0x0099, "STANDARDWIDTH" },
        { 0x0026, "LEFTMARGIN" }, { 0x0027, "RIGHTMARGIN" }, { 0x0028, "TOPMARGIN" },
        { 0x0029, "BOTTOMMARGIN" }, { 0x00A0, "SCL" }, { 0x0041, "PANE" }, { 0x0862, "SHEETEXT" },
        { 0x089A, "MTRSETTINGS" }, { 0x088E, "TABLESTYLES" }, { 0x0018, "LBL" }, { 0x0017, "EXTERNSHEET" },
        { 0x01AE, "SUPBOOK" }, { 0x009B, "FILTERMODE" }, { 0x00E5, "MERGECELLS" }, { 0x01B6, "TXO" },
        { 0x0204, "LABEL" }, { 0x0203, "NUMBER" }, { 0x027E, "RK" } };
    return kNames.value(type, QStringLiteral("0x%1").arg(type, 4, 16, QLatin1Char('0')));
}

// "BOF INTERFACEHDR ... FONT*5 ...": runs of one record type folded.
inline QString recordList(const QList<Record> &list)
{
    QStringList names;
    for (qsizetype i = 0; i < list.size();) {
        qsizetype j = i;
        while (j < list.size() && list[j].type == list[i].type)
            ++j;
        names.append(j - i > 1 ? QStringLiteral("%1*%2").arg(recordName(list[i].type)).arg(j - i)
                               : recordName(list[i].type));
        i = j;
    }
    return names.join(u' ');
}

} // namespace WorkbookFiles
