#pragma once

#include "live/livestate.h"

#include <QObject>

class SortGridCore;

// Collects what the audience has seen from the result table's announcements, on the
// user-interface thread, and passes the state on once per turn of the event loop, after the
// window has been repainted. The placed rows are the table as it was when its places
// changed, so that what the operator types afterwards does not leak out: they are read after
// the repaint, or before that when the table is about to change.
class LiveFeed : public QObject
{
    Q_OBJECT
public:
    explicit LiveFeed(SortGridCore &grid, QObject *parent = nullptr);
    ~LiveFeed() override;

    const LiveState &state();

public slots:
    // The 13 texts of the row now on the scoreboard.
    void coupleShown(const QStringList &rowTexts);
    void scoreboardCleared();
    void placesChanged();
    // Open, recovery: every row is new; the scoreboard is cleared separately.
    void tableReplaced();
    void judgeCountChanged(int judges);
    void setCompetitionName(const QString &caption);

signals:
    // Queued to the server; at most once per turn of the event loop, after the repaint.
    void stateChanged(const LiveState &state);

private:
    void changed();
    void publish();
    void readRows();

    SortGridCore &m_grid;
    LiveState m_state;
    bool m_pending = false;
    bool m_rowsDue = false;
};
