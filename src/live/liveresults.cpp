#include "live/liveresults.h"

#include "live/livedialog.h"

#include <QLabel>

LiveResults::LiveResults(SortGridCore &grid, QLabel *statusPanel, QWidget *window, LiveLimits limits)
    : m_feed(grid)
    , m_service(limits)
    , m_statusPanel(statusPanel)
    , m_window(window)
{
    connect(&m_feed, &LiveFeed::stateChanged, &m_service, &LiveService::publish);
    connect(&m_service, &LiveService::stateChanged, this, &LiveResults::showStatus);
    m_service.publish(m_feed.state());
    showStatus();
}

LiveResults::~LiveResults()
{
    delete m_dialog;
}

void LiveResults::restore(Choice choice)
{
    m_choice = choice;
    m_startError.clear();
    if (choice.on) {
        m_startError = m_service.start(
            choice.port, choice.network ? LiveScope::LocalNetwork : LiveScope::ThisComputer);
        showStatus();
    }
}

void LiveResults::showDialog()
{
    if (!m_dialog) {
        m_dialog = new LiveDialog(m_service, m_window);
        connect(m_dialog, &LiveDialog::chosen, this, [this](bool on, int port, bool network) {
            m_choice = { on, port, network };
            m_startError.clear();
            showStatus();
        });
    }
    m_dialog->showState(m_choice.port, m_choice.network);
    m_dialog->open();
}

void LiveResults::showStatus()
{
    if (!m_statusPanel)
        return;
    if (m_service.isRunning()) {
        const int viewers = m_service.viewers();
        m_statusPanel->setText(QStringLiteral("Live: %1").arg(viewers));
        m_statusPanel->setToolTip(QStringLiteral("Live-Ergebnisse an, Port %1: %2 Zuschauer verbunden")
                                      .arg(m_service.port())
                                      .arg(viewers));
    } else if (!m_startError.isEmpty()) {
        m_statusPanel->setText(QStringLiteral("Live: Fehler"));
        m_statusPanel->setToolTip(m_startError);
    } else {
        m_statusPanel->clear();
        m_statusPanel->setToolTip(QStringLiteral("Live-Ergebnisse aus ([Ctrl+L])"));
    }
}
