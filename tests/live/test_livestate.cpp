#include "live/livefeed.h"
#include "live/liveqrcode.h"
#include "live/livestate.h"

#include "support/resulttablefixture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The feed passes its state on from a timer.
void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20)
        QCoreApplication::processEvents();
}

QJsonObject parsed(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

LiveRow row(const char *number, const char *total, const char *place)
{
    return LiveRow { QString::fromLatin1(number), QStringLiteral("Paar ") + QString::fromLatin1(number),
        QStringLiteral("TSC"), { QStringLiteral("9"), QStringLiteral("8"), QStringLiteral("7") },
        QString::fromLatin1(total), QString::fromLatin1(place) };
}

TEST(LiveCouple, ShowsTheMarksStrikesAndTotalsAsTheScoreboardDoes)
{
    struct Case
    {
        QStringList marks; // judges 1..5
        QStringList shown;
        int lowest, highest;
        const char *total;
    };
    const Case cases[] = {
        { { "9", "8", "8", "7", "8" }, { "9", "8", "8", "7", "8" }, 4, 1, "24" },
        // One mark missing: the scoreboard shows none of them and no total.
        { { "9", "8", "", "7", "8" }, { "", "", "", "", "" }, 0, 0, "" },
        // A blank counts as entered but is no mark.
        { { "9", " ", "8", "7", "8" }, { "9", " ", "8", "7", "8" }, 4, 1, "16" },
    };
    for (const Case &c : cases) {
        const QStringList texts = QStringList { "12", "Anna & Bert", "TSC Grün" } + c.marks
            + QStringList { "", "", "99", "3", "40" };
        const LiveCouple couple = liveCouple(texts, 5);
        EXPECT_EQ(couple.number, "12");
        EXPECT_EQ(couple.name, "Anna & Bert");
        EXPECT_EQ(couple.club, "TSC Grün");
        EXPECT_EQ(couple.marks, c.shown) << c.marks.join(',').toStdString();
        EXPECT_EQ(couple.struckLowest, c.lowest) << c.marks.join(',').toStdString();
        EXPECT_EQ(couple.struckHighest, c.highest);
        EXPECT_EQ(couple.total, QString::fromLatin1(c.total));
        EXPECT_EQ(couple.place, "3");
    }
}

TEST(LiveRows, OnlyPlacedRowsInTableOrderWithTheCountedMarks)
{
    ResultTableFixture<> fixture;
    fixture.setRows({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert", "TTC", "9" },
        { "3", "Cora", "TSC", "5", "5", "5", "5", "5" } });
    fixture.table.SetJudgeCount(5);
    fixture.table.AssignPlaces();
    const QList<LiveRow> rows = placedRows(fixture.grid, 5);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], (LiveRow { "1", "Anna", "TSC", { "9", "9", "9", "9", "9" }, "27", "1" }));
    EXPECT_EQ(rows[1].number, "3");
    EXPECT_EQ(rows[1].place, "2");
    EXPECT_EQ(placedRows(fixture.grid, 3)[0].marks.size(), 3);
}

