#pragma once

#include "live/livebackend.h"
#include "live/livestate.h"

#include <QObject>

#include <memory>

// Where the server listens: "nur dieser Computer" or "im lokalen Netz".
enum class LiveScope
{
    ThisComputer = 0, // 127.0.0.1
    LocalNetwork = 1, // every interface
};

// The live results' server, started and stopped from the user-interface thread. It lives in
// the live module (LiveBackend), loaded at the first start; until then the latest state waits
// here, and the server gets it before it listens. The state goes to it as a copy; it reports
// the number of viewers back.
class LiveService : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultPort = 8080;

    explicit LiveService(LiveLimits limits = {}, QObject *parent = nullptr);
    ~LiveService() override;

    // Empty when the server listens, else the German message why not (a missing live module
    // among the reasons: the program runs on without live results).
    QString start(int port, LiveScope scope);
    void stop();
    bool isRunning() const { return m_running; }
    int port() const { return m_port; }
    LiveScope scope() const { return m_scope; }
    int viewers() const { return m_viewers; }

    // The addresses under which browsers reach the server: 127.0.0.1 for this computer, the
    // computer's own network addresses in the local network.
    QStringList hosts() const;
    // The QR code of a page's address (LiveBackend::qrCode); a null image while the live
    // module is not loaded.
    QImage qrCode(const QString &text, int moduleSize) const;

    // The server, for tests that ask it on its own thread; nullptr before the first start.
    LiveServer *server() const;

public slots:
    void publish(const LiveState &state);

signals:
    void stateChanged(); // started, stopped, viewers

private:
    QString loadBackend();

    LiveLimits m_limits;
    LiveState m_state; // the latest, for a server started later
    std::unique_ptr<LiveBackend> m_backend;
    bool m_running = false;
    int m_port = kDefaultPort;
    LiveScope m_scope = LiveScope::ThisComputer;
    int m_viewers = 0;
};
