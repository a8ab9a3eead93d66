#include "platform/monitors.h"
#include "scoring/storedsettings.h"
#include "support/nopermissionoverride.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <limits>
#include <optional>
#include <ostream>
#include <random>

static void PrintTo(const StoredSettings &s, std::ostream *os)
{
    *os << "{Left " << s.Left << ", Top " << s.Top << ", Width " << s.Width << ", Height " << s.Height
        << ", KeepAR " << s.KeepAR << ", Monitor " << s.Monitor << ", ColSUD " << s.ColSUD << ", HelpWidth "
        << s.HelpWidth << ", HelpHeight " << s.HelpHeight << ", Live " << s.LiveOn << " " << s.LivePort << " "
        << s.LiveNetwork << "}";
}

namespace {

const QRect kPrimary(0, 0, 1920, 1080);
const QRect kLeftOfPrimary(-1280, 0, 1280, 1024);
const QRect kRightOfPrimary(1920, 0, 1920, 1080);

FixedMonitorList monitorsOf(int count)
{
    QList<QRect> rects { kPrimary, kLeftOfPrimary, kRightOfPrimary };
    return FixedMonitorList(rects.mid(0, count));
}

StoredSettings settings(
    int left, int top, bool keepAR, int monitor, int judges, int helpWidth = 800, int helpHeight = 600)
{
    StoredSettings s;
    s.HelpWidth = helpWidth;
    s.HelpHeight = helpHeight;
    s.Left = left;
    s.Top = top;
    s.KeepAR = keepAR;
    s.Monitor = monitor;
    s.ColSUD = judges;
    return s;
}

struct ReadCase
{
    const char *name;
    std::optional<const char *> file; // no file at all: the first start
    int monitorCount;
    StoredSettings expected;
};

class StoredSettingsRead : public testing::TestWithParam<ReadCase>
{
};

} // namespace

TEST_P(StoredSettingsRead, ReadsInOrderUntilTheFirstBadValue)
{
    const ReadCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Scorelane.ini"));
    if (c.file) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*c.file);
    }
    EXPECT_EQ(SettingsStore(path).read(monitorsOf(c.monitorCount)), c.expected);
    // Reading never creates the file.
    EXPECT_EQ(QFile::exists(path), c.file.has_value());
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredSettingsRead,
    testing::Values(ReadCase { "FirstStart", std::nullopt, 1, settings(313, 129, true, 0, 5) },
        ReadCase { "AllValues",
            "[General]\nLeft=-1200\nTop=40\nWidth=5\nHeight=6\nKeepAR=0\nMonitor=1\nColSUD=7\n", 2,
            settings(-1200, 40, false, 1, 7) },
        ReadCase { "MonitorAboveTheLastBecomesZero",
            "[General]\nLeft=10\nTop=20\nKeepAR=1\nMonitor=2\nColSUD=4\n", 2, settings(10, 20, true, 0, 4) },
        ReadCase { "MissingTopEndsTheReading", "[General]\nLeft=50\nKeepAR=0\nMonitor=1\nColSUD=3\n", 2,
            settings(50, 129, true, 0, 5) },
        ReadCase { "TextEndsTheReading", "[General]\nLeft=50\nTop=abc\nKeepAR=0\nMonitor=1\nColSUD=3\n", 2,
            settings(50, 129, true, 0, 5) },
        ReadCase { "TooManyJudges", "[General]\nLeft=1\nTop=2\nKeepAR=0\nMonitor=0\nColSUD=9\n", 1,
            settings(1, 2, false, 0, 7) },
        ReadCase { "TooFewJudges", "[General]\nLeft=1\nTop=2\nKeepAR=0\nMonitor=0\nColSUD=0\n", 1,
            settings(1, 2, false, 0, 3) },
        ReadCase { "BeyondTheIntegersEndsTheReading",
            "[General]\nLeft=7\nTop=2147483648\nKeepAR=0\nMonitor=1\nColSUD=3\n", 2,
            settings(7, 129, true, 0, 5) },
        ReadCase { "NegativeValues",
            "[General]\nLeft=-2147483648\nTop=-1\nKeepAR=-1\nMonitor=-4\nColSUD=-2147483648\n", 2,
            settings(std::numeric_limits<int>::min(), -1, true, -4, 3) },
        // The help window's size does not depend on the main window's values, and is kept usable.
        ReadCase { "HelpSizeAfterAMissingTop", "[General]\nLeft=50\nHelpWidth=1000\nHelpHeight=700\n", 1,
            settings(50, 129, true, 0, 5, 1000, 700) },
        ReadCase { "HelpSizeHeldToAUsableSize", "[General]\nHelpWidth=0\nHelpHeight=99999\n", 1,
            settings(313, 129, true, 0, 5, 320, 8192) },
        // The live results' values stand alone too; a port or scope out of range is the default.
        ReadCase { "LiveAfterAMissingTop", "[General]\nLeft=50\nLiveOn=1\nLivePort=8099\nLiveNetwork=1\n", 1,
            [] {
                StoredSettings s = settings(50, 129, true, 0, 5);
                s.LiveOn = true;
                s.LivePort = 8099;
                s.LiveNetwork = 1;
                return s;
            }() },
        ReadCase { "LiveOutOfRange", "[General]\nLiveOn=x\nLivePort=70000\nLiveNetwork=2\n", 1,
            settings(313, 129, true, 0, 5) }),
    [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

TEST(StoredSettingsWrite, WritesAllTwelveValuesAndSurvivesARestart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The folder does not exist yet, as on the first start.
    const QString path = dir.filePath(QStringLiteral("Quellmark/Scorelane.ini"));
    StoredSettings s = settings(-1000, -20, false, 1, 6);
    s.Width = 916;
    s.Height = 564;
    s.HelpWidth = 1024;
    s.HelpHeight = 700;
    s.LiveOn = true;
    s.LivePort = 8090;
    s.LiveNetwork = 1;
    ASSERT_TRUE(SettingsStore(path).write(s));

    const QSettings raw(path, QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().size(), 12);
    const std::pair<const char *, const char *> expected[]
        = { { "Left", "-1000" }, { "Top", "-20" }, { "Width", "916" }, { "Height", "564" }, { "KeepAR", "0" },
              { "Monitor", "1" }, { "ColSUD", "6" }, { "HelpWidth", "1024" }, { "HelpHeight", "700" },
              { "LiveOn", "1" }, { "LivePort", "8090" }, { "LiveNetwork", "1" } };
    for (const auto &[key, value] : expected)
        EXPECT_EQ(raw.value(QLatin1String(key)).toString(), QLatin1String(value)) << key;

    // Width and height are stored but not read back.
    StoredSettings back = settings(-1000, -20, false, 1, 6, 1024, 700);
    back.LiveOn = true;
    back.LivePort = 8090;
    back.LiveNetwork = 1;
    EXPECT_EQ(SettingsStore(path).read(monitorsOf(2)), back);

    s.KeepAR = true;
    ASSERT_TRUE(SettingsStore(path).write(s));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("KeepAR")).toString(), "1");
}

