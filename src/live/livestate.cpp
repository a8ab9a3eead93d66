#include "live/livestate.h"

#include "display/scoreboardrules.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

int countedJudges(int judges)
{
    return std::clamp(judges, 0, ResultTable::kMaxJudges);
}

QJsonArray jsonStrings(const QStringList &texts)
{
    QJsonArray array;
    for (const QString &text : texts)
        array.append(text);
    return array;
}

QJsonValue coupleJson(const std::optional<LiveCouple> &couple)
{
    if (!couple)
        return QJsonValue::Null;
    QJsonArray struck;
    for (int judge : { couple->struckLowest, couple->struckHighest }) {
        if (judge > 0)
            struck.append(judge);
    }
    return QJsonObject { { QStringLiteral("number"), couple->number },
        { QStringLiteral("name"), couple->name }, { QStringLiteral("club"), couple->club },
        { QStringLiteral("marks"), jsonStrings(couple->marks) }, { QStringLiteral("struck"), struck },
        { QStringLiteral("total"), couple->total }, { QStringLiteral("place"), couple->place } };
}

QJsonObject rowJson(const LiveRow &row)
{
    return QJsonObject { { QStringLiteral("number"), row.number }, { QStringLiteral("name"), row.name },
        { QStringLiteral("club"), row.club }, { QStringLiteral("marks"), jsonStrings(row.marks) },
        { QStringLiteral("total"), row.total }, { QStringLiteral("place"), row.place } };
}

QJsonArray rowsJson(const QList<LiveRow> &rows)
{
    QJsonArray array;
    for (const LiveRow &row : rows)
        array.append(rowJson(row));
    return array;
}

QJsonObject stateObject(const LiveState &state)
{
    return QJsonObject { { QStringLiteral("competition"), state.competition },
        { QStringLiteral("judges"), state.judges }, { QStringLiteral("couple"), coupleJson(state.couple) },
        { QStringLiteral("rows"), rowsJson(state.rows) } };
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Start number to row, or nothing when two rows share a number.
std::optional<QHash<QString, const LiveRow *>> byNumber(const QList<LiveRow> &rows)
{
    QHash<QString, const LiveRow *> index;
    index.reserve(rows.size());
    for (const LiveRow &row : rows) {
        if (index.contains(row.number))
            return std::nullopt;
        index.insert(row.number, &row);
    }
    return index;
}

} // namespace

LiveCouple liveCouple(const QStringList &rowTexts, int judges)
{
    const auto cell = [&rowTexts](int column) { return rowTexts.value(column); };
    LiveCouple couple;
    couple.number = cell(ResultTable::ColNumber);
    couple.name = cell(ResultTable::ColName);
    couple.club = cell(ResultTable::ColClub);
    couple.place = cell(ResultTable::ColPlace);
    const int counted = countedJudges(judges);
    bool complete = true;
    for (int judge = 1; judge <= counted; ++judge)
        complete = complete && !cell(ResultTable::markColumn(judge)).isEmpty();
    for (int judge = 1; judge <= counted; ++judge)
        couple.marks.append(complete ? cell(ResultTable::markColumn(judge)) : QString());
    const StrikeMarks strike = chooseStrikeMarks(couple.marks);
    couple.struckLowest = strike.lowestLabel;
    couple.struckHighest = strike.highestLabel;
    couple.total = strike.total;
    return couple;
}

