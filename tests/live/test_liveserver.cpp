// The live server under attack on loopback: malformed, over-long and random requests, more
// connections than it takes, a slow-loris client, a WebSocket client that never reads. After
// each the server still answers, and at the end the program's window takes keys at once and
// the memory is back near where it started.
#include "live/liveserver.h"
#include "live/liveservice.h"

#include "app/mainwindow.h"
#include "display/label3d.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#define LIVE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LIVE_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

#ifdef LIVE_ADDRESS_SANITIZER
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

int openConnection(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void sendAll(int fd, QByteArrayView data)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

// What the server sends until it closes, or until the time is up.
QByteArray readUntilClosed(int fd, int timeoutMs, bool *closed = nullptr)
{
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    if (closed)
        *closed = false;
    while (clock.elapsed() < timeoutMs) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, int(timeoutMs - clock.elapsed())) <= 0)
            break;
        char buffer[65536];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            break;
        }
        received.append(buffer, n);
    }
    return received;
}

QByteArray exchange(quint16 port, QByteArrayView request)
{
    const int fd = openConnection(port);
    if (fd < 0)
        return {};
    sendAll(fd, request);
    const QByteArray answer = readUntilClosed(fd, 5000);
    ::close(fd);
    return answer;
}

QByteArray statusLine(const QByteArray &answer)
{
    return answer.left(answer.indexOf("\r\n"));
}

QByteArray body(const QByteArray &answer)
{
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

long residentKiB()
{
    malloc_trim(0);
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

LiveState bigState(int rows, int variant)
{
    LiveState state;
    state.competition = QStringLiteral("Latein");
    for (int i = 1; i <= rows; ++i) {
        state.rows.append(
            LiveRow { QString::number(i), QStringLiteral("Paar %1 mit einem längeren Namen").arg(i),
                QStringLiteral("Tanzsportclub %1").arg(i % 37), { "9", "8", "7", "8", "9" },
                QString::number(1000 - i + variant), QString::number(i) });
    }
    return state;
}

class LiveServerTest : public ::testing::Test
{
protected:
    static LiveLimits testLimits()
    {
        LiveLimits limits;
        limits.requestTimeoutMs = 400;
        limits.answerTimeoutMs = 1000;
        limits.maxUnsentBytes = 256 * 1024;
        return limits;
    }

    void SetUp() override
    {
        // 1,000 clients and up to 512 server sockets in one process.
        rlimit files {};
        getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, 8192);
        setrlimit(RLIMIT_NOFILE, &files);
        ASSERT_TRUE(service.start(0, LiveScope::ThisComputer).isEmpty());
        port = quint16(service.port());
    }

    int serverConnections()
    {
        int count = 0;
        QMetaObject::invokeMethod(
            service.server(), [&] { count = service.server()->connections(); }, Qt::BlockingQueuedConnection);
        return count;
    }

    bool answersPage()
    {
        return statusLine(exchange(port, "GET / HTTP/1.1\r\nHost: x\r\n\r\n")) == "HTTP/1.1 200 OK";
    }

    // After an attack, once the server has seen its connections go (at once in a release
    // build; a sanitizer build takes longer).
    bool answersPageAgain()
    {
        return QTest::qWaitFor([this] { return answersPage(); }, 10000);
    }

    LiveService service { testLimits() };
    quint16 port = 0;
};

TEST_F(LiveServerTest, AnswersGetOnItsRoutesAndNothingElse)
{
    const QByteArray longHead = "GET / HTTP/1.1\r\nX-Long: " + QByteArray(9000, 'a') + "\r\n\r\n";
    const QByteArray randomBytes = [] {
        std::mt19937 random(11);
        QByteArray bytes;
        for (int i = 0; i < 600; ++i)
            bytes.append(char(random()));
        return bytes + "\r\n\r\n";
    }();
    const struct
    {
        QByteArray request;
        QByteArray status;
    } cases[] = {
        { "GET / HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK" },
        { "GET /overlay HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK" },
        { "GET /api/state?x=1 HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK" },
        { "GET /live.js HTTP/1.1\n\n", "HTTP/1.1 200 OK" },
        { "POST /api/state HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", "HTTP/1.1 405 Method Not Allowed" },
        { "PUT / HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed" },
        { "DELETE /api/state HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed" },
        { "HEAD / HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed" },
        { "GET /etc/passwd HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found" },
        { "GET /../../../etc/passwd HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found" },
        { "GET /live.js/../index.html HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found" },
        { "GET /ws HTTP/1.1\r\n\r\n", "HTTP/1.1 426 Upgrade Required" },
        { "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", "HTTP/1.1 413 Payload Too Large" },
        { "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", "HTTP/1.1 413 Payload Too Large" },
        { "GET / HTTP/2.0\r\n\r\n", "HTTP/1.1 400 Bad Request" },
        { "GET  / HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request" },
        { "GET / HTTP/1.1\r\nno colon here\r\n\r\n", "HTTP/1.1 400 Bad Request" },
        { longHead, "HTTP/1.1 431 Request Header Fields Too Large" },
        { QByteArray(20000, '\0'), "HTTP/1.1 431 Request Header Fields Too Large" },
        { randomBytes, "HTTP/1.1 400 Bad Request" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(statusLine(exchange(port, c.request)), c.status) << c.request.left(60).toStdString();
    EXPECT_TRUE(answersPage());
}

TEST_F(LiveServerTest, AnswersNameNoFileOrFolderOfTheComputer)
{
    LiveState state = bigState(3, 0);
    state.competition = QStringLiteral("Latein A");
    service.publish(state);
    QTest::qWait(50);
    const QByteArray json = body(exchange(port, "GET /api/state HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(QJsonDocument::fromJson(json).object()["competition"].toString(), "Latein A");
    const QStringList folders
        = { QDir::homePath(), QDir::currentPath(), QCoreApplication::applicationDirPath(), QDir::tempPath() };
    for (const char *path : { "/", "/overlay", "/api/state", "/live.js", "/live.css", "/nothing" }) {
        const QByteArray answer = exchange(port, QByteArray("GET ") + path + " HTTP/1.1\r\n\r\n");
        ASSERT_FALSE(answer.isEmpty()) << path;
        for (const QString &folder : folders) {
            if (folder.size() > 1) {
                EXPECT_FALSE(answer.contains(folder.toUtf8())) << path << " names " << folder.toStdString();
            }
        }
    }
}

TEST_F(LiveServerTest, PushesASnapshotThenOnlyTheChangesAndIgnoresWhatPagesSend)
{
    service.publish(bigState(3, 0));
    QWebSocket page;
    QList<QJsonObject> messages;
    QObject::connect(&page, &QWebSocket::binaryMessageReceived,
        [&](const QByteArray &m) { messages.append(QJsonDocument::fromJson(m).object()); });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 1; }, 5000));
    EXPECT_EQ(messages[0]["type"].toString(), "snapshot");
    EXPECT_EQ(messages[0]["state"].toObject()["rows"].toArray().size(), 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.viewers() == 1; }, 2000));

    page.sendTextMessage(QStringLiteral("hello"));
    page.sendBinaryMessage(QByteArray(5000, 'x')); // over the size a page may send: ignored all the same
    LiveState next = bigState(3, 0);
    next.couple = LiveCouple { "2", "Paar 2", "TSC", { "9", "8", "7" }, 3, 1, "8", "2" };
    service.publish(next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 2; }, 5000));
    EXPECT_EQ(messages[1]["type"].toString(), "update");
    EXPECT_EQ(messages[1]["couple"].toObject()["number"].toString(), "2");
    EXPECT_FALSE(messages[1].contains("rows"));
    service.publish(next); // nothing new: nothing sent
    QTest::qWait(100);
    EXPECT_EQ(messages.size(), 2);
    page.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.viewers() == 0; }, 2000));
}

