#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

class LiveServer;
struct LiveState;

// What a browser may cost the program at most.
struct LiveLimits
{
    int maxHeadBytes = 8 * 1024; // request line and header fields
    int maxConnections = 512; // HTTP and WebSocket together; further ones are refused
    int requestTimeoutMs = 10'000; // from the connection to the end of the request head
    int answerTimeoutMs = 30'000; // for the browser to take an answer
    qint64 maxUnsentBytes = 2 * 1024 * 1024; // unsent to a WebSocket client before the next update
    int pingIntervalMs = 20'000;
    int pongTimeoutMs = 65'000; // a page that answers no ping for this long is gone
};

// The live results' server as the program sees it. The server, with Qt Network, Qt WebSockets
// and the QR codes, lives in the live module, a library that LiveService loads when the
// operator first switches the live results on (or the settings do at start), so that the
// program starts without it. Made and used on the user-interface thread; the server runs on
// a thread of its own behind it.
class LiveBackend
{
public:
    struct Setup
    {
        LiveLimits limits;
        // The number of pages connected, on the user-interface thread.
        std::function<void(int viewers)> viewersChanged;
    };

    virtual ~LiveBackend() = default;

    // Empty when the server listens, else the German message why not; port 0 takes any free
    // port. Returns once the server has answered.
    virtual QString listen(bool localNetwork, int port) = 0;
    virtual void close() = 0;
    // The port listened on.
    virtual int port() const = 0;
    // The state for the pages, as a copy to the server's thread.
    virtual void publish(const LiveState &state) = 0;
    // The computer's own IPv4 addresses in the local network, loopback last.
    virtual QStringList networkHosts() const = 0;
    // The QR code of a text (a page's address) as black modules on white, with the quiet zone
    // of four modules around it, `moduleSize` pixels per module; a null image when the text
    // does not fit into a QR code.
    virtual QImage qrCode(const QString &text, int moduleSize) const = 0;
    // The server, for tests that ask it on its own thread.
    virtual LiveServer *server() const = 0;
};

// The live module's one entry point, looked up by name once the module is loaded.
using MakeLiveBackend = LiveBackend *(*)(LiveBackend::Setup *setup);
inline constexpr char kMakeLiveBackend[] = "scorelaneMakeLiveBackend";
