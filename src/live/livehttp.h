#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

// The little of HTTP/1.1 the live server speaks: it reads a request head (request line and
// header fields), answers GET on its fixed routes and upgrades /ws to a WebSocket. A request
// is never given a body; every answer closes the connection.
namespace LiveHttp {

struct RequestHead
{
    QByteArray method;
    QByteArray path; // without the query
    QList<QPair<QByteArray, QByteArray>> fields; // names in lower case, values trimmed
    QByteArray field(QByteArrayView name) const;
};

// Where the head ends: the index just after the empty line, or -1 while it is incomplete.
qsizetype headEnd(QByteArrayView received);

// The request line and fields of a complete head; nothing when it is not a valid
// HTTP/1.0 or 1.1 request head.
std::optional<RequestHead> parseHead(QByteArrayView head);

enum class Route
{
    Page, // "/"
    Overlay, // "/overlay"
    State, // "/api/state"
    WebSocket, // "/ws"
    Script, // "/live.js"
    Style, // "/live.css"
};

struct Decision
{
    int status = 200; // 200: serve the route (101 for the WebSocket is the upgrade's own)
    Route route = Route::Page;
};

// What a request gets: 400 malformed, 405 not GET, 413 a body announced, 404 no route,
// 426 /ws without the upgrade, 200 otherwise.
Decision decide(const std::optional<RequestHead> &head);

// A whole answer with a Connection: close; the body is left out for no content.
QByteArray response(int status, QByteArrayView contentType, const QByteArray &body);
// A short German text answer for an error status.
QByteArray errorResponse(int status);

} // namespace LiveHttp
