#pragma once

#include "live/liveserver.h"

#include <QObject>
#include <QThread>

// Where the server listens: "nur dieser Computer" or "im lokalen Netz".
enum class LiveScope
{
    ThisComputer = 0, // 127.0.0.1
    LocalNetwork = 1, // every interface
};

// The live results' server on a thread of its own, started and stopped from the user-interface
// thread. The feed's state goes to it as a copy; it reports the number of viewers back.
class LiveService : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultPort = 8080;

    explicit LiveService(LiveLimits limits = {}, QObject *parent = nullptr);
    ~LiveService() override;

    // Empty when the server listens, else the German message why not.
    QString start(int port, LiveScope scope);
    void stop();
    bool isRunning() const { return m_running; }
    int port() const { return m_port; }
    LiveScope scope() const { return m_scope; }
    int viewers() const { return m_viewers; }

    // The addresses under which browsers reach the server: 127.0.0.1 for this computer, the
    // computer's own network addresses in the local network.
    QStringList hosts() const;

    // The server, for tests that ask it on its own thread.
    LiveServer *server() const { return m_server; }

public slots:
    void publish(const LiveState &state);

signals:
    void stateChanged(); // started, stopped, viewers
    void published(const LiveState &state);

private:
    QThread m_thread;
    LiveServer *m_server = nullptr;
    bool m_running = false;
    int m_port = kDefaultPort;
    LiveScope m_scope = LiveScope::ThisComputer;
    int m_viewers = 0;
};
