#include "exchange/xlsreaderprocess.h"

#include "exchange/xlsreader.h"
#include "platform/commanderror.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include <sys/resource.h>

namespace Workbook {
namespace {

constexpr char kHeader[] = "scorelane-xls 1\n";
constexpr char kProgramName[] = "scorelane-xlsreader";
// A real answer is a fraction of the file; one beyond this comes from a broken reader.
constexpr qsizetype kMaxReplyBytes = qsizetype(kMaxFileBytes);
constexpr int kMaxFailureText = 1000;
// The file is at most 256 MiB and FreeXL's tables at most a few million cells.
constexpr rlim_t kAddressSpace = rlim_t(1) << 30;

QString g_program;
std::chrono::milliseconds g_timeLimit { 10'000 };

void appendEscaped(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

[[noreturn]] void throwBadReply()
{
    throwDamaged(QStringLiteral("der Leseprozess gab eine ungültige Antwort"));
}

// One escaped field as text, at most maxChars long.
QString unescaped(QByteArrayView field, qsizetype maxChars)
{
    if (field.size() > 3 * maxChars) // three UTF-8 bytes or two escaped ones per character at most
        throwBadReply();
    QByteArray raw;
    raw.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            raw += c;
            continue;
        }
        if (++i == field.size())
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
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(raw);
    if (decoder.hasError() || text.size() > maxChars)
        throwBadReply();
    return text;
}

} // namespace

QByteArray xlsReply(const SheetRows &sheet)
{
    QByteArray out(kHeader);
    for (const Row &row : sheet.rows()) {
        out += 'r';
        for (const Cell &cell : row) {
            out += '\t';
            if (cell.error)
                out += "\\e";
            else
                appendEscaped(out, cell.text);
        }
        out += '\n';
    }
    if (sheet.contentBelow())
        out += "below\n";
    out += "end\t" + QByteArray::number(qsizetype(sheet.rows().size())) + '\n';
    return out;
}

QByteArray xlsFailureReply(const QString &message)
{
    QByteArray out(kHeader);
    out += "fail\t";
    appendEscaped(out, message.left(kMaxFailureText));
    out += '\n';
    return out;
}

SheetRows parseXlsReply(const QByteArray &reply)
{
    if (!reply.startsWith(kHeader) || !reply.endsWith('\n'))
        throwBadReply();
    SheetRows sheet;
    qsizetype rows = 0;
    qsizetype at = qsizetype(sizeof kHeader) - 1;
    while (at < reply.size()) {
        const qsizetype end = reply.indexOf('\n', at);
        const QByteArrayView line(reply.constData() + at, end - at);
        at = end + 1;
        if (line.startsWith("fail\t") && rows == 0 && at == reply.size())
            throw CommandError(unescaped(line.sliced(5), kMaxFailureText));
        if (line.startsWith("end\t")) {
            bool ok = false;
            if (at != reply.size() || line.sliced(4).toLongLong(&ok) != rows || !ok)
                throwBadReply();
            return sheet;
        }
        if (line == "below" && QByteArrayView(reply).sliced(at).startsWith("end\t")) {
            sheet.setContentBelow();
            continue;
        }
        if (!line.startsWith("r\t") || sheet.done())
            throwBadReply();
        Row cells;
        qsizetype from = 2;
        for (int col = 0; col < kColumns; ++col) {
            qsizetype to = line.indexOf('\t', from);
            if ((to < 0) != (col == kColumns - 1))
                throwBadReply();
            if (to < 0)
                to = line.size();
            const QByteArrayView field = line.sliced(from, to - from);
            if (field == "\\e")
                cells[size_t(col)].error = true;
            else
                cells[size_t(col)].text = unescaped(field, kMaxCellText);
            from = to + 1;
        }
        ++rows;
        sheet.add(int(rows), std::move(cells));
    }
    throwBadReply(); // cut off before its end line
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
    // The check here gives the precise messages; the reader checks again before FreeXL.
    checkXls(bytes);

    QProcess reader;
    reader.setProgram(xlsReaderProgram());
    reader.setArguments({ locale.name() });
    // The reader's own complaints (a sanitizer's report) go where ours go, not into memory.
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader.setChildProcessModifier([] {
        const rlimit noCore { 0, 0 };
        ::setrlimit(RLIMIT_CORE, &noCore);
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCORELANE_ASAN
#endif
#endif
#if !defined(SCORELANE_ASAN) && !defined(__SANITIZE_ADDRESS__)
        // AddressSanitizer reserves terabytes of shadow memory: no limit in such builds.
        const rlimit space { kAddressSpace, kAddressSpace };
        ::setrlimit(RLIMIT_AS, &space);
#endif
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
    reader.write(bytes);
    reader.closeWriteChannel();

    const auto stop = [&](const QString &why) {
        reader.kill();
        reader.waitForFinished();
        throwDamaged(why);
    };
    QDeadlineTimer deadline(g_timeLimit);
    QByteArray reply;
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
    }
    reply += reader.readAllStandardOutput();
    if (reader.exitStatus() == QProcess::CrashExit)
        throwDamaged(QStringLiteral("der Leseprozess brach mit Signal %1 ab").arg(reader.exitCode()));
    if (reader.exitCode() == 1 && reply.contains("\nfail\t"))
        parseXlsReply(reply); // throws the reader's message
    if (reader.exitCode() != 0)
        throwDamaged(QStringLiteral("der Leseprozess endete mit Code %1").arg(reader.exitCode()));
    return parseXlsReply(reply);
}

} // namespace Workbook
