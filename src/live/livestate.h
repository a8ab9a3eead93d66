#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class SortGridCore;

// What the audience has seen, as the pages show it: the couple on the scoreboard and
// the rows that have a place. Plain values, copied freely between threads.
struct LiveCouple
{
    QString number;
    QString name;
    QString club;
    QStringList marks; // one per judge; all empty until the row's marks are complete
    int struckLowest = 0; // judge 1..7 whose mark is struck as the lowest, 0: none
    int struckHighest = 0;
    QString total;
    QString place;
    bool operator==(const LiveCouple &) const = default;
};

struct LiveRow
{
    QString number;
    QString name;
    QString club;
    QStringList marks;
    QString total;
    QString place;
    bool operator==(const LiveRow &) const = default;
    LiveRow withPlace(const QString &newPlace) const
    {
        LiveRow row = *this;
        row.place = newPlace;
        return row;
    }
};

struct LiveState
{
    QString competition; // the table's tab caption, never a path
    int judges = 5;
    std::optional<LiveCouple> couple;
    QList<LiveRow> rows; // in the table's order
    bool operator==(const LiveState &) const = default;
};

// The couple of a shown row: the 13 texts of the row as the scoreboard gets them. Marks are
// shown only when every judge's cell holds text; the struck marks and the total are the
// scoreboard's own choice from the shown marks.
LiveCouple liveCouple(const QStringList &rowTexts, int judges);

// The rows of the table that have a place, in the table's order. Rows of `previous` whose cells
// are unchanged are shared, which makes a reading after a placing that changed little cheap.
QList<LiveRow> placedRows(const SortGridCore &grid, int judges, const QList<LiveRow> &previous = {});

// The messages for the pages (live/livejson.cpp): made by the server, in the live module.

// The state as JSON: {"competition", "judges", "couple" (null when none), "rows"}.
QByteArray stateJson(const LiveState &state);

// The first WebSocket message a page gets: {"type":"snapshot","state":{...}}.
QByteArray snapshotMessage(const LiveState &state);

// What changed between two states, as one WebSocket message
// {"type":"update", "competition"?, "judges"?, "couple"?, "rows"?: [...], "places"?: {number: place},
//  "removed"?: [...], "order"?: [...]}; empty when nothing the pages show changed. A row whose place
// alone changed goes in "places". Rows are keyed by start number;
// a table whose start numbers are not unique is sent whole ("rows" with "all": true).
QByteArray updateMessage(const LiveState &before, const LiveState &after);
