#include "exchange/recoverywriter.h"
#include "exchange/textresultfile.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Session
{
    SortGridCore grid;
    ResultTable table { grid };

    Session()
    {
        table.setUpGrid();
        table.writeHeader();
        grid.setRowCount(4);
        grid.setRows(
            1, { "1", "Anna Müller", "TSC Grün-Gold", "9", "8", "7", "6", "5", "", "", "21", "1", "35" });
        grid.setRows(2, { "", "ohne Nummer", "Club" });
        grid.setRows(3, { "3", "Ørjan Ås", "TK Sonne", "4" });
    }
    void connect(RecoveryWriter &writer)
    {
        writer.setSource([this] {
            return RecoveryWriter::Source { &grid, 5, QStringLiteral("Endrunde"),
                QStringLiteral("/x/Endrunde.txt") };
        });
    }
};

QString cellOnDisk(const RecoveryWriter &writer, int col, int row)
{
    const RecoveryFile::Decoded decoded = RecoveryFile::read(writer.filePath());
    return decoded.snapshot ? decoded.snapshot->cell(col, row) : QStringLiteral("<%1>").arg(decoded.error);
}

// Waits for the writer's thread alone: no event is handled, so no timer can fire.
bool waitForWrites(const RecoveryWriter &writer, int count)
{
    for (int i = 0; i < 400 && writer.writeCount() < count; ++i)
        std::this_thread::sleep_for(5ms);
    return writer.writeCount() == count;
}

TEST(RecoveryWriter, WritesTheFirstChangeAtOnceAndABurstOncePerInterval)
{
    QTemporaryDir dir;
    Session session;
    RecoveryWriter writer(dir.path());
    ASSERT_TRUE(writer.ownsLock());
    session.connect(writer);
    writer.setInterval(100);

    session.grid.setCells(4, 1, QStringLiteral("A"));
    writer.changed();
    ASSERT_TRUE(waitForWrites(writer, 1));
    EXPECT_EQ(cellOnDisk(writer, 4, 1), QStringLiteral("A"));

    for (const char *text : { "B", "C", "D" }) {
        session.grid.setCells(4, 1, QString::fromLatin1(text));
        writer.changed();
    }
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(writer.writeCount(), 1) << "a change inside the interval waits for it";
    EXPECT_TRUE(QTest::qWaitFor([&] { return writer.writeCount() == 2; }, 2000));
    QTest::qWait(250);
    EXPECT_EQ(writer.writeCount(), 2) << "the burst is one write";
    EXPECT_EQ(cellOnDisk(writer, 4, 1), QStringLiteral("D"));

    // After a quiet spell the next change goes at once again; flush() does not wait for the interval.
    session.grid.setCells(4, 1, QStringLiteral("E"));
    writer.changed();
    ASSERT_TRUE(waitForWrites(writer, 3));
    session.grid.setCells(4, 1, QStringLiteral("F"));
    writer.changed();
    writer.flush();
    EXPECT_EQ(writer.writeCount(), 4);
    EXPECT_EQ(cellOnDisk(writer, 4, 1), QStringLiteral("F"));
    EXPECT_EQ(writer.lastError(), QString());
}

TEST(RecoveryWriter, OnlyTheLockHolderWritesOrOffersARestore)
{
    QTemporaryDir dir;
    Session session;
    {
        RecoveryWriter first(dir.path());
        RecoveryWriter second(dir.path());
        ASSERT_TRUE(first.ownsLock());
        EXPECT_FALSE(second.ownsLock());
        session.connect(first);
        session.connect(second);
        first.changed();
        first.flush();
        second.changed();
        second.flush();
        EXPECT_EQ(second.writeCount(), 0);
        EXPECT_FALSE(second.recoveryAvailable());
        EXPECT_FALSE(second.load().snapshot);
    }

    // A program killed without its end leaves its lock behind; the next start takes it.
    pid_t gone = 4'000'000;
    while (gone > 1000 && (::kill(gone, 0) == 0 || errno != ESRCH))
        --gone;
    QFile lock(dir.filePath(QStringLiteral("recovery.lock")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(gone) + "\ntest_recovery\n" + QSysInfo::machineHostName().toUtf8() + '\n');
    lock.close();
    RecoveryWriter next(dir.path());
    ASSERT_TRUE(next.ownsLock());
    ASSERT_TRUE(next.recoveryAvailable());
    const RecoveryFile::Decoded decoded = next.load();
    ASSERT_TRUE(decoded.snapshot) << decoded.error.toStdString();
    EXPECT_EQ(decoded.snapshot->cell(1, 3), QStringLiteral("Ørjan Ås"));
}

TEST(RecoveryWriter, MovesAFileAsideWithATextProtocolBesideIt)
{
    QTemporaryDir dir;
    Session session;
    {
        RecoveryWriter crashed(dir.path());
        session.connect(crashed);
        crashed.changed();
        crashed.flush();
    }
    RecoveryWriter writer(dir.path());
    ASSERT_TRUE(writer.recoveryAvailable());
    const RecoveryWriter::SetAside aside = writer.moveAside(QDateTime(QDate(2024, 5, 4), QTime(13, 2, 1)));
    EXPECT_EQ(aside.error, QString());
    EXPECT_EQ(aside.dataFile, dir.filePath(QStringLiteral("recovery-20240504-130201.dat")));
    EXPECT_EQ(aside.textFile, dir.filePath(QStringLiteral("recovered-20240504-130201.txt")));
    EXPECT_FALSE(QFile::exists(writer.filePath()));
    EXPECT_FALSE(writer.recoveryAvailable());
    EXPECT_TRUE(RecoveryFile::read(aside.dataFile).snapshot);

    SortGridCore loaded;
    ResultTable(loaded).setUpGrid();
    LoadTextFile(loaded, aside.textFile);
    ASSERT_EQ(loaded.RowCount(), 3) << "the rows with a start number";
    const QStringList annaAsSaved
        = { "1", "Anna Müller", "TSC Grün-Gold", "9", "8", "7", "6", "5", " ", " ", "21", "1", "" };
    EXPECT_EQ(loaded.Rows(1), annaAsSaved);
    EXPECT_EQ(loaded.cellText(1, 2), QStringLiteral("Ørjan Ås"));
    EXPECT_EQ(loaded.cellText(3, 2), QStringLiteral("4"));

    // An unreadable file is kept too, only without a protocol.
    QFile junk(writer.filePath());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("SCORELANE-RECOVERY 1 99");
    junk.close();
    ASSERT_TRUE(writer.recoveryAvailable());
    EXPECT_FALSE(writer.load().snapshot);
    const RecoveryWriter::SetAside corrupt = writer.moveAside(QDateTime(QDate(2024, 5, 4), QTime(13, 2, 1)));
    EXPECT_EQ(corrupt.dataFile, dir.filePath(QStringLiteral("recovery-20240504-130201-2.dat")));
    EXPECT_EQ(corrupt.textFile, QString());
    EXPECT_FALSE(corrupt.error.isEmpty());
    QFile kept(corrupt.dataFile);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("SCORELANE-RECOVERY 1 99"));
}

TEST(RecoveryWriter, TheNormalEndRemovesTheFileAndWritesNoMore)
{
    QTemporaryDir dir;
    Session session;
    RecoveryWriter writer(dir.path());
    session.connect(writer);
    writer.changed();
    writer.changed();
    writer.remove();
    EXPECT_FALSE(QFile::exists(writer.filePath()));
    writer.changed();
    writer.flush();
    EXPECT_FALSE(QFile::exists(writer.filePath()));
}

} // namespace
