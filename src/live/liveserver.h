#pragma once

#include "live/livebackend.h"
#include "live/livestate.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <vector>

class QTcpServer;
class QTimer;
class QWebSocket;
class QWebSocketServer;

// The live results' web server: the pages, the state as JSON and a WebSocket that pushes a
// snapshot and then the changes. It only reads; it lives on a thread of its own (behind the
// live module's LiveBackend) and gets the state as a copy.
class LiveServer : public QObject
{
    Q_OBJECT
public:
    explicit LiveServer(LiveLimits limits = {}, QObject *parent = nullptr);
    ~LiveServer() override;

    // Empty when listening, else a German message for the operator.
    QString listen(const QHostAddress &address, quint16 port);
    void close();
    bool isListening() const;
    quint16 port() const;

    int viewers() const { return int(m_clients.size()); }
    int connections() const { return m_connections; }

public slots:
    void publish(const LiveState &state);

signals:
    void viewersChanged(int viewers);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        QPointer<QTcpSocket> tcp; // its connection, unless the WebSocket took it over
        QElapsedTimer lastPong;
    };

    void accept(qintptr descriptor);
    void answer(class HttpConnection *connection, const QByteArray &head);
    void upgrade(QWebSocket *socket);
    void drop(QWebSocket *socket);
    void send(QWebSocket *socket, const QByteArray &message);
    void ping();
    const QByteArray &snapshot();
    friend class HttpConnection;

    LiveLimits m_limits;
    QTcpServer *m_listener = nullptr;
    QWebSocketServer *m_upgrader = nullptr;
    QTimer *m_pingTimer = nullptr;
    std::vector<Client> m_clients;
    int m_connections = 0;
    LiveState m_state;
    QByteArray m_snapshot; // empty: to be made from m_state
    QByteArray m_stateJson;
    QByteArray m_page;
    QByteArray m_overlay;
    QByteArray m_script;
    QByteArray m_style;
};
