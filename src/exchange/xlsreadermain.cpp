// scorelane-xlsreader <locale>: reads the .xls workbook on standard input and writes
// its first sheet's rows on standard output (see xlsreaderprocess.h). Scorelane
// starts it so that FreeXL never runs inside the scoreboard.
#include "exchange/xlsreader.h"
#include "exchange/xlsreaderprocess.h"
#include "platform/commanderror.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <unistd.h>

namespace {

bool writeAll(const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t put = ::write(STDOUT_FILENO, bytes.constData() + at, size_t(bytes.size() - at));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        at += put;
    }
    return true;
}

QByteArray readInput()
{
    QByteArray bytes;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw CommandError(
                QStringLiteral("Standardeingabe: ") + QString::fromLocal8Bit(std::strerror(errno)));
        if (got == 0)
            return bytes;
        if (bytes.size() + got > Workbook::kMaxFileBytes)
            throw CommandError(QStringLiteral("Arbeitsmappe ist zu groß: mehr als %1 MiB")
                                   .arg(Workbook::kMaxFileBytes >> 20));
        bytes.append(buffer, got);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const QLocale locale(QString::fromLatin1(argv[1]));
    try {
        const Workbook::SheetRows sheet = Workbook::readXlsRowsInProcess(readInput(), locale);
        return writeAll(Workbook::xlsReply(sheet)) ? 0 : 3;
    } catch (const CommandError &e) {
        return writeAll(Workbook::xlsFailureReply(e.text())) ? 1 : 3;
    } catch (const std::bad_alloc &) {
        return writeAll(Workbook::xlsFailureReply(QStringLiteral("Out of memory"))) ? 1 : 3;
    }
}
