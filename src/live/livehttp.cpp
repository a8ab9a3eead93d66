#include "live/livehttp.h"

#include <optional>

namespace LiveHttp {

namespace {

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace

QByteArray RequestHead::field(QByteArrayView name) const
{
    for (const auto &[key, value] : fields) {
        if (key == name)
            return value;
    }
    return {};
}

qsizetype headEnd(QByteArrayView received)
{
    const qsizetype crlf = received.indexOf("\r\n\r\n");
    const qsizetype lf = received.indexOf("\n\n");
    if (crlf < 0 && lf < 0)
        return -1;
    if (lf < 0 || (crlf >= 0 && crlf < lf))
        return crlf + 4;
    return lf + 2;
}

std::optional<RequestHead> parseHead(QByteArrayView head)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < head.size()) {
        qsizetype end = head.indexOf('\n', start);
        if (end < 0)
            end = head.size();
        QByteArrayView line = head.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return std::nullopt;

    const QList<QByteArray> parts = lines.first().toByteArray().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/')
        || (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0"))
        return std::nullopt;
    RequestHead request;
    request.method = parts[0];
    const qsizetype query = parts[1].indexOf('?');
    request.path = query < 0 ? parts[1] : parts[1].left(query);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        const qsizetype colon = line.indexOf(':');
        // Folded lines and fields without a name are long obsolete.
        if (colon <= 0 || !isToken(line.first(colon)))
            return std::nullopt;
        request.fields.append(
            { line.first(colon).toByteArray().toLower(), line.sliced(colon + 1).trimmed().toByteArray() });
    }
    return request;
}

Decision decide(const std::optional<RequestHead> &head)
{
    if (!head)
        return { 400 };
    if (head->method != "GET")
        return { 405 };
    const QByteArray length = head->field("content-length");
    if ((!length.isEmpty() && length != "0") || !head->field("transfer-encoding").isEmpty())
        return { 413 };
    static const QList<QPair<QByteArray, Route>> kRoutes
        = { { "/", Route::Page }, { "/overlay", Route::Overlay }, { "/api/state", Route::State },
              { "/ws", Route::WebSocket }, { "/live.js", Route::Script }, { "/live.css", Route::Style } };
    for (const auto &[path, route] : kRoutes) {
        if (head->path != path)
            continue;
        if (route == Route::WebSocket && head->field("upgrade").toLower() != "websocket")
            return { 426, route };
        return { 200, route };
    }
    return { 404 };
}

QByteArray response(int status, QByteArrayView contentType, const QByteArray &body)
{
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    if (!contentType.isEmpty())
        answer += "Content-Type: " + contentType.toByteArray() + "\r\n";
    answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (status == 405)
        answer += "Allow: GET\r\n";
    if (status == 426)
        answer += "Upgrade: websocket\r\n";
    answer
        += "Cache-Control: no-store\r\n"
           "X-Content-Type-Options: nosniff\r\n"
           "Referrer-Policy: no-referrer\r\n"
           "Content-Security-Policy: default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; "
           "frame-ancestors *\r\n"
           "Connection: close\r\n\r\n";
    answer += body;
    return answer;
}

QByteArray errorResponse(int status)
{
    QByteArray text;
    switch (status) {
    case 404:
        text = "Diese Seite gibt es nicht.";
        break;
    case 405:
        text = "Hier kann nur gelesen werden.";
        break;
    case 413:
        text = "Anfragen mit Inhalt werden nicht angenommen.";
        break;
    case 426:
        text = "Diese Adresse ist nur für WebSocket-Verbindungen.";
        break;
    case 431:
        text = "Die Anfrage ist zu lang.";
        break;
    case 503:
        text = "Zu viele Verbindungen. Bitte später neu laden.";
        break;
    default:
        text = "Die Anfrage ist ungültig.";
        break;
    }
    return response(status, "text/plain; charset=utf-8", text + '\n');
}

} // namespace LiveHttp
