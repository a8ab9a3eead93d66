#include "platform/chmcheck.h"

#include <QtEndian>

#include <map>
#include <optional>
#include <set>

namespace ChmCheck {

namespace {

constexpr qsizetype kItsfV2Length = 0x58;
constexpr qsizetype kItsfV3Length = 0x60;
constexpr qsizetype kItspLength = 0x54;
constexpr qsizetype kPmglHeader = 0x14;
constexpr qsizetype kPmgiHeader = 0x08;
// chmlib copies names into a buffer of this size.
constexpr quint64 kMaxNameLength = 512;
// chmlib allocates one directory chunk; compilers write 4 KiB.
constexpr quint32 kMinChunk = 0x200;
constexpr quint32 kMaxChunk = 0x10000;
constexpr quint32 kMaxChunks = 0x10000;
constexpr std::size_t kMaxEntries = 200000;
constexpr int kMaxIndexDepth = 16;
// LZX frames are 32 KiB; chmlib's input buffer holds one frame plus this much slack.
constexpr quint64 kLzxFrame = 0x8000;
constexpr quint64 kMaxCompressedFrame = kLzxFrame + 6144;
constexpr quint64 kMaxUncompressed = 256 * 1024 * 1024;
// chmlib reads the control data into a fixed buffer of this size.
constexpr quint64 kMaxControlData = 0x100;

const QByteArray kContent = QByteArrayLiteral("::DataSpace/Storage/MSCompressed/Content");
const QByteArray kControlData = QByteArrayLiteral("::DataSpace/Storage/MSCompressed/ControlData");
const QByteArray kResetTable
    = QByteArrayLiteral("::DataSpace/Storage/MSCompressed/Transform/"
                        "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable");

struct Failure
{
    QString text;
};

[[noreturn]] void fail(const QString &text)
{
    throw Failure { text };
}

// The bytes of the file, with every read checked against its end.
class Bytes
{
public:
    explicit Bytes(QByteArrayView data)
        : m_data(data)
    { }
    quint64 size() const { return quint64(m_data.size()); }
    bool contains(quint64 offset, quint64 length) const
    {
        return offset <= size() && length <= size() - offset;
    }
    QByteArrayView at(quint64 offset, quint64 length, const char *what) const
    {
        if (!contains(offset, length))
            fail(QStringLiteral("%1 lies outside the file").arg(QLatin1String(what)));
        return m_data.sliced(qsizetype(offset), qsizetype(length));
    }

private:
    QByteArrayView m_data;
};

quint32 u32(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.data() + at);
}
qint32 i32(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<qint32>(b.data() + at);
}
quint64 u64(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint64>(b.data() + at);
}

// Reads the entries of one chunk, never past `end`.
class ChunkReader
{
public:
    ChunkReader(QByteArrayView chunk, qsizetype from, qsizetype end)
        : m_chunk(chunk)
        , m_at(from)
        , m_end(end)
    { }
    bool atEnd() const { return m_at >= m_end; }
    quint64 number()
    {
        quint64 value = 0;
        for (int i = 0; i < 9; ++i) {
            if (m_at >= m_end)
                fail(QStringLiteral("a directory entry runs past its chunk"));
            const auto byte = quint8(m_chunk[m_at++]);
            value = (value << 7) | (byte & 0x7f);
            if (byte < 0x80)
                return value;
        }
        fail(QStringLiteral("a directory number is too long"));
    }
    QByteArray name()
    {
        const quint64 length = number();
        if (length == 0 || length > kMaxNameLength)
            fail(QStringLiteral("a directory name has a bad length"));
        if (length > quint64(m_end - m_at))
            fail(QStringLiteral("a directory entry runs past its chunk"));
        const QByteArray text = m_chunk.sliced(m_at, qsizetype(length)).toByteArray();
        m_at += qsizetype(length);
        if (text.contains('\0'))
            fail(QStringLiteral("a directory name holds a zero byte"));
        return text;
    }

private:
    QByteArrayView m_chunk;
    qsizetype m_at;
    qsizetype m_end;
};

class Checker
{
public:
    explicit Checker(QByteArrayView file)
        : m_file(file)
    { }

