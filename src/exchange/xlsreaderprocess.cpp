#include "exchange/xlsreaderprocess.h"

#include "exchange/xlscheck.h"
#include "exchange/xlsreply.h"
#include "grid/sharedtexts.h"
#include "platform/commanderror.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Workbook {
namespace {

constexpr char kProgramName[] = "scorelane-xlsreader";
// A real answer is a fraction of the file; one beyond this comes from a broken reader.
constexpr qsizetype kMaxReplyBytes = qsizetype(kMaxFileBytes);
constexpr int kMaxFailureText = 1000;

QString g_program;
std::chrono::milliseconds g_timeLimit { 10'000 };

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

QString numberField(QByteArrayView digits, const QLocale &locale)
{
    // Whole numbers, as marks and places are, read as they stand.
    const bool whole = !digits.isEmpty() && digits.size() <= 15 && (digits.size() == 1 || digits[0] != '0')
        && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (whole) {
        const QString *shared = SharedTexts::find(digits.data(), digits.size());
        return shared ? *shared : QString::fromLatin1(digits);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.isEmpty())
        throwBadReply();
    return numberText(value, locale);
}

// The cell of a field; col and row (1-based) name it in messages.
Cell cellOf(QByteArrayView field, int col, int row, const QLocale &locale)
{
    Cell cell;
    if (field.isEmpty())
        return cell;
    const QByteArrayView rest = field.sliced(1);
    switch (field[0]) {
    case 't': {
        std::optional<QString> text = unescaped(rest, kMaxCellText);
        if (!text)
            throwTooLong(col, row);
        cell.text = std::move(*text);
        break;
    }
    case 'n':
        cell.text = numberField(rest, locale);
        break;
    case 'd': {
        const std::optional<QString> text = unescaped(rest, 100);
        if (!text)
            throwBadReply();
        cell.text = dateTimeText(*text, locale);
        break;
    }
    case 'b':
        if (rest != "0" && rest != "1")
            throwBadReply();
        cell.text = rest == "1" ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
        break;
    case 'e':
        if (!rest.isEmpty())
            throwBadReply();
        cell.error = true;
        break;
    default:
        throwBadReply();
    }
    return cell;
}

// A sealed file in memory that holds the bytes; -1 when the system has none.
int sealedCopy(const QByteArray &bytes)
{
    const int fd = ::memfd_create("workbook", MFD_CLOEXEC | MFD_ALLOW_SEALING);
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
        if (!line.startsWith("r\t") || m_sheet.done())
            throwBadReply();
        Row cells;
        qsizetype from = 2;
        for (int col = 0; col < kColumns; ++col) {
            qsizetype to = line.indexOf('\t', from);
            if ((to < 0) != (col == kColumns - 1))
                throwBadReply();
            if (to < 0)
                to = line.size();
            cells[size_t(col)] = cellOf(line.sliced(from, to - from), col, int(m_rows) + 1, m_locale);
            from = to + 1;
        }
        ++m_rows;
        m_sheet.add(int(m_rows), std::move(cells));
    }

    const QLocale &m_locale;
    SheetRows m_sheet;
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

SheetRows readXlsRows(const QByteArray &bytes, const QLocale &locale)
{
    // The check here gives the precise messages; the reader checks again before FreeXL
    // unless it is told that it need not (below).
    const bool plainValues = checked(bytes).overlay.empty();

    // The workbook goes to the reader as a sealed file in memory on its standard input:
    // it maps the very bytes checked here, with no pipe to copy them through.
    const int input = sealedCopy(bytes);
    const auto closeInput = qScopeGuard([input] {
        if (input >= 0)
            ::close(input);
    });

    QProcess reader;
    reader.setProgram(xlsReaderProgram());
    // Bytes that cannot change any more and passed the check here, with no value that only
    // the check finds (booleans, error values, formula results), need no second check.
    if (input >= 0 && plainValues)
        reader.setArguments({ QStringLiteral("--checked") });
    // The reader's own complaints (a sanitizer's report) go where ours go, not into memory.
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The reader bounds its own memory and core files before it reads a byte.
    reader.setChildProcessModifier([input] {
        if (input >= 0)
            ::dup2(input, STDIN_FILENO);
    });
    reader.start(QIODevice::ReadWrite);
    if (!reader.waitForStarted()) {
        // An incomplete build or installation: say what is missing, not execvp's text.
        if (!QFileInfo::exists(reader.program()))
            throw CommandError(QStringLiteral("Das Leseprogramm für .xls-Dateien fehlt: %1. Scorelane ist "
                                              "unvollständig gebaut oder installiert; .xlsx- und "
                                              "Textdateien lassen sich weiter öffnen.")
                                   .arg(reader.program()));
        throw CommandError(QStringLiteral("Das Leseprogramm für .xls-Dateien startet nicht: %1 (%2).")
                               .arg(reader.program(), reader.errorString()));
    }
    if (input < 0)
        reader.write(bytes); // no sealed file here: through the pipe
    reader.closeWriteChannel();

    const auto stop = [&](const QString &why) {
        reader.kill();
        reader.waitForFinished();
        throwDamaged(why);
    };
    QDeadlineTimer deadline(g_timeLimit);
    QByteArray reply;
    // The rows are read as they come; about a hundred bytes of the file make a row.
    ReplyParser parser(locale);
    parser.reserve(std::min<qint64>(bytes.size() / 100, 4096));
    while (reader.state() != QProcess::NotRunning) {
        if (deadline.hasExpired())
            stop(QStringLiteral("das Lesen dauerte länger als %1 s")
                     .arg(locale.toString(double(g_timeLimit.count()) / 1000)));
        // Wakes for every piece of output, so the answer is never held beyond its limit.
        if (!reader.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            reader.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 1))); // output closed early
        reply += reader.readAllStandardOutput();
        if (reply.size() > kMaxReplyBytes)
            stop(QStringLiteral("die Antwort des Leseprozesses ist größer als %1 MiB")
                     .arg(kMaxReplyBytes >> 20));
        parser.take(reply);
    }
    reply += reader.readAllStandardOutput();
    if (reader.exitStatus() == QProcess::CrashExit)
        throwDamaged(QStringLiteral("der Leseprozess brach mit Signal %1 ab").arg(reader.exitCode()));
    if (reader.exitCode() == 1 && reply.contains("\nfail\t"))
        parseXlsReply(reply, locale); // throws the reader's message
    if (reader.exitCode() != 0)
        throwDamaged(QStringLiteral("der Leseprozess endete mit Code %1").arg(reader.exitCode()));
    return parser.finish(reply);
}

} // namespace Workbook
