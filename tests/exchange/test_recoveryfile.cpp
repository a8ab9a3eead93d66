#include "exchange/recoveryfile.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <gtest/gtest.h>

#include <QObject>

namespace {

// Bit by bit, apart from the table the file format uses.
quint32 referenceCrc32(QByteArrayView bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

QByteArray fileWithBody(const QByteArray &body, int version = 1)
{
    return "SCORELANE-RECOVERY " + QByteArray::number(version) + ' ' + QByteArray::number(body.size()) + ' '
        + QByteArray::number(referenceCrc32(body), 16).rightJustified(8, '0').toUpper() + '\n' + body;
}

// A table with everything the text protocol would lose or mangle.
void fillAwkwardTable(SortGridCore &grid)
{
    ResultTable table(grid);
    table.setUpGrid();
    table.writeHeader();
    grid.setCells(12, 0, QStringLiteral("roh"));
    grid.setRowCount(6);
    const QStringList row1
        = { "1", "Anna\tMüller", "TSC\r\nGrün-Gold", "9", "8", "7", "", "6", "", "", "21", "1", "30" };
    grid.setRows(1, row1);
    grid.setCells(1, 2, QString::fromUtf8("Ελένη 李 \xF0\x9F\x98\x80")); // no start number
    grid.setCells(2, 2, QStringLiteral("C:\\Pfad\\"));
    // row 3 stays empty
    grid.setCells(0, 4, QStringLiteral("4"));
    grid.setCells(1, 4, QStringLiteral("\\t\\n kein Escape"));
    grid.setCells(2, 4, QStringLiteral("einsam ") + QChar(0xD800) + QChar(0) + u'\n');
    grid.setCells(8, 5, QStringLiteral("versteckte Wertung"));
    grid.setHiddenRowCount(1);
    grid.setCells(1, 6, QStringLiteral("vom Filter verborgen"));
    grid.setCells(12, 6, QStringLiteral("\\"));
}

QByteArray awkwardFile()
{
    SortGridCore grid;
    fillAwkwardTable(grid);
    return RecoveryFile::encode(
        takeRecoverySnapshot(grid, 3, QStringLiteral("Runde\t2"), QStringLiteral("/a/ü.txt")));
}

TEST(RecoveryFile, RestoresEveryCellAndTheSessionExactly)
{
    SortGridCore source;
    fillAwkwardTable(source);
    const QString tab = QStringLiteral("Endrunde\tA\\");
    const QString file = QStringLiteral("/home/op/Start liste ü 李.txt");
    QByteArray bytes = RecoveryFile::encodeUnsealed(source, 3, tab, file);
    RecoveryFile::seal(bytes);
    EXPECT_EQ(bytes, RecoveryFile::encode(takeRecoverySnapshot(source, 3, tab, file)));

    const RecoveryFile::Decoded decoded = RecoveryFile::decode(bytes);
    ASSERT_TRUE(decoded.snapshot) << decoded.error.toStdString();
    EXPECT_EQ(decoded.snapshot->judgeCount, 3);
    EXPECT_EQ(decoded.snapshot->tabCaption, QStringLiteral("Endrunde\tA\\"));
    EXPECT_EQ(decoded.snapshot->fileName, QStringLiteral("/home/op/Start liste ü 李.txt"));

    SortGridCore target; // other counts, stale texts and an object to be replaced
    target.setRowCount(9);
    target.setCells(0, 3, QStringLiteral("alt"));
    QObject object;
    target.setObjects(1, 1, &object);
    restoreRecoverySnapshot(*decoded.snapshot, target);
    ASSERT_EQ(target.ColCount(), 13);
    ASSERT_EQ(target.RowCount(), 6);
    ASSERT_EQ(target.HiddenRowCount(), 1);
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 13; ++col) {
            EXPECT_EQ(target.cellText(col, row), source.cellText(col, row))
                << "col " << col << " row " << row;
            EXPECT_EQ(target.Objects(col, row), nullptr);
        }
    }
    EXPECT_EQ(target.cellText(12, 0), QStringLiteral("roh"));
    EXPECT_EQ(target.cellText(8, 5), QStringLiteral("versteckte Wertung"));
}

