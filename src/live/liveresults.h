#pragma once

#include "live/livefeed.h"
#include "live/liveservice.h"

#include <QObject>

class LiveDialog;
class QLabel;
class QWidget;

// The command "Live-Ergebnisse" of the main window: the server, the feed it is given, the
// dialog and the state in the status bar. The operator's choice is kept for the settings.
class LiveResults : public QObject
{
    Q_OBJECT
public:
    struct Choice
    {
        bool on = false;
        int port = LiveService::kDefaultPort;
        bool network = false;
    };

    LiveResults(SortGridCore &grid, QLabel *statusPanel, QWidget *window, LiveLimits limits = {});
    ~LiveResults() override;

    LiveFeed &feed() { return m_feed; }
    LiveService &service() { return m_service; }
    Choice choice() const { return m_choice; }
    LiveDialog *dialog() const { return m_dialog; } // nullptr until first shown

    // At start: the stored choice; the server starts when it was on.
    void restore(Choice choice);
    // Opens the dialog (window-modal; returns at once).
    void showDialog();

private:
    void showStatus();

    LiveFeed m_feed;
    LiveService m_service;
    QLabel *m_statusPanel;
    QWidget *m_window;
    LiveDialog *m_dialog = nullptr;
    Choice m_choice;
    QString m_startError;
};
