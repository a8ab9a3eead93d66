#include "exchange/xlsreaderprocess.h"

#include "exchange/xlscheck.h"
#include "exchange/xlsreply.h"
#include "grid/sharedtexts.h"
#include "platform/commanderror.h"
#include "platform/sidethread.h"
#include "scoring/marks.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>
#include <utility>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Workbook {
namespace {

constexpr char kProgramName[] = "scorelane-xlsreader";
// A real answer is a fraction of the file; one beyond this comes from a broken reader.
constexpr qsizetype kMaxReplyBytes = qsizetype(kMaxFileBytes);
constexpr int kMaxFailureText = 1000;

QString g_program;
std::chrono::milliseconds g_timeLimit { 10'000 };
bool g_sealedInput = true;

[[noreturn]] void throwBadReply()
{
    throwDamaged(QStringLiteral("der Leseprozess gab eine ungültige Antwort"));
}

// One escaped field as text; nullopt when it is longer than maxChars.
std::optional<QString> unescaped(QByteArrayView field, qsizetype maxChars)
{
    // Three UTF-8 bytes per character at most, each escaped in two.
    if (field.size() > 6 * maxChars)
        return std::nullopt;
    const bool plain = std::none_of(field.begin(), field.end(), [](char c) { return c == '\\' || c & 0x80; });
    if (plain) { // ASCII without escapes, as most texts of a protocol are
        if (const QString *shared = SharedTexts::find(field.data(), field.size()))
            return *shared;
        return field.size() > maxChars ? std::nullopt : std::optional(QString::fromLatin1(field));
    }
    QByteArray raw;
    QByteArrayView utf8 = field;
    if (field.contains('\\')) {
        raw.reserve(field.size());
        for (qsizetype i = 0; i < field.size(); ++i) {
            const qsizetype escape = field.indexOf('\\', i);
            if (escape < 0) {
                raw.append(field.sliced(i));
                break;
            }
            raw.append(field.sliced(i, escape - i));
            i = escape + 1;
            if (i == field.size())
                throwBadReply();
            switch (field[i]) {
            case '\\':
                raw += '\\';
                break;
            case 't':
                raw += '\t';
                break;
            case 'n':
                raw += '\n';
                break;
            case 'r':
                raw += '\r';
                break;
            default:
                throwBadReply();
            }
        }
        utf8 = raw;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(utf8);
    if (decoder.hasError())
        throwBadReply();
    if (text.size() > maxChars)
        return std::nullopt;
    return text;
}

// The text of a number field into text.
void setNumber(QString &text, QByteArrayView digits, const QLocale &locale)
{
    // Whole numbers, as start numbers, marks and places are, read as they stand; those
    // below a million are the shared texts that the placing writes too.
    const bool whole = !digits.isEmpty() && digits.size() <= 15 && (digits.size() == 1 || digits[0] != '0')
        && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (whole) {
        if (digits.size() > 6) {
            text = QString::fromLatin1(digits);
            return;
        }
        qint64 number = 0;
        for (const char c : digits)
            number = number * 10 + (c - '0');
        text = ::numberText(number);
        return;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.isEmpty())
        throwBadReply();
    text = numberText(value, locale);
}

// The cell of a field, written over what cell held; col and row (1-based) name it in
// messages.
void setCell(Cell &cell, QByteArrayView field, int col, int row, const QLocale &locale)
{
    cell.error = false;
    if (field.isEmpty()) {
        cell.text = QString();
        return;
    }
    const QByteArrayView rest = field.sliced(1);
    switch (field[0]) {
    case 'n':
        setNumber(cell.text, rest, locale);
        return;
    case 't': {
        std::optional<QString> text = unescaped(rest, kMaxCellText);
        if (!text)
            throwTooLong(col, row);
        cell.text = std::move(*text);
        return;
    }
    case 'd': {
        const std::optional<QString> text = unescaped(rest, 100);
        if (!text)
            throwBadReply();
        cell.text = dateTimeText(*text, locale);
        return;
    }
    case 'b':
        if (rest != "0" && rest != "1")
            throwBadReply();
        cell.text = rest == "1" ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
        return;
    case 'e':
        if (!rest.isEmpty())
            throwBadReply();
        cell.text = QString();
        cell.error = true;
        return;
    default:
        throwBadReply();
    }
}

// An owned file descriptor; -1 when none.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    { }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The descriptor moved above standard input, output and error (close-on-exec), so that
// handing it to the reader as one of those can never overwrite another; -1 stays -1.
// Only a program started without them gets such low numbers from the system.
int aboveStandard(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    ::close(fd);
    errno = error;
    return moved;
}

// A sealed file in memory that holds the bytes; -1 when the system has none.
int sealedCopy(const QByteArray &bytes)
{
    const int fd = aboveStandard(::memfd_create("workbook", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd < 0)
        return -1;
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            ::close(fd);
            return -1;
        }
        at += put;
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0
        || ::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The reader as a child process. posix_spawn starts it without copying the program's
// memory as a fork would; its standard input is a socket on which it gets the workbook
// (hand()), its standard output comes back through a pipe, its standard error is the
// program's own, and no other descriptor of the program reaches it. Whatever happens, the
// destructor leaves no process behind: one still running is killed and reaped.
class ReaderProcess
{
public:
    static constexpr qsizetype kPiece = qsizetype(64) << 10;
    static constexpr int kPipeBytes = 1 << 20;
    enum State
    {
        Running, // output came
        Ended, // the reader ended and its output is read: status() holds how
        TimedOut,
        Failed, // the system refused to wait (errno)
    };

    explicit ReaderProcess(QByteArray program)
        : m_program(std::move(program))
    { }
    ~ReaderProcess() { kill(); }
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;

    // Starts the reader; 0, or the error number of the failure. It waits for hand().
    int start()
    {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return errno;
        m_input.reset(aboveStandard(pair[0]));
        const Descriptor theirs(aboveStandard(pair[1]));
        if (!m_input.valid() || !theirs.valid())
            return EMFILE;
        return spawn(theirs.get());
    }

    // Hands the reader the sealed file input, and whether its bytes were checked and hold
    // no value that only the check finds, so that it need not check them again.
    void hand(int input, bool checked)
    {
        char flag = checked ? XlsReply::kInputChecked : XlsReply::kInputUnchecked;
        iovec part { &flag, 1 };
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] {};
        msghdr message {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr *descriptor = CMSG_FIRSTHDR(&message);
        descriptor->cmsg_level = SOL_SOCKET;
        descriptor->cmsg_type = SCM_RIGHTS;
        descriptor->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(descriptor), &input, sizeof(int));
        // A reader that is gone already shows that in its end.
        while (::sendmsg(m_input.get(), &message, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno == EINTR) { }
        m_input.reset();
    }

    // Hands the reader the bytes themselves, written to it while it reads them.
    void hand(const QByteArray &bytes)
    {
        m_pending = QByteArray(1, XlsReply::kInputUnchecked) + bytes;
        feed();
    }

    // Waits until output comes (appended to reply, which grows to at most about limit),
    // the reader ends or the deadline passes.
    State wait(QByteArray &reply, qsizetype limit, const QDeadlineTimer &deadline)
    {
        for (;;) {
            if (m_pid <= 0)
                return Ended;
            pollfd watched[3] {};
            nfds_t count = 0;
            const auto watch = [&](const Descriptor &fd, short events) {
                if (fd.valid())
                    watched[count++] = pollfd { fd.get(), events, 0 };
            };
            watch(m_output, POLLIN);
            watch(m_input, POLLOUT);
            watch(m_pidfd, POLLIN);
            qint64 timeout = std::max<qint64>(deadline.remainingTime(), 0);
            // Without a descriptor for the process, its end is looked for every millisecond.
            if (!m_pidfd.valid() && !m_output.valid())
                timeout = std::min<qint64>(timeout, 1);
            if (::poll(watched, count, int(std::min<qint64>(timeout, 60'000))) < 0) {
                if (errno == EINTR)
                    continue;
                return Failed;
            }
            if (m_input.valid())
                feed();
            // What came is read first, also when the reader has ended since: the caller
            // takes its rows while the reader's end still goes through the system.
            if (take(reply, limit))
                return deadline.hasExpired() ? TimedOut : Running;
            if (!m_pidfd.valid() || (watched[count - 1].revents & POLLIN)) {
                if (reaped()) {
                    // It wrote all it will: the rest of the answer is in the pipe.
                    take(reply, limit);
                    m_output.reset();
                    return Ended;
                }
            }
            if (deadline.hasExpired())
                return TimedOut;
        }
    }

    // The reader's wait status once wait() said Ended.
    int status() const { return m_status; }

    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) { }
        m_pid = 0;
    }

private:
    int spawn(int input)
    {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            return errno;
        m_output.reset(aboveStandard(pipe[0]));
        const Descriptor output(aboveStandard(pipe[1]));
        if (!m_output.valid() || !output.valid())
            return EMFILE;
        ::fcntl(m_output.get(), F_SETFL, O_NONBLOCK);
        // Room for a whole answer of a usual workbook: the reader writes on without waiting
        // for this side to take each piece. The system may give less.
        ::fcntl(m_output.get(), F_SETPIPE_SZ, kPipeBytes);

        posix_spawn_file_actions_t actions;
        if (const int error = posix_spawn_file_actions_init(&actions))
            return error;
        const auto freeActions = qScopeGuard([&actions] { posix_spawn_file_actions_destroy(&actions); });
        posix_spawnattr_t attributes;
        if (const int error = posix_spawnattr_init(&attributes))
            return error;
        const auto freeAttributes = qScopeGuard([&attributes] { posix_spawnattr_destroy(&attributes); });
        // No signal blocked, and a broken pipe ends the reader as it would any program.
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        int error = posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
        if (!error)
            error = posix_spawn_file_actions_adddup2(&actions, output.get(), STDOUT_FILENO);
        if (!error)
            error = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        if (!error)
            error = posix_spawnattr_setsigmask(&attributes, &none);
        if (!error)
            error = posix_spawnattr_setsigdefault(&attributes, &defaults);
        if (!error)
            error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        if (error)
            return error;
        char *const arguments[] = { m_program.data(), nullptr };
        pid_t pid = 0;
        error = ::posix_spawn(&pid, m_program.constData(), &actions, &attributes, arguments, environ);
        if (error)
            return error;
        m_pid = pid;
        // The reader starts on this thread's core, where this side wakes for every piece of
        // the answer and would hold it up each time: on another, both run at once.
        cpu_set_t others;
        cpu_set_t all;
        if (coresBesideThisOne(others, all))
            sched_setaffinity(pid, sizeof others, &others);
        // Tells when the reader ends; without it (an old kernel) its end is polled for.
        m_pidfd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
        return 0;
    }

    // Writes what the socket takes of the pending bytes, and closes it after the last.
    void feed()
    {
        while (m_written < m_pending.size()) {
            const ssize_t put = ::send(m_input.get(), m_pending.constData() + m_written,
                size_t(std::min(m_pending.size() - m_written, kPiece)), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (put <= 0)
                break; // the reader stopped reading: its answer says why
            m_written += put;
        }
        m_input.reset();
    }

    // Appends what the pipe holds, up to a little beyond limit; whether anything came.
    bool take(QByteArray &reply, qsizetype limit)
    {
        bool came = false;
        while (m_output.valid() && reply.size() <= limit) {
            const qsizetype at = reply.size();
            reply.resize(at + kPiece);
            const ssize_t got = ::read(m_output.get(), reply.data() + at, size_t(kPiece));
            reply.resize(at + std::max<qsizetype>(got, 0));
            if (got > 0) {
                came = true;
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            m_output.reset(); // the end of the answer
        }
        return came;
    }

    bool reaped()
    {
        int status = 0;
        pid_t got;
        while ((got = ::waitpid(m_pid, &status, WNOHANG)) < 0 && errno == EINTR) { }
        if (got == 0)
            return false;
        // Reaped by nobody else: a program that ignores SIGCHLD has no status to get, and
        // the answer alone then shows whether the reader finished.
        m_status = got == m_pid ? status : 0;
        m_pid = 0;
        return true;
    }

    QByteArray m_program;
    pid_t m_pid = 0;
    int m_status = 0;
    Descriptor m_output; // the reader's standard output
    Descriptor m_pidfd;
    Descriptor m_input; // the reader's standard input, until the workbook is handed over
    QByteArray m_pending;
    qsizetype m_written = 0;
};

// Reads the answer line by line as it grows, so that the rows are taken while the
// reader still writes them. A fault is kept and thrown by finish(), which knows whether
// the answer is complete.
class ReplyParser
{
public:
    explicit ReplyParser(const QLocale &locale)
        : m_locale(locale)
    { }

    void reserve(qint64 rows) { m_sheet.reserve(size_t(std::clamp<qint64>(rows, 0, 1 << 16))); }

    // Takes the complete lines of reply that came since the last call.
    void take(const QByteArray &reply)
    {
        if (m_error)
            return;
        try {
            takeLines(reply);
        } catch (...) {
            m_error = std::current_exception();
        }
    }

    // The rows of the whole answer; throws the reader's failure or any fault.
    SheetRows finish(const QByteArray &reply)
    {
        take(reply);
        if (m_error)
            std::rethrow_exception(m_error);
        if (m_at != reply.size())
            throwBadReply(); // cut off in a line
        if (m_failure)
            throw CommandError(*m_failure);
        if (!m_ended)
            throwBadReply();
        return std::move(m_sheet);
    }

private:
    void takeLines(const QByteArray &reply)
    {
        if (m_at == 0) {
            const QByteArrayView header(XlsReply::kHeader.data(), qsizetype(XlsReply::kHeader.size()));
            if (reply.size() < header.size())
                return;
            if (!reply.startsWith(header))
                throwBadReply();
            m_at = header.size();
        }
        for (;;) {
            const qsizetype end = reply.indexOf('\n', m_at);
            if (end < 0)
                return;
            takeLine(QByteArrayView(reply.constData() + m_at, end - m_at));
            m_at = end + 1;
        }
    }

    void takeLine(QByteArrayView line)
    {
        // Nothing may follow the end or a failure; "below" comes only right before the end.
        if (m_ended || m_failure)
            throwBadReply();
        if (line.size() >= 2 && line[0] == 'r' && line[1] == '\t') {
            if (m_below || m_sheet.done())
                throwBadReply();
            takeRow(line.sliced(2));
            return;
        }
        if (line.startsWith("end\t")) {
            bool ok = false;
            if (line.sliced(4).toLongLong(&ok) != m_rows || !ok)
                throwBadReply();
            m_ended = true;
            return;
        }
        if (m_below)
            throwBadReply();
        if (line.startsWith("fail\t")) {
            m_failure = unescaped(line.sliced(5), kMaxFailureText);
            if (!m_failure)
                throwBadReply();
            return;
        }
        if (line == "below") {
            m_sheet.setContentBelow();
            m_below = true;
            return;
        }
        throwBadReply();
    }

    // The cells of a row line after its "r" and tab.
    void takeRow(QByteArrayView fields)
    {
        // The row is made in place; the texts that the last one left are overwritten.
        const int row = int(m_rows) + 1;
        // Fields of a few bytes each: a plain loop finds their ends sooner than a search.
        const char *field = fields.data();
        const char *const end = field + fields.size();
        for (int col = 0; col < kColumns; ++col) {
            const char *tab = field;
            while (tab != end && *tab != '\t')
                ++tab;
            if ((tab == end) != (col == kColumns - 1))
                throwBadReply();
            setCell(m_row[size_t(col)], QByteArrayView(field, tab - field), col, row, m_locale);
            field = tab + (tab != end);
        }
        m_rows = row;
        m_sheet.add(row, std::move(m_row));
    }

    const QLocale &m_locale;
    SheetRows m_sheet;
    Row m_row;
    qsizetype m_at = 0;
    qint64 m_rows = 0;
    bool m_below = false;
    bool m_ended = false;
    std::optional<QString> m_failure;
    std::exception_ptr m_error;
};

} // namespace

namespace {

Xls::Checked checked(const QByteArray &bytes)
{
    try {
        return Xls::check(std::string_view(bytes.constData(), size_t(bytes.size())));
    } catch (const Xls::Damaged &e) {
        throwDamaged(QString::fromUtf8(e.what()));
    } catch (const Xls::NotAWorkbook &) {
        throwNotAWorkbook();
    }
}

} // namespace

void checkXls(const QByteArray &bytes)
{
    checked(bytes);
}

SheetRows parseXlsReply(const QByteArray &reply, const QLocale &locale)
{
    ReplyParser parser(locale);
    // The count at the end sizes the rows at once: no copying as they come.
    const qsizetype endLine = reply.lastIndexOf("\nend\t");
    if (endLine >= 0)
        parser.reserve(reply.sliced(endLine + 5).trimmed().toLongLong());
    return parser.finish(reply);
}

QString xlsReaderProgram()
{
    if (!g_program.isEmpty())
        return g_program;
    if (!QCoreApplication::instance())
        return QLatin1StringView(kProgramName);
    const QString programFolder = QCoreApplication::applicationDirPath() + u'/';
    const QString beside = programFolder + QLatin1StringView(kProgramName);
    if (QFileInfo(beside).isExecutable())
        return beside;
    // Installed, it lives in the library folder, found from the program's own place so that
    // a package works under any prefix.
    return QDir::cleanPath(programFolder + QStringLiteral(SCORELANE_LIBEXEC_DIR_FROM_PROGRAM) + u'/'
        + QLatin1StringView(kProgramName));
}

void setXlsReaderProgram(const QString &path)
{
    g_program = path;
}

void setXlsReaderTimeLimit(std::chrono::milliseconds limit)
{
    g_timeLimit = limit;
}

void setXlsSealedInput(bool sealed)
{
    g_sealedInput = sealed;
}

SheetRows readXlsRows(const QByteArray &bytes, const QLocale &locale)
{
    // The reader starts first: while it loads, the bytes are checked and sealed here. It
    // reads none of them before they are handed to it.
    const QString program = xlsReaderProgram();
    ReaderProcess reader(QFile::encodeName(program));
    if (const int error = reader.start()) {
        checked(bytes); // a damaged file says so first, as it does with a reader
        // An incomplete build or installation: say what is missing, not the system's text.
        if (!QFileInfo::exists(program))
            throw CommandError(QStringLiteral("Das Leseprogramm für .xls-Dateien fehlt: %1. Scorelane ist "
                                              "unvollständig gebaut oder installiert; .xlsx- und "
                                              "Textdateien lassen sich weiter öffnen.")
                                   .arg(program));
        throw CommandError(QStringLiteral("Das Leseprogramm für .xls-Dateien startet nicht: %1 (%2).")
                               .arg(program, QString::fromLocal8Bit(std::strerror(error))));
    }

    // The check here gives the precise messages; the reader checks again before FreeXL
    // unless it is told that it need not (below).
    const bool plainValues = checked(bytes).overlay.empty();
    // The workbook goes to the reader as a sealed file in memory: it maps the very bytes
    // checked here, with no pipe to copy them through. Bytes that cannot change any more
    // and passed the check here, with no value that only the check finds (booleans, error
    // values, formula results), need no second check. Without a sealed file they go
    // through the socket, and the reader checks them.
    Descriptor input(g_sealedInput ? sealedCopy(bytes) : -1);
    if (input.valid()) {
        reader.hand(input.get(), plainValues);
        // The reader holds the file now; its memory goes back when the reader ends, on its
        // core, not here after the answer.
        input.reset();
    } else {
        reader.hand(bytes);
    }

    const auto stop = [&](const QString &why) {
        reader.kill();
        throwDamaged(why);
    };
    QDeadlineTimer deadline(g_timeLimit);
    QByteArray reply;
    reply.reserve(std::max<qsizetype>(bytes.size(), ReaderProcess::kPiece));
    // The rows are read as they come; about a hundred bytes of the file make a row.
    ReplyParser parser(locale);
    parser.reserve(std::min<qint64>(bytes.size() / 100, 4096));
    for (;;) {
        // Wakes for every piece of output, so the answer is never held beyond its limit.
        const ReaderProcess::State state = reader.wait(reply, kMaxReplyBytes + 1, deadline);
        if (state == ReaderProcess::Failed)
            stop(QStringLiteral("der Leseprozess ist nicht zu erreichen (%1)")
                     .arg(QString::fromLocal8Bit(std::strerror(errno))));
        if (reply.size() > kMaxReplyBytes)
            stop(QStringLiteral("die Antwort des Leseprozesses ist größer als %1 MiB")
                     .arg(kMaxReplyBytes >> 20));
        if (state == ReaderProcess::Ended)
            break;
        if (state == ReaderProcess::TimedOut)
            stop(QStringLiteral("das Lesen dauerte länger als %1 s")
                     .arg(locale.toString(double(g_timeLimit.count()) / 1000)));
        parser.take(reply);
    }
    const int status = reader.status();
    if (WIFSIGNALED(status))
        throwDamaged(QStringLiteral("der Leseprozess brach mit Signal %1 ab").arg(WTERMSIG(status)));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 1 && reply.contains("\nfail\t"))
        parseXlsReply(reply, locale); // throws the reader's message
    if (code != 0)
        throwDamaged(QStringLiteral("der Leseprozess endete mit Code %1").arg(code));
    return parser.finish(reply);
}

} // namespace Workbook