TEST(LiveRows, ARereadingKeepsTheEarlierListAndFollowsAMove)
{
    ResultTableFixture<> fixture;
    fixture.setRows(
        { { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert", "TTC", "7", "7", "7", "7", "7" },
            { "3", "Cora", "TSC", "5", "5", "5", "5", "5" }, { "4", "Dora", "TTC", "3" } });
    fixture.table.SetJudgeCount(5);
    fixture.table.AssignPlaces();
    const QList<LiveRow> first = placedRows(fixture.grid, 5);
    ASSERT_EQ(first.size(), 3);
    // Nothing changed: the same list, not a copy of it.
    const QList<LiveRow> again = placedRows(fixture.grid, 5, first);
    EXPECT_TRUE(again.isSharedWith(first));
    // Dora completes her marks and goes second: the rows from her place on follow.
    for (int judge = 2; judge <= 5; ++judge)
        fixture.grid.setCells(ResultTable::markColumn(judge), 4, QStringLiteral("8"));
    fixture.table.AssignPlaces();
    const QList<LiveRow> moved = placedRows(fixture.grid, 5, first);
    ASSERT_EQ(moved.size(), 4);
    EXPECT_EQ(moved[0], first[0]);
    EXPECT_EQ(moved[1].number, "4");
    EXPECT_EQ(moved[1].place, "2");
    EXPECT_EQ(moved[2].number, "2");
    EXPECT_EQ(moved[2].place, "3");
    EXPECT_EQ(moved[3].number, "3");
    EXPECT_EQ(moved[3].place, "4");
    EXPECT_EQ(moved, placedRows(fixture.grid, 5));
}

TEST(LiveJson, StateAndSnapshotCarryEverythingThePagesShow)
{
    LiveState state;
    state.competition = QStringLiteral("Latein \"A\"");
    state.judges = 3;
    state.couple = LiveCouple { "7", "Anna", "TSC", { "9", "8", "7" }, 3, 1, "8", "2" };
    state.rows = { row("7", "8", "2") };
    const QJsonObject json = parsed(stateJson(state));
    EXPECT_EQ(json["competition"].toString(), "Latein \"A\"");
    EXPECT_EQ(json["judges"].toInt(), 3);
    EXPECT_EQ(json["couple"].toObject()["struck"].toArray(), (QJsonArray { 3, 1 }));
    EXPECT_EQ(json["couple"].toObject()["total"].toString(), "8");
    EXPECT_EQ(json["rows"].toArray()[0].toObject()["place"].toString(), "2");
    EXPECT_EQ(json["rows"].toArray()[0].toObject()["marks"].toArray().size(), 3);

    const QJsonObject snapshot = parsed(snapshotMessage(LiveState {}));
    EXPECT_EQ(snapshot["type"].toString(), "snapshot");
    EXPECT_TRUE(snapshot["state"].toObject()["couple"].isNull());
    EXPECT_TRUE(snapshot["state"].toObject()["rows"].toArray().isEmpty());
}

TEST(LiveJson, UpdatesCarryOnlyWhatChanged)
{
    LiveState before;
    before.rows = { row("1", "27", "1"), row("2", "20", "2"), row("3", "10", "3") };
    LiveState after = before;
    EXPECT_TRUE(updateMessage(before, after).isEmpty());

    // Row 4 is placed second: it goes whole, the rows below it with their new places, and the order.
    after.rows = { row("1", "27", "1"), row("4", "22", "2"), row("2", "20", "3"), row("3", "10", "4") };
    QJsonObject update = parsed(updateMessage(before, after));
    EXPECT_EQ(update["type"].toString(), "update");
    ASSERT_EQ(update["rows"].toArray().size(), 1);
    EXPECT_EQ(update["rows"].toArray()[0].toObject()["name"].toString(), "Paar 4");
    EXPECT_EQ(update["places"].toObject(), (QJsonObject { { "2", "3" }, { "3", "4" } }));
    EXPECT_EQ(update["order"].toArray(), (QJsonArray { "1", "4", "2", "3" }));
    EXPECT_FALSE(update.contains("couple"));
    EXPECT_FALSE(update.contains("removed"));

    // A total changes in place; a row loses its place.
    LiveState third = after;
    third.rows[0].total = QStringLiteral("26");
    third.rows.removeLast();
    update = parsed(updateMessage(after, third));
    EXPECT_EQ(update["rows"].toArray().size(), 1);
    EXPECT_FALSE(update.contains("places"));
    EXPECT_EQ(update["removed"].toArray(), (QJsonArray { "3" }));
    EXPECT_FALSE(update.contains("order"));

    // The couple shown, then cleared.
    LiveState shown = third;
    shown.couple = LiveCouple { "4", "Paar 4", "TSC", { "9", "8", "7" }, 3, 1, "8", "2" };
    update = parsed(updateMessage(third, shown));
    EXPECT_EQ(update["couple"].toObject()["number"].toString(), "4");
    EXPECT_FALSE(update.contains("rows"));
    update = parsed(updateMessage(shown, third));
    EXPECT_TRUE(update.contains("couple"));
    EXPECT_TRUE(update["couple"].isNull());

    // Two rows with one start number: the rows go whole.
    LiveState doubled = third;
    doubled.rows.append(row("1", "5", "4"));
    update = parsed(updateMessage(third, doubled));
    EXPECT_TRUE(update["all"].toBool());
    EXPECT_EQ(update["rows"].toArray().size(), 4);
}

TEST(LiveFeed, ReadsThePlacesWhenTheyChangeAndPassesOneStatePerTurn)
{
    ResultTableFixture<> fixture;
    fixture.setRows({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert", "TTC" } });
    fixture.table.AssignPlaces();
    LiveFeed feed(fixture.grid);
    QList<LiveState> passed;
    QObject::connect(&feed, &LiveFeed::stateChanged, [&](const LiveState &s) { passed.append(s); });

    feed.setCompetitionName(QStringLiteral("Latein"));
    feed.placesChanged();
    feed.coupleShown(fixture.grid.Rows(1));
    EXPECT_TRUE(passed.isEmpty());
    settle();
    ASSERT_EQ(passed.size(), 1);
    EXPECT_EQ(passed[0].competition, "Latein");
    ASSERT_EQ(passed[0].rows.size(), 1);
    ASSERT_TRUE(passed[0].couple);
    EXPECT_EQ(passed[0].couple->total, "27");

    // Typed into the place cell after a placing, even before the state went out: not seen
    // until the next placing.
    feed.placesChanged();
    fixture.grid.setCells(ResultTable::ColPlace, 2, QStringLiteral("5"));
    feed.scoreboardCleared();
    settle();
    ASSERT_EQ(passed.size(), 2);
    EXPECT_FALSE(passed[1].couple);
    EXPECT_EQ(passed[1].rows.size(), 1);

    feed.judgeCountChanged(3);
    settle();
    ASSERT_EQ(passed.size(), 3);
    EXPECT_EQ(passed[2].judges, 3);
    EXPECT_EQ(passed[2].rows.size(), 2); // read again: the typed place is there now
}

TEST(LiveQrCode, FinderPatternsInTheCornersAQuietZoneAndNothingForATooLongText)
{
    // 22 bytes: version 2, 25 modules; four modules of quiet zone on each side.
    const QImage code = liveQrCode(QStringLiteral("http://127.0.0.1:8080/"), 4);
    ASSERT_EQ(code.size(), QSize(132, 132));
    const auto dark = [&](int x, int y) { return qGray(code.pixel(16 + x * 4 + 2, 16 + y * 4 + 2)) < 128; };
    for (const auto &[left, top] : { std::pair { 0, 0 }, std::pair { 18, 0 }, std::pair { 0, 18 } }) {
        // The 7 x 7 finder: a dark ring, a light ring, a dark 3 x 3 core.
        EXPECT_TRUE(dark(left, top) && dark(left + 6, top + 6)) << left << "," << top;
        EXPECT_FALSE(dark(left + 1, top + 1) || dark(left + 5, top + 5)) << left << "," << top;
        EXPECT_TRUE(dark(left + 3, top + 3)) << left << "," << top;
    }
    for (int i = 0; i < 132; ++i)
        ASSERT_EQ(code.pixel(i, 0), QColor(Qt::white).rgb()) << i;
    EXPECT_TRUE(liveQrCode(QString(5000, QLatin1Char('x')), 4).isNull());
}

} // namespace
