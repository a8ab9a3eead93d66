#include "live/liveserver.h"

#include "live/livehttp.h"

#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>
#include <array>

#include <sys/socket.h>
#include <unistd.h>

// The pages are resources of a static library: linked only when named. Outside any namespace,
// where the initialiser is declared.
static void initLiveResource()
{
    Q_INIT_RESOURCE(live);
}

namespace {

QByteArray resource(const char *name)
{
    initLiveResource();
    QFile file(QStringLiteral(":/live/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("live page %s is not built in", name);
    return file.readAll();
}

// Accepts through a callback, so that a connection over the limit is refused before any
// object is made for it.
class Listener : public QTcpServer
{
public:
    explicit Listener(std::function<void(qintptr)> accept, QObject *parent)
        : QTcpServer(parent)
        , m_accept(std::move(accept))
    { }

protected:
    void incomingConnection(qintptr descriptor) override { m_accept(descriptor); }

private:
    std::function<void(qintptr)> m_accept;
};

// Counts a connection for as long as its socket lives. A child of the socket rather than a
// connection to its destroyed(): the WebSocket disconnects everything from the socket it
// takes over.
class ConnectionCount : public QObject
{
public:
    ConnectionCount(QTcpSocket *socket, int &count)
        : QObject(socket)
        , m_count(count)
    {
        ++m_count;
    }
    ~ConnectionCount() override { --m_count; }

private:
    int &m_count;
};

} // namespace

// One HTTP connection until its answer is taken or it is handed to the WebSocket server. The
// head is only peeked at, so that the WebSocket server reads the upgrade request itself.
class HttpConnection : public QObject
{
public:
    HttpConnection(QTcpSocket *socket, LiveServer &server)
        : QObject(socket)
        , m_socket(socket)
        , m_server(server)
    {
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] { timedOut(); });
        m_deadline.start(m_server.m_limits.requestTimeoutMs);
        m_links = { connect(socket, &QTcpSocket::readyRead, this, [this] { received(); }),
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater),
            connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater) };
    }

    void finish(const QByteArray &answer)
    {
        m_answered = true;
        m_socket->write(answer);
        discardInput();
        // Closes once written; a browser that does not take the answer is cut off.
        m_socket->disconnectFromHost();
        m_deadline.start(m_server.m_limits.answerTimeoutMs);
    }

    void handOver()
    {
        m_deadline.stop();
        for (const QMetaObject::Connection &link : m_links)
            disconnect(link);
        setParent(nullptr);
        deleteLater();
    }

private:
    void received()
    {
        if (m_answered) {
            discardInput();
            return;
        }
        const qsizetype limit = m_server.m_limits.maxHeadBytes;
        const QByteArray seen = m_socket->peek(limit + 1);
        // A client sending a byte at a time must not make each byte a search of all before it.
        const qsizetype from = std::clamp<qsizetype>(m_searched - 3, 0, seen.size());
        qsizetype end = LiveHttp::headEnd(QByteArrayView(seen).sliced(from));
        if (end >= 0)
            end += from;
        m_searched = seen.size();
        if (end < 0 || end > limit) {
            if (seen.size() > limit)
                finish(LiveHttp::errorResponse(431));
            return;
        }
        m_server.answer(this, seen.left(end));
    }

    void discardInput()
    {
        // Unread input would make the close a reset, and the browser might lose the answer.
        char sink[4096];
        while (m_socket->bytesAvailable() > 0 && m_socket->read(sink, sizeof sink) > 0) { }
    }

    void timedOut()
    {
        if (m_answered || m_socket->state() != QAbstractSocket::ConnectedState) {
            m_socket->abort();
            m_socket->deleteLater();
            return;
        }
        finish(LiveHttp::errorResponse(408));
    }

    friend class LiveServer;
    QTcpSocket *m_socket;
    LiveServer &m_server;
    QTimer m_deadline;
    std::array<QMetaObject::Connection, 3> m_links;
    qsizetype m_searched = 0;
    bool m_answered = false;
};

LiveServer::LiveServer(LiveLimits limits, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
    , m_listener(new Listener([this](qintptr descriptor) { accept(descriptor); }, this))
    , m_upgrader(new QWebSocketServer(QStringLiteral("Scorelane"), QWebSocketServer::NonSecureMode, this))
    , m_pingTimer(new QTimer(this))
    , m_page(resource("index.html"))
    , m_overlay(resource("overlay.html"))
    , m_script(resource("live.js"))
    , m_style(resource("live.css"))
{
    qRegisterMetaType<LiveState>();
    m_listener->setListenBacklogSize(1024);
    m_upgrader->setMaxPendingConnections(m_limits.maxConnections);
    m_upgrader->setHandshakeTimeout(m_limits.requestTimeoutMs);
    connect(m_upgrader, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket *socket = m_upgrader->nextPendingConnection())
            upgrade(socket);
    });
    connect(m_pingTimer, &QTimer::timeout, this, &LiveServer::ping);
}

LiveServer::~LiveServer()
{
    close();
}

QString LiveServer::listen(const QHostAddress &address, quint16 port)
{
    close();
    if (m_listener->listen(address, port)) {
        m_pingTimer->start(m_limits.pingIntervalMs);
        return {};
    }
    const QString number = QString::number(port);
    switch (m_listener->serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("Port %1 ist schon belegt: ein anderes Programm benutzt ihn. Bitte einen "
                              "anderen Port wählen, zum Beispiel %2.")
            .arg(number, QString::number(port == 65535 ? 8081 : port + 1));
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("Port %1 darf dieses Programm nicht benutzen (Ports unter 1024 sind dem "
                              "System vorbehalten). Bitte einen Port ab 1024 wählen.")
            .arg(number);
    default:
        return QStringLiteral("Der Server konnte auf Port %1 nicht starten: %2")
            .arg(number, m_listener->errorString());
    }
}

