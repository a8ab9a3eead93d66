#include "live/liveservice.h"

#include "platform/ondemandmodule.h"

LiveService::LiveService(LiveLimits limits, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
{ }

LiveService::~LiveService()
{
    stop();
    m_backend.reset();
}

QString LiveService::loadBackend()
{
    if (m_backend)
        return {};
    const auto make = reinterpret_cast<MakeLiveBackend>(liveModule().resolve(kMakeLiveBackend));
    if (!make) {
        return QStringLiteral("Die Live-Ergebnisse sind nicht installiert (%1 fehlt oder ist beschädigt).")
            .arg(liveModule().path());
    }
    LiveBackend::Setup setup;
    setup.limits = m_limits;
    setup.viewersChanged = [this](int viewers) {
        m_viewers = m_running ? viewers : 0;
        emit stateChanged();
    };
    m_backend.reset(make(&setup));
    m_backend->publish(m_state);
    return {};
}

QString LiveService::start(int port, LiveScope scope)
{
    stop();
    // 0, any free port, is for tests; the dialog offers 1024 and up.
    if (port < 0 || port > 65535)
        return QStringLiteral("Port %1 gibt es nicht: bitte eine Zahl von 1024 bis 65535 wählen.").arg(port);
    QString error = loadBackend();
    if (error.isEmpty())
        error = m_backend->listen(scope == LiveScope::LocalNetwork, port);
    m_port = error.isEmpty() ? m_backend->port() : port;
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
    m_backend->close();
    m_running = false;
    m_viewers = 0;
    emit stateChanged();
}

QStringList LiveService::hosts() const
{
    if (m_scope == LiveScope::ThisComputer || !m_backend)
        return { QStringLiteral("127.0.0.1") };
    return m_backend->networkHosts();
}

QImage LiveService::qrCode(const QString &text, int moduleSize) const
{
    return m_backend ? m_backend->qrCode(text, moduleSize) : QImage();
}

LiveServer *LiveService::server() const
{
    return m_backend ? m_backend->server() : nullptr;
}

void LiveService::publish(const LiveState &state)
{
    m_state = state;
    if (m_backend)
        m_backend->publish(state);
}
