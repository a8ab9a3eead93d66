#include "live/liveservice.h"

#include <QNetworkInterface>

LiveService::LiveService(LiveLimits limits, QObject *parent)
    : QObject(parent)
    , m_server(new LiveServer(limits))
{
    m_thread.setObjectName(QStringLiteral("live server"));
    m_server->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
    connect(this, &LiveService::published, m_server, &LiveServer::publish);
    connect(m_server, &LiveServer::viewersChanged, this, [this](int viewers) {
        m_viewers = m_running ? viewers : 0;
        emit stateChanged();
    });
    m_thread.start();
}

LiveService::~LiveService()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

QString LiveService::start(int port, LiveScope scope)
{
    stop();
    // 0, any free port, is for tests; the dialog offers 1024 and up.
    if (port < 0 || port > 65535)
        return QStringLiteral("Port %1 gibt es nicht: bitte eine Zahl von 1024 bis 65535 wählen.").arg(port);
    const QHostAddress address(
        scope == LiveScope::LocalNetwork ? QHostAddress::Any : QHostAddress::LocalHost);
    QString error;
    QMetaObject::invokeMethod(
        m_server,
        [&] {
            error = m_server->listen(address, quint16(port));
            if (error.isEmpty())
                port = m_server->port();
        },
        Qt::BlockingQueuedConnection);
    m_port = port;
    m_scope = scope;
    m_running = error.isEmpty();
    m_viewers = 0;
    emit stateChanged();
    return error;
}

void LiveService::stop()
{
    if (!m_running)
        return;
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->close(); }, Qt::BlockingQueuedConnection);
    m_running = false;
    m_viewers = 0;
    emit stateChanged();
}

QStringList LiveService::hosts() const
{
    if (m_scope == LiveScope::ThisComputer)
        return { QStringLiteral("127.0.0.1") };
    QStringList hosts;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                hosts.append(entry.ip().toString());
        }
    }
    hosts.append(QStringLiteral("127.0.0.1"));
    return hosts;
}

void LiveService::publish(const LiveState &state)
{
    emit published(state);
}