void LiveServer::close()
{
    m_pingTimer->stop();
    m_listener->close();
    const auto clients = m_clients;
    for (const Client &client : clients) {
        drop(client.socket);
        delete client.socket;
    }
    // Connections still in their HTTP exchange or handshake go too.
    const auto sockets = findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        socket->abort();
        delete socket;
    }
}

bool LiveServer::isListening() const
{
    return m_listener->isListening();
}

quint16 LiveServer::port() const
{
    return m_listener->serverPort();
}

void LiveServer::accept(qintptr descriptor)
{
    if (m_connections >= m_limits.maxConnections) {
        const QByteArray refusal = LiveHttp::errorResponse(503);
        // Best effort, never waiting: the refused browser may read why.
        (void)::send(
            int(descriptor), refusal.constData(), size_t(refusal.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        ::close(int(descriptor));
        return;
    }
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    new ConnectionCount(socket, m_connections);
    new HttpConnection(socket, *this);
}

void LiveServer::answer(HttpConnection *connection, const QByteArray &head)
{
    using LiveHttp::Route;
    const LiveHttp::Decision decision = LiveHttp::decide(LiveHttp::parseHead(head));
    if (decision.status != 200) {
        connection->finish(LiveHttp::errorResponse(decision.status));
        return;
    }
    switch (decision.route) {
    case Route::Page:
        connection->finish(LiveHttp::response(200, "text/html; charset=utf-8", m_page));
        return;
    case Route::Overlay:
        connection->finish(LiveHttp::response(200, "text/html; charset=utf-8", m_overlay));
        return;
    case Route::Script:
        connection->finish(LiveHttp::response(200, "text/javascript; charset=utf-8", m_script));
        return;
    case Route::Style:
        connection->finish(LiveHttp::response(200, "text/css; charset=utf-8", m_style));
        return;
    case Route::State:
        if (m_stateJson.isEmpty())
            m_stateJson = stateJson(m_state);
        connection->finish(LiveHttp::response(200, "application/json; charset=utf-8", m_stateJson));
        return;
    case Route::WebSocket: {
        QTcpSocket *socket = connection->m_socket;
        connection->handOver();
        // The WebSocket server reads the request head itself and answers it. The socket stays
        // this server's child, so that it is counted and freed however the WebSocket ends.
        m_upgrader->handleConnection(socket);
        return;
    }
    }
}

void LiveServer::upgrade(QWebSocket *socket)
{
    socket->setParent(this);
    // Pages say nothing; what they send anyway is read and dropped, in small pieces.
    socket->setMaxAllowedIncomingFrameSize(1024);
    socket->setMaxAllowedIncomingMessageSize(1024);
    Client client;
    client.socket = socket;
    for (QTcpSocket *tcp : findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly)) {
        if (tcp->peerPort() == socket->peerPort() && tcp->peerAddress() == socket->peerAddress()
            && tcp->localPort() == socket->localPort())
            client.tcp = tcp;
    }
    client.lastPong.start();
    m_clients.push_back(client);
    connect(socket, &QWebSocket::pong, this, [this, socket] {
        for (Client &c : m_clients) {
            if (c.socket == socket)
                c.lastPong.restart();
        }
    });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); });
    emit viewersChanged(viewers());
    send(socket, snapshot());
}

void LiveServer::drop(QWebSocket *socket)
{
    const auto found = std::find_if(
        m_clients.begin(), m_clients.end(), [socket](const Client &c) { return c.socket == socket; });
    if (found == m_clients.end())
        return;
    const QPointer<QTcpSocket> tcp = found->tcp;
    m_clients.erase(found);
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
    // After the WebSocket, which may still use it while it goes.
    if (tcp)
        tcp->deleteLater();
    emit viewersChanged(viewers());
}

void LiveServer::send(QWebSocket *socket, const QByteArray &message)
{
    // A page that does not read its updates is let go rather than buffered for. What is still
    // unsent counts, not the new message: a snapshot of a large table may be larger than the limit.
    if (socket->bytesToWrite() > m_limits.maxUnsentBytes) {
        drop(socket);
        return;
    }
    socket->sendBinaryMessage(message);
}

void LiveServer::ping()
{
    // Sockets whose handshake failed and that nobody freed.
    for (QTcpSocket *tcp : findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly)) {
        const bool ofClient = std::any_of(
            m_clients.begin(), m_clients.end(), [tcp](const Client &c) { return c.tcp == tcp; });
        if (!ofClient && tcp->state() == QAbstractSocket::UnconnectedState)
            tcp->deleteLater();
    }
    const auto clients = m_clients;
    for (const Client &client : clients) {
        if (client.lastPong.elapsed() > m_limits.pongTimeoutMs)
            drop(client.socket);
        else
            client.socket->ping();
    }
}

const QByteArray &LiveServer::snapshot()
{
    if (m_snapshot.isEmpty())
        m_snapshot = snapshotMessage(m_state);
    return m_snapshot;
}

void LiveServer::publish(const LiveState &state)
{
    if (state == m_state)
        return;
    const QByteArray update = m_clients.empty() ? QByteArray() : updateMessage(m_state, state);
    m_state = state;
    m_snapshot.clear();
    m_stateJson.clear();
    if (update.isEmpty())
        return;
    const auto clients = m_clients;
    for (const Client &client : clients)
        send(client.socket, update);
}
