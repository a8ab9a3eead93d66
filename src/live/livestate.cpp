#include "live/livestate.h"

#include "display/scoreboardrules.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <algorithm>

namespace {

int countedJudges(int judges)
{
    return std::clamp(judges, 0, ResultTable::kMaxJudges);
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
