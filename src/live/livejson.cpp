#include "live/livestate.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

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