TEST_F(LiveServerTest, ASnapshotLargerThanTheUnsentLimitStillReachesAReadingPage)
{
    service.publish(bigState(4000, 0)); // some 600 KB against a limit of 256 KiB
    QWebSocket page;
    QByteArray snapshot;
    QObject::connect(&page, &QWebSocket::binaryMessageReceived, [&](const QByteArray &m) { snapshot = m; });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !snapshot.isEmpty(); }, 10000));
    EXPECT_GT(snapshot.size(), testLimits().maxUnsentBytes);
    EXPECT_EQ(QJsonDocument::fromJson(snapshot).object()["state"].toObject()["rows"].toArray().size(), 4000);
    EXPECT_EQ(service.viewers(), 1);
}

TEST_F(LiveServerTest, SurvivesFloodsSlowClientsAndNonReadersAndGivesTheMemoryBack)
{
    // Warm up: the pages and a snapshot have been made once.
    service.publish(bigState(1000, 0));
    ASSERT_TRUE(answersPage());
    const long before = residentKiB();

    // 1,000 connections at once: at most 512 are kept, the others refused with 503.
    std::vector<int> flood;
    for (int i = 0; i < 1000; ++i) {
        const int fd = openConnection(port);
        if (fd >= 0)
            flood.push_back(fd);
    }
    QTest::qWait(300);
    EXPECT_LE(serverConnections(), 512);
    int refused = 0;
    for (int fd : flood) {
        char buffer[64];
        if (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0 && QByteArray(buffer, 12) == "HTTP/1.1 503")
            ++refused;
    }
    EXPECT_GE(refused, 1000 - 512 - int(1000 - flood.size()));
    // The idle ones are let go after the request time-out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return serverConnections() == 0; }, 5000));
    for (int fd : flood)
        ::close(fd);
    EXPECT_TRUE(answersPageAgain());

    // Slow loris: a byte of header every 100 ms is cut off at the request time-out.
    const int loris = openConnection(port);
    QElapsedTimer clock;
    clock.start();
    sendAll(loris, "GET / HTTP/1.1\r\n");
    bool closed = false;
    while (!closed && clock.elapsed() < 5000) {
        sendAll(loris, "X");
        readUntilClosed(loris, 100, &closed);
    }
    EXPECT_TRUE(closed);
    EXPECT_LT(clock.elapsed(), 2000);
    ::close(loris);
    EXPECT_TRUE(answersPageAgain());

    // Random bytes from many clients at once.
    std::mt19937 random(5);
    std::vector<int> noise;
    for (int i = 0; i < 100; ++i) {
        const int fd = openConnection(port);
        QByteArray bytes;
        const int length = int(random() % 12000);
        for (int k = 0; k < length; ++k)
            bytes.append(char(random()));
        sendAll(fd, bytes);
        noise.push_back(fd);
    }
    for (int fd : noise) {
        readUntilClosed(fd, 2000);
        ::close(fd);
    }
    EXPECT_TRUE(answersPageAgain());

    // A WebSocket page that never reads: dropped once its unsent updates pass the limit,
    // while a page that reads keeps getting them.
    const int deaf = openConnection(port);
    const int small = 4096;
    setsockopt(deaf, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sendAll(deaf,
        "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QWebSocket reader;
    int updates = 0;
    QObject::connect(&reader, &QWebSocket::binaryMessageReceived, [&](const QByteArray &) { ++updates; });
    reader.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.viewers() == 2; }, 5000));
    // Each update as fast as the reading page takes it; the other one's pile up.
    for (int variant = 1; variant <= 100 && service.viewers() == 2; ++variant) {
        service.publish(bigState(1000, variant));
        ASSERT_TRUE(QTest::qWaitFor([&] { return updates > variant; }, 5000)) << variant;
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.viewers() == 1; }, 5000));
    EXPECT_GT(updates, 5);
    ::close(deaf);
    reader.close();

    EXPECT_TRUE(QTest::qWaitFor([&] { return serverConnections() == 0; }, 5000));
    EXPECT_TRUE(answersPageAgain());

    const long after = residentKiB();
    // The address sanitizer keeps freed memory in quarantine: the resident size says nothing there.
    if (!kAddressSanitizer) {
        EXPECT_LT(after - before, 8 * 1024) << "resident KiB before " << before << ", after " << after;
    }
}