    void run(Result &result)
    {
        readHeaders();
        walkListing(result.entries);
        walkIndex();
        m_byName.clear();
        // chmlib finds names without regard to case; two entries of one name would let it
        // pick one that was not checked as the one meant.
        for (std::size_t i = 0; i < result.entries.size(); ++i) {
            if (!m_byName.emplace(result.entries[i].name.toLower(), i).second)
                fail(QStringLiteral("a name appears twice in the directory"));
        }
        checkCompression(result.entries);
        for (const Entry &entry : result.entries)
            checkObject(entry);
    }

private:
    void readHeaders()
    {
        const QByteArrayView itsf = m_file.at(0, kItsfV2Length, "the file header");
        if (!itsf.startsWith("ITSF"))
            fail(QStringLiteral("not a compiled help file"));
        const quint32 version = u32(itsf, 4);
        const quint32 headerLength = u32(itsf, 8);
        if (!((version == 2 && headerLength == kItsfV2Length)
                || (version == 3 && headerLength == kItsfV3Length)))
            fail(QStringLiteral("unknown file header version"));
        m_file.at(u64(itsf, 0x38), u64(itsf, 0x40), "section 0");
        m_dirOffset = u64(itsf, 0x48);
        const quint64 dirLength = u64(itsf, 0x50);
        m_file.at(m_dirOffset, dirLength, "the directory");
        if (version == 3)
            m_dataOffset = u64(m_file.at(0, kItsfV3Length, "the file header"), 0x58);
        else
            m_dataOffset = m_dirOffset + dirLength;
        if (m_dataOffset > m_file.size())
            fail(QStringLiteral("the content section lies outside the file"));

        if (dirLength < quint64(kItspLength))
            fail(QStringLiteral("the directory is too short"));
        const QByteArrayView itsp = m_file.at(m_dirOffset, kItspLength, "the directory header");
        if (!itsp.startsWith("ITSP") || i32(itsp, 4) != 1 || i32(itsp, 8) != kItspLength)
            fail(QStringLiteral("bad directory header"));
        m_chunkLength = u32(itsp, 0x10);
        if (m_chunkLength < kMinChunk || m_chunkLength > kMaxChunk)
            fail(QStringLiteral("bad directory chunk size"));
        m_chunkCount = u32(itsp, 0x2c);
        if (m_chunkCount == 0 || m_chunkCount > kMaxChunks)
            fail(QStringLiteral("bad directory chunk count"));
        if (quint64(m_chunkCount) * m_chunkLength > dirLength - kItspLength)
            fail(QStringLiteral("the directory chunks lie outside the directory"));
        m_chunksOffset = m_dirOffset + kItspLength;
        m_head = i32(itsp, 0x20);
        // chmlib starts every look-up at the listing head when there is no index.
        const qint32 root = i32(itsp, 0x1c);
        m_root = root < 0 ? m_head : root;
        if (!validChunk(m_head) || !validChunk(m_root))
            fail(QStringLiteral("the directory starts outside its chunks"));
    }

    bool validChunk(qint64 index) const { return index >= 0 && index < qint64(m_chunkCount); }

    QByteArrayView chunk(qint32 index) const
    {
        return m_file.at(m_chunksOffset + quint64(index) * m_chunkLength, m_chunkLength, "a directory chunk");
    }

    // A listing chunk's entries; the walk follows its successor links once each.
    void walkListing(std::vector<Entry> &entries)
    {
        std::set<qint32> visited;
        for (qint32 index = m_head; index != -1;) {
            if (!validChunk(index))
                fail(QStringLiteral("a directory link points outside the directory"));
            if (!visited.insert(index).second)
                fail(QStringLiteral("the directory chain runs in a loop"));
            const QByteArrayView page = chunk(index);
            readListingChunk(page, &entries);
            m_listingChunks.insert(index);
            index = i32(page, 0x10);
        }
    }