QList<LiveRow> placedRows(const SortGridCore &grid, int judges, const QList<LiveRow> &previous)
{
    const int counted = countedJudges(judges);
    // Cells not written since the last reading still share their text with it.
    const auto same = [&](const QString &text, int column, int r) {
        const QString &cell = grid.cellText(column, r);
        return text.isSharedWith(cell) || text == cell;
    };
    const auto sameAs = [&](const LiveRow &row, int r, bool placeToo = true) {
        if (row.marks.size() != counted || !same(row.number, ResultTable::ColNumber, r)
            || (placeToo && !same(row.place, ResultTable::ColPlace, r))
            || !same(row.total, ResultTable::ColTotal, r) || !same(row.name, ResultTable::ColName, r)
            || !same(row.club, ResultTable::ColClub, r))
            return false;
        for (int judge = 1; judge <= counted; ++judge) {
            if (!same(row.marks[judge - 1], ResultTable::markColumn(judge), r))
                return false;
        }
        return true;
    };
    const auto placed = [&](int r) {
        const QString &place = grid.cellText(ResultTable::ColPlace, r);
        return !std::all_of(place.begin(), place.end(), [](QChar c) { return c.isSpace(); });
    };
    // The rows up to the first one that differs from the earlier list are that list's own:
    // a showing after a placing changes nothing, a placing often only the rows below the
    // competitor who moved. A list that comes out the same is the earlier one, not a copy.
    int r = 1;
    qsizetype matched = 0;
    for (; r < grid.RowCount(); ++r) {
        if (!placed(r))
            continue;
        if (matched >= previous.size() || !sameAs(previous[matched], r))
            break;
        ++matched;
    }
    if (r == grid.RowCount() && matched == previous.size())
        return previous;
    QList<LiveRow> rows;
    rows.reserve(grid.RowCount());
    rows.append(previous.first(matched));
    // A placing moves one competitor and shifts the others: most rows are found again at the
    // same place in the earlier list, or one further on, and are shared rather than copied.
    qsizetype next = matched;
    for (; r < grid.RowCount(); ++r) {
        if (!placed(r))
            continue;
        const QString &place = grid.cellText(ResultTable::ColPlace, r);
        if (next < previous.size() && sameAs(previous[next], r)) {
            rows.append(previous[next++]);
            continue;
        }
        if (next + 1 < previous.size() && sameAs(previous[next + 1], r)) {
            next += 2;
            rows.append(previous[next - 1]);
            continue;
        }
        // Shifted by the competitor who moved, with a new place and nothing else new.
        if (next < previous.size() && sameAs(previous[next], r, false)) {
            rows.append(previous[next++].withPlace(place));
            continue;
        }
        LiveRow row;
        row.number = grid.cellText(ResultTable::ColNumber, r);
        row.name = grid.cellText(ResultTable::ColName, r);
        row.club = grid.cellText(ResultTable::ColClub, r);
        row.marks.reserve(counted);
        for (int judge = 1; judge <= counted; ++judge)
            row.marks.append(grid.cellText(ResultTable::markColumn(judge), r));
        row.total = grid.cellText(ResultTable::ColTotal, r);
        row.place = place;
        rows.append(std::move(row));
    }
    return rows;
}

QByteArray stateJson(const LiveState &state)
{
    return compact(stateObject(state));
}

QByteArray snapshotMessage(const LiveState &state)
{
    return compact(QJsonObject { { QStringLiteral("type"), QStringLiteral("snapshot") },
        { QStringLiteral("state"), stateObject(state) } });
}

QByteArray updateMessage(const LiveState &before, const LiveState &after)
{
    QJsonObject message;
    if (before.competition != after.competition)
        message.insert(QStringLiteral("competition"), after.competition);
    if (before.judges != after.judges)
        message.insert(QStringLiteral("judges"), after.judges);
    if (before.couple != after.couple)
        message.insert(QStringLiteral("couple"), coupleJson(after.couple));

    if (before.rows != after.rows) {
        const auto oldIndex = byNumber(before.rows);
        const auto newIndex = byNumber(after.rows);
        if (!oldIndex || !newIndex) {
            message.insert(QStringLiteral("all"), true);
            message.insert(QStringLiteral("rows"), rowsJson(after.rows));
        } else {
            QJsonArray changed;
            QJsonObject places; // rows that only moved: their new place is enough
            QStringList added;
            for (const LiveRow &row : after.rows) {
                const LiveRow *old = oldIndex->value(row.number);
                if (old && *old == row)
                    continue;
                if (old && old->withPlace(row.place) == row)
                    places.insert(row.number, row.place);
                else
                    changed.append(rowJson(row));
                if (!old)
                    added.append(row.number);
            }
            QJsonArray removed;
            QStringList kept;
            for (const LiveRow &row : before.rows) {
                if (newIndex->contains(row.number))
                    kept.append(row.number);
                else
                    removed.append(row.number);
            }
            // A page keeps its rows in their order, drops the removed ones and adds new ones at
            // the end; the order goes along only when that is not the table's.
            const QStringList expected = kept + added;
            bool sameOrder = expected.size() == after.rows.size();
            for (qsizetype i = 0; sameOrder && i < after.rows.size(); ++i)
                sameOrder = expected[i] == after.rows[i].number;
            if (!changed.isEmpty())
                message.insert(QStringLiteral("rows"), changed);
            if (!places.isEmpty())
                message.insert(QStringLiteral("places"), places);
            if (!removed.isEmpty())
                message.insert(QStringLiteral("removed"), removed);
            if (!sameOrder) {
                QJsonArray order;
                for (const LiveRow &row : after.rows)
                    order.append(row.number);
                message.insert(QStringLiteral("order"), order);
            }
        }
    }
    if (message.isEmpty())
        return {};
    message.insert(QStringLiteral("type"), QStringLiteral("update"));
    return compact(message);
}