TEST(RecoveryFile, EveryCutAndEveryChangedByteFails)
{
    const QByteArray bytes = awkwardFile();
    ASSERT_TRUE(RecoveryFile::decode(bytes).snapshot);
    for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
        const RecoveryFile::Decoded decoded = RecoveryFile::decode(bytes.first(cut));
        EXPECT_FALSE(decoded.snapshot) << "cut at " << cut;
        EXPECT_FALSE(decoded.error.isEmpty());
    }
    EXPECT_FALSE(RecoveryFile::decode(bytes + '\n').snapshot);
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        for (const char flip : { char(0x01), char(0x80) }) {
            QByteArray changed = bytes;
            changed[at] = char(changed[at] ^ flip);
            EXPECT_FALSE(RecoveryFile::decode(changed).snapshot) << "byte " << at;
        }
    }
}

// Files whose checksum is right but whose content is not: made by hand or by another version.
TEST(RecoveryFile, HostileContentWithARightChecksumFails)
{
    const QByteArray head = "judges 5\ntab \nfile \n";
    const QByteArray row = "1\tA\tB\t\t\t\t\t\t\t\t\t\t\n"; // 13 cells
    struct Case
    {
        const char *name;
        QByteArray file;
        const char *error;
    };
    const Case cases[] = {
        { "good", fileWithBody(head + "table 13 1 0\n" + row), nullptr },
        { "version 2", fileWithBody(head + "table 13 1 0\n" + row, 2), "Version 2 unbekannt" },
        { "a billion rows claimed", fileWithBody(head + "table 13 999999999 0\n" + row), "Tabellengröße" },
        { "rows over the limit", fileWithBody(head + "table 13 1000000 1\n" + row), "Tabellengröße" },
        { "no header row", fileWithBody(head + "table 13 0 0\n"), "Tabellengröße" },
        { "65 columns", fileWithBody(head + "table 65 1 0\n" + row), "Tabellengröße" },
        { "fewer rows than claimed", fileWithBody(head + "table 13 2 0\n" + row), "Inhalt" },
        { "more rows than claimed", fileWithBody(head + "table 13 1 0\n" + row + row), "Inhalt" },
        { "12 cells", fileWithBody(head + "table 13 1 0\n1\tA\tB\t\t\t\t\t\t\t\t\t\n"), "Inhalt" },
        { "14 cells", fileWithBody(head + "table 13 1 0\n\t" + row), "Inhalt" },
        { "unknown escape", fileWithBody(head + "table 13 1 0\n\\x" + row), "Inhalt" },
        { "backslash at the end", fileWithBody(head + "table 13 1 0\n" + row.chopped(1) + "\\\n"), "Inhalt" },
        { "short code", fileWithBody(head + "table 13 1 0\n\\u12G4" + row), "Inhalt" },
        { "not UTF-8", fileWithBody(head + "table 13 1 0\n\xC3(" + row), "Inhalt" },
        { "negative judges", fileWithBody("judges -5\ntab \nfile \ntable 13 1 0\n" + row), "Inhalt" },
        { "body claimed too large", "SCORELANE-RECOVERY 1 200000000 00000000\n", "zu groß" },
        { "size of ten digits", "SCORELANE-RECOVERY 1 1000000000 00000000\n", "Kopfzeile" },
        { "other file", "Nr.\tName\tVerein\t\r\n", "keine Wiederherstellungsdatei" },
        { "empty", "", "keine Wiederherstellungsdatei" },
    };
    for (const Case &c : cases) {
        const RecoveryFile::Decoded decoded = RecoveryFile::decode(c.file);
        if (!c.error) {
            EXPECT_TRUE(decoded.snapshot) << c.name << ": " << decoded.error.toStdString();
            continue;
        }
        EXPECT_FALSE(decoded.snapshot) << c.name;
        EXPECT_TRUE(decoded.error.contains(QString::fromUtf8(c.error)))
            << c.name << ": " << decoded.error.toStdString();
    }
}

TEST(RecoveryFile, AMissingFileIsAFailureNotACrash)
{
    const RecoveryFile::Decoded decoded = RecoveryFile::read(QStringLiteral("/nonexistent/recovery.dat"));
    EXPECT_FALSE(decoded.snapshot);
    EXPECT_FALSE(decoded.error.isEmpty());
}

} // namespace
