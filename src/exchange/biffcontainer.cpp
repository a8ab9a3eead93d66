#include "exchange/biffcontainer.h"

#include "platform/commanderror.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace BiffContainer {

namespace {

constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kDifatSector = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kEntrySize = 128;
constexpr int kIdsPerSector = int(kSectorSize / 4);
constexpr int kDifatInHeader = 109;
constexpr int kMaxNameLength = 31;

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

qsizetype sectorsFor(qsizetype size)
{
    return (size + kSectorSize - 1) / kSectorSize;
}

// The directory keeps siblings in a red-black tree ordered by name length, then by
// the upper-cased names.
bool entryBefore(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

struct Node
{
    quint32 left = kNoStream;
    quint32 right = kNoStream;
    bool red = false;
};

// A middle split keeps every level full but the last; the last level is red, so that
// every way down passes the same number of black entries.
quint32 buildTree(const QList<int> &sorted, int first, int last, int depth, int fullDepth, QList<Node> &nodes)
{
    if (first > last)
        return kNoStream;
    const int middle = (first + last) / 2;
    const int id = sorted[middle] + 1;
    nodes[id].red = depth == fullDepth;
    nodes[id].left = buildTree(sorted, first, middle - 1, depth + 1, fullDepth, nodes);
    nodes[id].right = buildTree(sorted, middle + 1, last, depth + 1, fullDepth, nodes);
    return quint32(id);
}

void writeEntry(QByteArray &bytes, qsizetype at, const QString &name, quint8 type, const Node &node,
    quint32 child, quint32 start, quint32 size)
{
    const qsizetype length = std::min<qsizetype>(name.size(), kMaxNameLength);
    for (qsizetype i = 0; i < length; ++i)
        put16(bytes, at + 2 * i, name[i].unicode());
    put16(bytes, at + 64, quint16((length + 1) * 2));
    bytes[at + 66] = char(type);
    bytes[at + 67] = node.red ? 0 : 1;
    put32(bytes, at + 68, node.left);
    put32(bytes, at + 72, node.right);
    put32(bytes, at + 76, child);
    put32(bytes, at + 116, start);
    put32(bytes, at + 120, size);
}

} // namespace

QByteArray compoundFile(const QList<Stream> &streams)
{
    // Sector numbers and sizes are 32-bit here; far beyond any table.
    QList<qsizetype> streamSectors;
    qsizetype dataSectors = 0;
    for (const Stream &stream : streams) {
        if (stream.bytes.size() > 0x7FFF0000)
            throw CommandError(QStringLiteral("Arbeitsmappe zu groß"));
        streamSectors.append(sectorsFor(std::max(stream.bytes.size(), kMiniStreamLimit)));
        dataSectors += streamSectors.last();
    }
    const qsizetype entries = streams.size() + 1;
    const qsizetype directorySectors = sectorsFor(entries * kEntrySize);

    // The allocation table also maps its own sectors and those of its extension.
    qsizetype fatSectors = 0;
    qsizetype difatSectors = 0;
    for (;;) {
        const qsizetype total = dataSectors + directorySectors + fatSectors + difatSectors;
        const qsizetype neededFat = (total + kIdsPerSector - 1) / kIdsPerSector;
        const qsizetype neededDifat = neededFat > kDifatInHeader
            ? (neededFat - kDifatInHeader + kIdsPerSector - 2) / (kIdsPerSector - 1)
            : 0;
        if (neededFat == fatSectors && neededDifat == difatSectors)
            break;
        fatSectors = neededFat;
        difatSectors = neededDifat;
    }
    const qsizetype directoryStart = dataSectors;
    const qsizetype fatStart = directoryStart + directorySectors;
    const qsizetype difatStart = fatStart + fatSectors;
    const qsizetype sectors = difatStart + difatSectors;

    QByteArray file(kSectorSize * (1 + sectors), '\0');
    static const unsigned char kSignature[] = { 0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1 };
    std::memcpy(file.data(), kSignature, sizeof kSignature);
    put16(file, 24, 0x003E); // minor version
    put16(file, 26, 0x0003); // major version 3: 512-byte sectors
    put16(file, 28, 0xFFFE); // little-endian
    put16(file, 30, 9); // sector size 2^9
    put16(file, 32, 6); // mini sector size 2^6
    put32(file, 44, quint32(fatSectors));
    put32(file, 48, quint32(directoryStart));
    put32(file, 56, quint32(kMiniStreamLimit));
    put32(file, 60, kEndOfChain); // no mini allocation table
    put32(file, 68, difatSectors > 0 ? quint32(difatStart) : kEndOfChain);
    put32(file, 72, quint32(difatSectors));
    for (int i = 0; i < kDifatInHeader; ++i)
        put32(file, 76 + 4 * i, i < fatSectors ? quint32(fatStart + i) : kFreeSector);

    const auto sectorAt = [](qsizetype sector) { return kSectorSize * (1 + sector); };

    QList<quint32> fat(fatSectors * kIdsPerSector, kFreeSector);
    const auto chain = [&fat](qsizetype first, qsizetype count) {
        for (qsizetype i = 0; i < count; ++i)
            fat[first + i] = i + 1 < count ? quint32(first + i + 1) : kEndOfChain;
    };

    QList<quint32> starts;
    qsizetype next = 0;
    for (qsizetype i = 0; i < streams.size(); ++i) {
        std::memcpy(
            file.data() + sectorAt(next), streams[i].bytes.constData(), size_t(streams[i].bytes.size()));
        chain(next, streamSectors[i]);
        starts.append(quint32(next));
        next += streamSectors[i];
    }
    chain(directoryStart, directorySectors);
    for (qsizetype i = 0; i < fatSectors; ++i)
        fat[fatStart + i] = kFatSector;
    for (qsizetype i = 0; i < difatSectors; ++i)
        fat[difatStart + i] = kDifatSector;
    for (qsizetype i = 0; i < fat.size(); ++i)
        put32(file, sectorAt(fatStart) + 4 * i, fat[i]);

    for (qsizetype d = 0; d < difatSectors; ++d) {
        const qsizetype at = sectorAt(difatStart + d);
        for (int i = 0; i < kIdsPerSector - 1; ++i) {
            const qsizetype index = kDifatInHeader + d * (kIdsPerSector - 1) + i;
            put32(file, at + 4 * i, index < fatSectors ? quint32(fatStart + index) : kFreeSector);
        }
        put32(file, at + kSectorSize - 4, d + 1 < difatSectors ? quint32(difatStart + d + 1) : kEndOfChain);
    }

    QList<int> sorted;
    for (int i = 0; i < streams.size(); ++i)
        sorted.append(i);
    std::sort(sorted.begin(), sorted.end(),
        [&streams](int a, int b) { return entryBefore(streams[a].name, streams[b].name); });
    int fullDepth = 0;
    while ((qsizetype(2) << fullDepth) - 1 <= streams.size())
        ++fullDepth;
    QList<Node> nodes(entries);
    const quint32 top = buildTree(sorted, 0, int(streams.size()) - 1, 0, fullDepth, nodes);

    // Unused entries in the last directory sector stay free: no name, no siblings.
    const qsizetype directory = sectorAt(directoryStart);
    for (qsizetype e = entries; e < directorySectors * (kSectorSize / kEntrySize); ++e) {
        put32(file, directory + e * kEntrySize + 68, kNoStream);
        put32(file, directory + e * kEntrySize + 72, kNoStream);
        put32(file, directory + e * kEntrySize + 76, kNoStream);
    }
    writeEntry(file, directory, QStringLiteral("Root Entry"), 5, Node(), top, kEndOfChain, 0);
    for (qsizetype i = 0; i < streams.size(); ++i) {
        writeEntry(file, directory + (i + 1) * kEntrySize, streams[i].name, 2, nodes[i + 1], kNoStream,
            starts[i], quint32(std::max(streams[i].bytes.size(), kMiniStreamLimit)));
    }
    return file;
}

} // namespace BiffContainer