TEST_F(LiveServerTest, ThePortTakenIsSaidInGerman)
{
    LiveService second;
    const QString error = second.start(port, LiveScope::ThisComputer);
    EXPECT_TRUE(error.contains(QStringLiteral("Port %1 ist schon belegt").arg(port))) << error.toStdString();
    EXPECT_FALSE(second.isRunning());
    EXPECT_TRUE(answersPageAgain());
}

TEST_F(LiveServerTest, TheWindowTakesKeysAtOnceWhileTheServerIsAttacked)
{
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    TForm1 form { TForm1::Environment { dir.filePath(QStringLiteral("s.ini")), &monitors } };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TSortGrid *grid = form.SortGrid1;
    grid->setRowCount(2);
    for (int c = 0; c < 8; ++c)
        grid->setCells(c, 1, QStringList { "5", "Anna", "TSC", "9", "9", "9", "9", "9" }[c]);

    // Flood and loris from the main thread would block it: they come from a thread.
    std::atomic<bool> stop = false;
    std::thread attacker([&] {
        std::vector<int> fds;
        while (!stop) {
            const int fd = openConnection(port);
            if (fd >= 0) {
                sendAll(fd, "GET / HTTP/1.1\r\nX: ");
                fds.push_back(fd);
            }
            if (fds.size() > 900) {
                for (int f : fds)
                    ::close(f);
                fds.clear();
            }
        }
        for (int f : fds)
            ::close(f);
    });
    qint64 slowest = 0;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer clock;
        clock.start();
        grid->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
        QApplication::processEvents();
        slowest = std::max(slowest, clock.elapsed());
        QTest::qWait(20);
    }
    stop = true;
    attacker.join();
    EXPECT_EQ(form.scoreboard().LabNum()->Caption(), "5");
    EXPECT_LT(slowest, 250);
    EXPECT_TRUE(answersPageAgain());
}

} // namespace
