#include "live/livefeed.h"

#include "grid/sortgridcore.h"

#include <QTimer>

LiveFeed::LiveFeed(SortGridCore &grid, QObject *parent)
    : QObject(parent)
    , m_grid(grid)
{
    qRegisterMetaType<LiveState>();
}

LiveFeed::~LiveFeed()
{
    if (m_rowsDue)
        m_grid.callBeforeNextChange(nullptr);
}

const LiveState &LiveFeed::state()
{
    readRows();
    return m_state;
}

void LiveFeed::coupleShown(const QStringList &rowTexts)
{
    m_state.couple = liveCouple(rowTexts, m_state.judges);
    changed();
}

void LiveFeed::scoreboardCleared()
{
    m_state.couple.reset();
    changed();
}

void LiveFeed::placesChanged()
{
    // Read with the state, after the repaint, unless the table changes before.
    if (!m_rowsDue) {
        m_rowsDue = true;
        m_grid.callBeforeNextChange([this] { readRows(); });
    }
    changed();
}

void LiveFeed::readRows()
{
    if (!m_rowsDue)
        return;
    m_rowsDue = false;
    m_grid.callBeforeNextChange(nullptr);
    m_state.rows = placedRows(m_grid, m_state.judges, m_state.rows);
}

void LiveFeed::tableReplaced()
{
    placesChanged();
}

void LiveFeed::judgeCountChanged(int judges)
{
    if (judges == m_state.judges)
        return;
    m_state.judges = judges;
    // The rows carry one mark per judge.
    placesChanged();
}

void LiveFeed::setCompetitionName(const QString &caption)
{
    m_state.competition = caption;
    changed();
}

void LiveFeed::changed()
{
    // Enter re-places the table and shows the couple: the pages get one update for both. A
    // timer fires only after the posted events, the repaint among them, so the operator's window
    // shows the result before the server starts on it. (A zero timer would be a posted event
    // itself and could come before the repaint.)
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(1, Qt::PreciseTimer, this, &LiveFeed::publish);
}

void LiveFeed::publish()
{
    m_pending = false;
    readRows();
    emit stateChanged(m_state);
}
