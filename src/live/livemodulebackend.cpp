// The live module's side of LiveBackend: the server on its thread, the network addresses and
// the QR codes. Nothing else of the program is in the module.
#include "live/livebackend.h"
#include "live/liveqrcode.h"
#include "live/liveserver.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QThread>

namespace {

class ModuleBackend final : public LiveBackend
{
public:
    explicit ModuleBackend(Setup setup)
        : m_server(new LiveServer(setup.limits))
    {
        m_thread.setObjectName(QStringLiteral("live server"));
        m_server->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
        // Reported on the user-interface thread, through the receiver living there.
        QObject::connect(m_server, &LiveServer::viewersChanged, &m_receiver,
            [report = std::move(setup.viewersChanged)](int viewers) {
                if (report)
                    report(viewers);
            });
        m_thread.start();
    }

    ~ModuleBackend() override
    {
        m_thread.quit();
        m_thread.wait();
    }

    QString listen(bool localNetwork, int port) override
    {
        const QHostAddress address(localNetwork ? QHostAddress::Any : QHostAddress::LocalHost);
        QString error;
        QMetaObject::invokeMethod(
            m_server,
            [&] {
                error = m_server->listen(address, quint16(port));
                m_port = error.isEmpty() ? int(m_server->port()) : port;
            },
            Qt::BlockingQueuedConnection);
        return error;
    }

    void close() override
    {
        QMetaObject::invokeMethod(
            m_server, [this] { m_server->close(); }, Qt::BlockingQueuedConnection);
    }

    int port() const override { return m_port; }

    void publish(const LiveState &state) override
    {
        // Queued in order behind the changes before it.
        QMetaObject::invokeMethod(m_server, [server = m_server, state] { server->publish(state); });
    }

    QStringList networkHosts() const override
    {
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

    QImage qrCode(const QString &text, int moduleSize) const override { return liveQrCode(text, moduleSize); }

    LiveServer *server() const override { return m_server; }

private:
    QThread m_thread;
    QObject m_receiver;
    LiveServer *m_server;
    int m_port = 0;
};

} // namespace

extern "C" Q_DECL_EXPORT LiveBackend *scorelaneMakeLiveBackend(LiveBackend::Setup *setup)
{
    return new ModuleBackend(std::move(*setup));
}