namespace {

// Runs call on a thread of its own. Should it still run after the limit, a call blocked on
// the FIFO at fifo is let go (its open meets a writer that leaves at once) so that the test
// can fail instead of hanging.
bool finishesInTime(const std::function<void()> &call, const QString &fifo)
{
    std::future<void> done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
        done.get();
        return true;
    }
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    done.get();
    return false;
}

std::string describe(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return "nothing";
    if (!info.isFile())
        return info.isDir() ? "a folder" : "no plain file";
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "unreadable";
}

struct UnusableCase
{
    const char *name;
    std::function<void(const QString &folder, const QString &path)> make;
    bool refusesRoot; // only refused once root's permission override is dropped
    StoredSettings read;
    bool written;
};

} // namespace

TEST(StoredSettingsFile, WhatIsNoUsableFileNeitherBlocksNorFails)
{
    const QByteArray values = "[General]\nLeft=1\nTop=2\nKeepAR=0\nMonitor=1\nColSUD=6\n";
    const auto writeRaw = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const UnusableCase cases[] = {
        { "a folder", [](const QString &, const QString &path) { ASSERT_TRUE(QDir().mkdir(path)); }, false,
            StoredSettings(), false },
        { "a FIFO",
            [](const QString &, const QString &path) {
                ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            },
            false, StoredSettings(), false },
        { "a link to a device",
            [](const QString &, const QString &path) {
                ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
            },
            false, StoredSettings(), false },
        { "a read-only file",
            [&](const QString &, const QString &path) {
                writeRaw(path, values);
                ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
            },
            true, settings(1, 2, false, 1, 6), false },
        { "a read-only folder",
            [](const QString &folder, const QString &) {
                ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
            },
            true, StoredSettings(), false },
        // Far larger than any settings file, whatever it starts with: parsing it would cost
        // seconds and hundreds of megabytes at every start.
        { "megabytes of junk",
            [&](const QString &, const QString &path) {
                writeRaw(path, values + "Junk=" + QByteArray(1 << 20, 'x') + "\n");
            },
            false, StoredSettings(), true },
        // A serialised object whose length claims gigabytes (found by fuzzing).
        { "a Qt object with a huge length",
            [&](const QString &, const QString &path) {
                QFile found(QStringLiteral(SCORELANE_TEST_DATA "/fuzz/settings/huge-object-length.ini"));
                ASSERT_TRUE(found.open(QIODevice::ReadOnly));
                writeRaw(path, found.readAll());
            },
            false, StoredSettings(), true },
    };
    for (const UnusableCase &c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("Quellmark"));
        const QString path = folder + QStringLiteral("/Scorelane.ini");
        ASSERT_TRUE(QDir().mkdir(folder));
        c.make(folder, path);
        const std::string before = describe(path);

        bool refused = true;
        StoredSettings read;
        bool written = false;
        const bool inTime = finishesInTime(
            [&] {
                NoPermissionOverride noOverride;
                refused = noOverride.active() || !c.refusesRoot;
                read = SettingsStore(path).read(monitorsOf(2));
                written = SettingsStore(path).write(settings(5, 6, true, 0, 4));
            },
            path);
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        if (!refused)
            continue;

        EXPECT_TRUE(inTime) << c.name;
        EXPECT_EQ(read, c.read) << c.name;
        EXPECT_EQ(written, c.written) << c.name;
        if (c.written)
            EXPECT_EQ(QSettings(path, QSettings::IniFormat).allKeys().size(), 12) << c.name;
        else
            EXPECT_EQ(describe(path), before) << c.name;
    }
}