    qsizetype usedEnd(QByteArrayView page, qsizetype header) const
    {
        const quint32 freeSpace = u32(page, 4);
        if (freeSpace > m_chunkLength - quint32(header))
            fail(QStringLiteral("bad free space in a directory chunk"));
        return qsizetype(m_chunkLength - freeSpace);
    }

    void readListingChunk(QByteArrayView page, std::vector<Entry> *entries)
    {
        if (!page.startsWith("PMGL"))
            fail(QStringLiteral("bad directory chunk"));
        ChunkReader reader(page, kPmglHeader, usedEnd(page, kPmglHeader));
        while (!reader.atEnd()) {
            Entry entry;
            entry.name = reader.name();
            const quint64 space = reader.number();
            if (space > 1)
                fail(QStringLiteral("unknown content section"));
            entry.space = unsigned(space);
            entry.start = reader.number();
            entry.length = reader.number();
            if (entries) {
                if (entries->size() >= kMaxEntries)
                    fail(QStringLiteral("too many directory entries"));
                entries->push_back(std::move(entry));
            }
        }
    }

    // Each look-up descends from the root through index chunks to one listing chunk.
    void walkIndex()
    {
        std::set<qint32> visited;
        descend(m_root, 0, visited);
    }

    void descend(qint32 index, int depth, std::set<qint32> &visited)
    {
        if (!validChunk(index))
            fail(QStringLiteral("a directory index points outside the directory"));
        if (depth > kMaxIndexDepth)
            fail(QStringLiteral("the directory index is too deep"));
        const QByteArrayView page = chunk(index);
        if (page.startsWith("PMGL")) {
            if (!m_listingChunks.contains(index))
                readListingChunk(page, nullptr);
            return;
        }
        if (!page.startsWith("PMGI"))
            fail(QStringLiteral("bad directory chunk"));
        if (!visited.insert(index).second)
            fail(QStringLiteral("the directory index runs in a loop"));
        ChunkReader reader(page, kPmgiHeader, usedEnd(page, kPmgiHeader));
        while (!reader.atEnd()) {
            reader.name();
            const quint64 child = reader.number();
            if (child >= m_chunkCount)
                fail(QStringLiteral("a directory index points outside the directory"));
            descend(qint32(child), depth + 1, visited);
        }
    }

    const Entry *find(const std::vector<Entry> &entries, const QByteArray &name) const
    {
        const auto it = m_byName.find(name.toLower());
        return it == m_byName.end() ? nullptr : &entries[it->second];
    }

    QByteArrayView storedObject(const Entry &entry, const char *what) const
    {
        if (entry.space != 0)
            fail(QStringLiteral("%1 is not stored plainly").arg(QLatin1String(what)));
        if (entry.start > m_file.size() - m_dataOffset)
            fail(QStringLiteral("%1 lies outside the file").arg(QLatin1String(what)));
        return m_file.at(m_dataOffset + entry.start, entry.length, what);
    }

