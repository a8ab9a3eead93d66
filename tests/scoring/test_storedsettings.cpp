#include "platform/monitors.h"
#include "scoring/storedsettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <optional>
#include <ostream>

static void PrintTo(const StoredSettings &s, std::ostream *os)
{
    *os << "{Left " << s.Left << ", Top " << s.Top << ", Width " << s.Width << ", Height " << s.Height
        << ", KeepAR " << s.KeepAR << ", Monitor " << s.Monitor << ", ColSUD " << s.ColSUD << "}";
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

StoredSettings settings(int left, int top, bool keepAR, int monitor, int judges)
{
    StoredSettings s;
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
            settings(1, 2, false, 0, 3) }),
    [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

TEST(StoredSettingsWrite, WritesAllSevenValuesAndSurvivesARestart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The folder does not exist yet, as on the first start.
    const QString path = dir.filePath(QStringLiteral("Quellmark/Scorelane.ini"));
    StoredSettings s = settings(-1000, -20, false, 1, 6);
    s.Width = 916;
    s.Height = 564;
    ASSERT_TRUE(SettingsStore(path).write(s));

    const QSettings raw(path, QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().size(), 7);
    const std::pair<const char *, const char *> expected[] = { { "Left", "-1000" }, { "Top", "-20" },
        { "Width", "916" }, { "Height", "564" }, { "KeepAR", "0" }, { "Monitor", "1" }, { "ColSUD", "6" } };
    for (const auto &[key, value] : expected)
        EXPECT_EQ(raw.value(QLatin1String(key)).toString(), QLatin1String(value)) << key;

    // Width and height are stored but not read back.
    EXPECT_EQ(SettingsStore(path).read(monitorsOf(2)), settings(-1000, -20, false, 1, 6));

    s.KeepAR = true;
    ASSERT_TRUE(SettingsStore(path).write(s));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("KeepAR")).toString(), "1");
}

TEST(StoredSettingsPath, PerUserIniFileNamedAfterTheTitle)
{
    // The shared test main points the config folder at a throwaway one.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty());
    EXPECT_EQ(SettingsStore::defaultPath(QStringLiteral("Turnier")),
        QDir(config).filePath(QStringLiteral("Quellmark/Turnier.ini")));
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