TEST(StoredSettingsFile, BinaryJunkGivesValuesInRange)
{
    // Pieces of real lines among random bytes, so that the parser gets far.
    const QByteArray pieces[] = { "[General]\n", "Left=", "Top=", "KeepAR=", "Monitor=", "ColSUD=", "\n",
        "\r\n", "-", "99999999999", "7", "=", "[", "]", "\\", "\"", ";", "%", "\t", "\xff\xfe" };
    std::mt19937 random(13);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Scorelane.ini"));
    for (int round = 0; round < 100; ++round) {
        QByteArray bytes;
        const int count = int(random() % 60);
        for (int i = 0; i < count; ++i) {
            if (random() % 2)
                bytes.append(pieces[random() % std::size(pieces)]);
            else
                bytes.append(char(random()));
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        const StoredSettings s = SettingsStore(path).read(monitorsOf(2));
        EXPECT_GE(s.ColSUD, 3) << bytes.toHex().constData();
        EXPECT_LE(s.ColSUD, 7) << bytes.toHex().constData();
        EXPECT_LE(s.Monitor, 1) << bytes.toHex().constData();
    }
}

TEST(StoredSettingsPath, PerUserIniFileNamedAfterTheTitle)
{
    // The shared test main points the config folder at a throwaway one.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty());
    EXPECT_EQ(SettingsStore::defaultPath(QStringLiteral("Turnier")),
        QDir(config).filePath(QStringLiteral("Quellmark/Turnier.ini")));

    // Naming the file must not open it: a FIFO there would hold the start.
    const QString fifo = QDir(config).filePath(QStringLiteral("Quellmark/Fifo.ini"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(fifo).path()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString named;
    EXPECT_TRUE(finishesInTime([&] { named = SettingsStore::defaultPath(QStringLiteral("Fifo")); }, fifo));
    EXPECT_EQ(named, fifo);
    QFile::remove(fifo);
}

namespace {

struct PlaceCase
{
    const char *name;
    QList<QRect> monitors;
    QPoint stored;
    QPoint expected;
};

class MainWindowPlacement : public testing::TestWithParam<PlaceCase>
{
};

} // namespace

TEST_P(MainWindowPlacement, StoredCornerUnlessNoMonitorShowsTheWindow)
{
    const PlaceCase &c = GetParam();
    EXPECT_EQ(mainWindowPosition(c.stored, QSize(916, 564), FixedMonitorList(c.monitors)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainWindowPlacement,
    testing::Values(
        PlaceCase { "TouchingTheLastPixel", { kPrimary }, QPoint(1919, 1079), QPoint(1919, 1079) },
        PlaceCase { "JustBeyondTheCorner", { kPrimary }, QPoint(1920, 1080), QPoint(313, 129) },
        PlaceCase { "SecondMonitorRemoved", { kPrimary }, QPoint(-1000, 100), QPoint(313, 129) },
        PlaceCase {
            "PrimaryRightOfTheDesktopOrigin", { kRightOfPrimary }, QPoint(-5000, 0), QPoint(2233, 129) },
        PlaceCase {
            "SmallPrimaryPullsTheWindowIn", { QRect(0, 0, 800, 600) }, QPoint(5000, 5000), QPoint(0, 36) },
        PlaceCase {
            "CornerNearTheLargestInteger", { kPrimary }, QPoint(2147483000, 2147483000), QPoint(313, 129) }),
    [](const testing::TestParamInfo<PlaceCase> &info) { return std::string(info.param.name); });