    // chmlib sets up decompression only when all three objects are there; then it trusts
    // the reset table's offsets and the window size of the control data.
    void checkCompression(const std::vector<Entry> &entries)
    {
        const Entry *content = find(entries, kContent);
        const Entry *control = find(entries, kControlData);
        const Entry *resets = find(entries, kResetTable);
        if (!content || !control || !resets)
            return;

        const QByteArrayView controlData = storedObject(*control, "the compression control data");
        if (control->length < 0x18 || control->length > kMaxControlData)
            fail(QStringLiteral("bad compression control data"));
        if (!controlData.sliced(4).startsWith("LZXC"))
            fail(QStringLiteral("unknown compression"));
        const quint32 controlVersion = u32(controlData, 8);
        quint64 resetInterval = u32(controlData, 0x0c);
        quint64 windowSize = u32(controlData, 0x10);
        const quint64 windowsPerReset = u32(controlData, 0x14);
        if (controlVersion == 2) {
            resetInterval *= kLzxFrame;
            windowSize *= kLzxFrame;
        } else if (controlVersion != 1) {
            fail(QStringLiteral("unknown compression version"));
        }
        // LZX windows are 2^15 .. 2^21 bytes; chmlib divides by the frames per reset.
        if (windowSize < 0x8000 || windowSize > 0x200000 || (windowSize & (windowSize - 1)) != 0)
            fail(QStringLiteral("bad compression window"));
        const quint64 framesPerReset = resetInterval / (windowSize / 2) * windowsPerReset;
        if (framesPerReset == 0 || framesPerReset > kMaxChunks)
            fail(QStringLiteral("bad compression reset interval"));

        const QByteArrayView table = storedObject(*resets, "the compression reset table");
        if (resets->length < 0x28 || u32(table, 0) != 2)
            fail(QStringLiteral("bad compression reset table"));
        const quint64 blockCount = u32(table, 4);
        const quint64 tableOffset = u32(table, 0x0c);
        m_uncompressed = u64(table, 0x10);
        const quint64 compressed = u64(table, 0x18);
        const quint64 blockLength = u64(table, 0x20);
        if (blockLength != kLzxFrame || m_uncompressed > kMaxUncompressed)
            fail(QStringLiteral("bad compression reset table"));
        // One offset per frame; compilers may add one more for the end of the content.
        const quint64 frames = (m_uncompressed + blockLength - 1) / blockLength;
        if (blockCount != frames && blockCount != frames + 1)
            fail(QStringLiteral("the compression reset table does not match the content"));
        if (tableOffset > resets->length || blockCount * 8 > resets->length - tableOffset)
            fail(QStringLiteral("the compression reset table lies outside its object"));
        storedObject(*content, "the compressed content");
        if (compressed > content->length)
            fail(QStringLiteral("the compressed content lies outside its object"));
        quint64 previous = 0;
        for (quint64 block = 0; block <= blockCount; ++block) {
            const quint64 offset
                = block < blockCount ? u64(table, qsizetype(tableOffset + block * 8)) : compressed;
            if ((block == 0 && offset != 0) || offset < previous || offset > compressed
                || offset - previous > kMaxCompressedFrame)
                fail(QStringLiteral("bad compression reset table"));
            previous = offset;
        }
        m_compressionUsable = true;
    }

    void checkObject(const Entry &entry) const
    {
        if (entry.space == 0) {
            if (entry.start > m_file.size() - m_dataOffset
                || !m_file.contains(m_dataOffset + entry.start, entry.length))
                fail(QStringLiteral("a stored object lies outside the file"));
            return;
        }
        if (!m_compressionUsable)
            fail(QStringLiteral("a compressed object without compressed content"));
        if (entry.start > m_uncompressed || entry.length > m_uncompressed - entry.start)
            fail(QStringLiteral("a compressed object lies outside the content"));
    }

    Bytes m_file;
    quint64 m_dirOffset = 0;
    quint64 m_dataOffset = 0;
    quint64 m_chunksOffset = 0;
    quint32 m_chunkLength = 0;
    quint32 m_chunkCount = 0;
    qint32 m_head = 0;
    qint32 m_root = 0;
    std::set<qint32> m_listingChunks;
    std::map<QByteArray, std::size_t> m_byName;
    quint64 m_uncompressed = 0;
    bool m_compressionUsable = false;
};

} // namespace

Result check(QByteArrayView file)
{
    Result result;
    if (file.size() > kMaxFileSize) {
        result.error = QStringLiteral("the file is too large");
        return result;
    }
    try {
        Checker(file).run(result);
    } catch (const Failure &failure) {
        result.error = failure.text;
        result.entries.clear();
    }
    return result;
}

} // namespace ChmCheck
