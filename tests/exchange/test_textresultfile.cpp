#include "exchange/textresultfile.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"
#include "scoring/resulttable.h"
#include "support/nopermissionoverride.h"
#include "support/resulttablefixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

using Rows = QList<QStringList>;

QString dataFile(const char *name)
{
    return QStringLiteral(SCORELANE_TEST_DATA "/textfile/") + QString::fromUtf8(name);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList texts(std::initializer_list<const char *> utf8)
{
    QStringList list;
    for (const char *text : utf8)
        list.append(QString::fromUtf8(text));
    return list;
}

QStringList padded(QStringList row)
{
    while (row.size() < ResultTable::kColumnCount)
        row.append(QString());
    return row;
}

using Table = ResultTableFixture<>;

Rows someMarks()
{
    return { texts({ "5", "Paula", "TC Rot", "8", "8", "8", "8", "8" }),
        texts({ "6", "Quirin", "TC Gelb", "7" }) };
}

// ---- Reading ------------------------------------------------------------------------------

// A header is a line whose first field holds "Nr."; bytes that are no text are refused
// with the table as it was.
TEST(TextResultFileLoad, HeaderLinesAndFilesThatAreNoText)
{
    const struct
    {
        QByteArray bytes;
        Rows rows; // empty with a failure
        const char *failure;
    } cases[] = {
        { "Nr.;Name\r\n1;TC Nr. 1 Blau\r\n", { texts({ "1", "TC Nr. 1 Blau" }) }, "" },
        { "Start-Nr.\tName\r\n2\tA\tNr.\r\n", { texts({ "2", "A", "Nr." }) }, "" },
        { "3;Nr.\tx\r\n", {}, "" }, // a TAB line: its first field is "3;Nr."
        { "\tNr.\r\n", { texts({ " ", "Nr." }) }, "" },
        { QByteArray("1;Anna\r\n2;B\0b\r\n", 15), {},
            "„f.txt“ ist keine Textdatei: sie enthält Binärdaten (Null-Bytes). Die Tabelle bleibt "
            "unverändert" },
        { QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), {},
            "„f.txt“ ist keine Textdatei, sondern eine Excel-Arbeitsmappe. Die Tabelle bleibt unverändert. "
            "Öffnen Sie die Arbeitsmappe mit dem Dateityp „MS Excel“ und unter einem Namen auf .xls oder "
            ".xlsx" },
        { QByteArray("PK\x03\x04\x14", 5), {},
            "„f.txt“ ist keine Textdatei, sondern eine Excel-Arbeitsmappe. Die Tabelle bleibt unverändert. "
            "Öffnen Sie die Arbeitsmappe mit dem Dateityp „MS Excel“ und unter einem Namen auf .xls oder "
            ".xlsx" },
        { QByteArray("1;A\x1A\0\0", 6), { texts({ "1", "A" }) }, "" }, // after the end mark anything goes
    };
    QTemporaryDir dir;
    for (const auto &c : cases) {
        Table t;
        t.setRows(someMarks());
        const Rows before = t.allRows();
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        writeBytes(path, c.bytes);
        QString failure;
        try {
            LoadTextFile(t.grid, path);
        } catch (const CommandError &error) {
            failure = error.text();
        }
        EXPECT_EQ(failure, QString::fromUtf8(c.failure)) << c.bytes.toStdString();
        if (*c.failure) {
            EXPECT_EQ(t.allRows(), before);
            continue;
        }
        Rows expected { t.grid.Rows(0) };
        for (const QStringList &row : c.rows)
            expected.append(padded(row));
        if (c.rows.isEmpty())
            expected.append(padded({}));
        EXPECT_EQ(t.allRows(), expected) << c.bytes.toStdString();
    }
}

struct GoldenCase
{
    const char *file;
    Rows table; // the data rows the table holds afterwards
};

TEST(TextResultFileLoad, GoldenFiles)
{
    const GoldenCase cases[] = {
        { "startlist_semicolon.txt",
            { texts({ "101", "Anna Müller", "TSC Grün-Gold" }), texts({ "102", "Blau-Weiß Tanzclub" }),
                texts({}), texts({ " ", "103", "Chris Lange" }), texts({ "105", "Emil Stein", "TSV Nr. 5" }),
                texts({ "106", "ErnstKlein", "TC Nord" }), texts({ "107", "Frieda Ost" }),
                texts({ "109", "Hanna Ost", "TC Ost" }), texts({ "108", "Gerd West", "TC Mitte" }) } },
        { "protocol_tabs.txt",
            { texts({ "12", "Anna", "TSC", "8", "9", "7", "8", "9", " ", " ", "25", "1" }),
                texts({ "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13" }),
                texts({ "7", "Meier;Schulz", "TC A;B" }), texts({ "8", "Vogel", "TC C" }),
                texts({ "9", "TC D" }), texts({ " ", "10", "Name" }) } },
        { "eof_marker.txt", { texts({ "1", "A", "X" }), texts({ "2", "B", "Y" }) } },
        { "header_only.txt", { texts({}) } },
        { "utf8_bom.txt",
            { texts({ "1", "Łukasz Wójcik", "TK Kraków" }), texts({ "2", "Jiří Dvořák", "TK Brno" }) } },
        { "utf8_plain.txt",
            { texts({ "1", "Zsófia Kovács", "Budapest" }), texts({ "2", "Анна Иванова", "Москва" }) } },
        { "windows1252.txt", { texts({ "1", "Jürgen „Jo“ Maß", "€-Club" }) } },
    };
    for (const GoldenCase &c : cases) {
        Table t;
        Rows before;
        for (int i = 0; i < 20; ++i)
            before.append(texts({ "99", "old", "row", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10" }));
        t.setRows(before);
        t.grid.MoveCurrent(3, 5);
        const QStringList header = t.grid.Rows(0);

        LoadTextFile(t.grid, dataFile(c.file));

        Rows expected;
        for (const QStringList &row : c.table)
            expected.append(padded(row));
        expected.prepend(header);
        EXPECT_EQ(t.allRows(), expected) << c.file;
        EXPECT_EQ(t.grid.Row(), 1) << c.file; // the size changed, as when the table is emptied

        t.grid.MoveCurrent(2, t.grid.RowCount() - 1);
        LoadTextFile(t.grid, dataFile(c.file));
        EXPECT_EQ(t.allRows(), expected) << c.file << " again";
        EXPECT_EQ(t.grid.Row(), 1) << c.file << " again";
    }
}

struct EncodingCase
{
    const char *name;
    QByteArray bytes;
    QStringList fields;
};

TEST(TextResultReader, ChoosesTheEncodingFromTheWholeFile)
{
    const EncodingCase cases[] = {
        { "UTF-8 multi-byte", "Gr\xc3\xbcn;x", texts({ "Grün", "x" }) },
        { "Windows-1252 umlaut", "Gr\xfcn;x", texts({ "Grün", "x" }) },
        { "valid first, invalid later", "\xc3\xbc;\xff", texts({ "Ã¼", "ÿ" }) },
        { "encoded surrogate", "\xed\xa0\x80", texts({ "í\u00a0€" }) },
        { "cut-off sequence at the end", "a\xc3", texts({ "aÃ" }) },
        { "byte-order mark wins over bad bytes", "\xef\xbb\xbf\xff;b", texts({ "\xef\xbf\xbd", "b" }) },
        { "bytes after 0x1A do not count", "\xc3\xa9\x1a\xff", texts({ "é" }) },
        { "above the highest code point", "\xf4\x90\x80\x80", texts({ "ô\u0090€€" }) },
    };
    for (const EncodingCase &c : cases) {
        // Byte by byte as well as in one piece: a sequence or the byte-order mark may be split.
        for (const bool bytewise : { false, true }) {
            TextResultReader reader;
            if (bytewise) {
                for (const char byte : c.bytes)
                    reader.feed(&byte, 1);
            } else {
                reader.feed(c.bytes.constData(), c.bytes.size());
            }
            reader.finish();
            ASSERT_EQ(reader.rowCount(), 1) << c.name;
            EXPECT_EQ(reader.row(0), c.fields) << c.name << (bytewise ? " (byte by byte)" : "");
        }
    }
}

TEST(TextResultReader, RefusesMoreThanItsLimitsWithoutLosingLongLines)
{
    // A line of ";" fields far longer than the text limit still gives its 13 fields,
    // fed in small pieces; the same line with a TAB at its end would be one huge field.
    QByteArray line;
    for (int field = 1; field <= 13; ++field)
        line.append("f").append(QByteArray::number(field)).append(';');
    for (int i = 0; i < 2000; ++i)
        line.append("x;");
    const TextResultReader::Limits small { 10, 200 };
    const auto feedInPieces = [](TextResultReader &reader, const QByteArray &bytes) {
        for (qsizetype at = 0; at < bytes.size(); at += 7)
            reader.feed(bytes.constData() + at, std::min<qsizetype>(7, bytes.size() - at));
        reader.finish();
    };

    TextResultReader reader(small);
    feedInPieces(reader, line + "\n");
    ASSERT_EQ(reader.rowCount(), 1);
    EXPECT_EQ(reader.row(0).size(), 13);
    EXPECT_EQ(reader.row(0).last(), QStringLiteral("f13"));

    TextResultReader withTab(small);
    EXPECT_THROW(feedInPieces(withTab, line + "\t\n"), CommandError);
    TextResultReader wholeWithTab(small);
    const QByteArray tabLine = line + "\t\n";
    EXPECT_THROW(wholeWithTab.feed(tabLine.constData(), tabLine.size()), CommandError);

    TextResultReader tenRows(small);
    const QByteArray ten = "Nr.\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
    tenRows.feed(ten.constData(), ten.size());
    tenRows.finish();
    EXPECT_EQ(tenRows.rowCount(), 10);
    TextResultReader elevenRows(small);
    const QByteArray eleven = ten + "11\n";
    try {
        elevenRows.feed(eleven.constData(), eleven.size());
        ADD_FAILURE() << "eleven rows accepted";
    } catch (const CommandError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("Out of memory"));
    }
}

struct ReadFailure
{
    const char *name;
    QString path;
    const char *text;
};

TEST(TextResultFileLoad, FailureLeavesTheTableAsItWas)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked.txt"));
    writeBytes(locked, "1;A;B\r\n");
    ::chmod(QFile::encodeName(locked).constData(), 0);
    // Neither has an end that a reader can wait for: a FIFO's writer may come at any time
    // or never, /dev/zero never ends.
    const QString fifo = dir.filePath(QStringLiteral("fifo.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = dir.filePath(QStringLiteral("zero.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    NoPermissionOverride noOverride;

    const ReadFailure failures[] = {
        { "missing file", dir.filePath(QStringLiteral("missing.txt")), "File not found" },
        { "missing folder", dir.filePath(QStringLiteral("nowhere/list.txt")), "Invalid filename" },
        { "a folder", dir.path(), "File access denied" },
        { "no read permission", locked, "File access denied" },
        { "a FIFO", fifo, "File access denied" },
        { "a device", QStringLiteral("/dev/zero"), "File access denied" },
        { "a link to a device", device, "File access denied" },
    };
    for (const ReadFailure &f : failures) {
        if (!noOverride.active() && f.path == locked)
            continue;
        Table t;
        t.setRows(someMarks());
        t.grid.MoveCurrent(3, 2);
        const Rows before = t.allRows();
        try {
            LoadTextFile(t.grid, f.path);
            ADD_FAILURE() << f.name << ": no failure";
        } catch (const CommandError &e) {
            EXPECT_EQ(e.text(), QString::fromUtf8(f.text)) << f.name;
        }
        EXPECT_EQ(t.allRows(), before) << f.name;
        EXPECT_EQ(t.grid.Row(), 2) << f.name;
    }
}

// ---- Writing ------------------------------------------------------------------------------

TEST(TextResultFileSave, GoldenFiles)
{
    QTemporaryDir dir;

    Table protocol;
    protocol.setRows(
        { texts({ "12", "Anna Müller", "TSC Grün-Gold", "8", "9", "7", "8", "9", "", "", "25", "1", "41" }),
            texts({ "", "Ghost", "Club" }), texts({ "7", "Bernd", "", "7", "7", "7" }) });
    const QString saved = dir.filePath(QStringLiteral("protocol.txt"));
    SaveTextFile(protocol.grid, saved);
    EXPECT_EQ(bytesOf(saved), bytesOf(dataFile("protocol_expected.txt")));

    Table polish;
    polish.setRows({ texts({ "3", "Łukasz Wójcik", "TK Kraków" }) });
    const QString savedUtf8 = dir.filePath(QStringLiteral("polish.txt"));
    SaveTextFile(polish.grid, savedUtf8);
    EXPECT_EQ(bytesOf(savedUtf8), bytesOf(dataFile("protocol_expected_utf8.txt")));
}

TEST(TextResultFileSave, Utf8CellsAreEncodedAsQtEncodesThem)
{
    // Two-, three- and four-byte forms, and lone surrogates of either kind, which the
    // writer's own encoder must turn into what QString::toUtf8() makes of them.
    const QString cells[] = { QStringLiteral("Łódź €"), QString::fromUcs4(U"\U0001F600 Paar"),
        QString(QChar(0xD83D)) + u'x', QString(QChar(0xDE00)), QString(QChar(0xD83D)) };
    for (const QString &cell : cells) {
        Table table;
        table.setRows({ { QStringLiteral("1"), cell } });
        const QByteArray bytes = textResultFileBytes(table.grid);
        const QByteArray line = "1\t" + cell.toUtf8() + "\t" + QByteArray(" \t").repeated(10) + "\r\n";
        EXPECT_TRUE(bytes.startsWith("\xef\xbb\xbf")) << qPrintable(cell);
        EXPECT_TRUE(bytes.endsWith(line)) << bytes.toHex(' ').constData();
    }
}

TEST(TextResultFileSave, ReadBackGivesTheSameTexts)
{
    struct Case
    {
        const char *name;
        Rows rows;
        bool byteOrderMark;
    };
    const Case cases[] = {
        { "Windows-1252",
            { texts({ "1", "Jürgen „Jo“ Maß", "€-Club", "9", "", "8", "", "", "", "", "", "2", "17" }),
                texts({ "2", "Ève", "", "", "", "", "", "", "", "7" }) },
            false },
        { "UTF-8",
            { texts({ "1", "Łukasz", "Kraków", "9", "9" }), texts({ "2", "Jiří", "TK Brno", "", "8" }) },
            true },
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("round.txt"));
        Table original;
        original.setRows(c.rows);
        SaveTextFile(original.grid, path);
        EXPECT_EQ(bytesOf(path).startsWith("\xef\xbb\xbf"), c.byteOrderMark) << c.name;

        Table loaded;
        LoadTextFile(loaded.grid, path);
        ASSERT_EQ(loaded.grid.RowCount(), original.grid.RowCount()) << c.name;
        for (int r = 1; r < original.grid.RowCount(); ++r) {
            for (int col = 0; col < 12; ++col) {
                const QString text = original.grid.Cells(col, r);
                EXPECT_EQ(loaded.grid.Cells(col, r), text.isEmpty() ? QStringLiteral(" ") : text)
                    << c.name << " row " << r << " col " << col;
            }
        }
    }
}

struct ErrorCase
{
    int error;
    bool folderExists;
    const char *text;
};

TEST(FileIo, RuntimeTextsForSystemErrors)
{
    QTemporaryDir dir;
    const ErrorCase cases[] = {
        { ENOENT, true, "File not found" },
        { ENOENT, false, "Invalid filename" },
        { ENAMETOOLONG, true, "Invalid filename" },
        { EMFILE, true, "Too many open files" },
        { EROFS, true, "File access denied" },
        { EISDIR, true, "File access denied" },
        { EDQUOT, true, "Disk full" },
        { EIO, true, "I/O error 5" },
    };
    for (const ErrorCase &c : cases) {
        const QString file = c.folderExists ? dir.filePath(QStringLiteral("a.txt"))
                                            : dir.filePath(QStringLiteral("no/a.txt"));
        EXPECT_EQ(FileIo::errorText(c.error, file), QString::fromUtf8(c.text)) << c.error;
    }
}

// The folder holds exactly these names: no temporary file was left behind.
QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

Rows bigTable()
{
    Rows rows;
    for (int i = 1; i <= 3000; ++i)
        rows.append(texts({ "1000", "Ein recht langer Name", "Ein noch längerer Vereinsname", "8", "9" }));
    return rows;
}

struct SaveFailureSetup
{
    QTemporaryDir dir;
    QString earlier;
    QByteArray earlierBytes = "Nr.\tName\t\r\n1\tfrüher\t\r\n";
    Table big;
    SaveFailureSetup()
        : earlier(dir.filePath(QStringLiteral("protocol.txt")))
    {
        writeBytes(earlier, earlierBytes);
        big.setRows(bigTable());
    }
    void expectFailure(const char *text)
    {
        try {
            SaveTextFile(big.grid, earlier);
            ADD_FAILURE() << "saved although it should fail with " << text;
        } catch (const CommandError &e) {
            EXPECT_EQ(e.text(), QString::fromUtf8(text));
        }
        EXPECT_EQ(bytesOf(earlier), earlierBytes);
        EXPECT_EQ(namesIn(dir.path()), QStringList { QStringLiteral("protocol.txt") });
    }
};

TEST(TextResultFileSave, ReadOnlyFolderOrFileKeepsTheEarlierFile)
{
    NoPermissionOverride noOverride;
    if (!noOverride.active())
        GTEST_SKIP() << "cannot give up the permission override";
    {
        SaveFailureSetup s;
        ::chmod(QFile::encodeName(s.dir.path()).constData(), 0555);
        s.expectFailure(QStringLiteral("File access denied: im Ordner \"%1\" kann nicht gespeichert werden")
                            .arg(s.dir.path())
                            .toUtf8()
                            .constData());
        ::chmod(QFile::encodeName(s.dir.path()).constData(), 0755);
    }
    {
        SaveFailureSetup s;
        ::chmod(QFile::encodeName(s.earlier).constData(), 0444);
        s.expectFailure("File access denied");
    }
}

TEST(TextResultFileSave, InjectedDiskFullKeepsTheEarlierFile)
{
    SaveFailureSetup s;
    int calls = 0;
    FileIo::setWriteCallForTests([&calls](int fd, const void *data, size_t size) -> ssize_t {
        if (calls++ == 0)
            return ::write(fd, data, std::min<size_t>(size, 1000));
        errno = ENOSPC;
        return -1;
    });
    s.expectFailure("Disk full");
    FileIo::setWriteCallForTests(nullptr);
    EXPECT_EQ(calls, 2);
}

// Runs in a child process with a mount namespace of its own: a 64 KiB tmpfs is too
// small for the big table. Exit 0 when the earlier file survived, 77 when no file
// system can be mounted here.
int saveOntoFullFileSystem(const QString &mountPoint)
{
    const QByteArray point = QFile::encodeName(mountPoint);
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return 77;
        const auto put = [](const char *file, const QByteArray &text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        put("/proc/self/setgroups", "deny");
        if (!put("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
            || !put("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
            return 77;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", point.constData(), "tmpfs", 0, "size=64k") != 0)
        return 77;

    const QString earlier = mountPoint + QStringLiteral("/protocol.txt");
    Table small;
    small.setRows(someMarks());
    Table big;
    big.setRows(bigTable());
    try {
        SaveTextFile(small.grid, earlier);
    } catch (const CommandError &) {
        return 2;
    }
    const QByteArray earlierBytes = bytesOf(earlier);
    try {
        SaveTextFile(big.grid, earlier);
        return 3;
    } catch (const CommandError &e) {
        if (e.text() != QStringLiteral("Disk full"))
            return 4;
    }
    if (bytesOf(earlier) != earlierBytes)
        return 5;
    if (namesIn(mountPoint) != QStringList { QStringLiteral("protocol.txt") })
        return 6;
    return 0;
}

TEST(TextResultFileSave, FullFileSystemKeepsTheEarlierFile)
{
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(saveOntoFullFileSystem(mountPoint));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no tmpfs can be mounted here; the injected failure covers it";
    // 2: the small save failed, 3: the big one succeeded, 4: wrong text, 5: earlier file
    // changed, 6: a temporary file was left.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TextResultFileSave, OtherFailures)
{
    QTemporaryDir dir;
    Table t;
    t.setRows(someMarks());
    const struct
    {
        QString path;
        const char *text;
    } cases[] = {
        { dir.path(), "File access denied" },
        { dir.filePath(QStringLiteral("nowhere/p.txt")), "Invalid filename" },
    };
    for (const auto &c : cases) {
        try {
            SaveTextFile(t.grid, c.path);
            ADD_FAILURE() << c.text;
        } catch (const CommandError &e) {
            EXPECT_EQ(e.text(), QString::fromUtf8(c.text));
        }
    }
    EXPECT_TRUE(namesIn(dir.path()).isEmpty());
}

TEST(TextResultFileSave, ReplacingKeepsPermissionsAndLinks)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("protocol.txt"));
    const QString link = dir.filePath(QStringLiteral("latest.txt"));
    writeBytes(target, "old");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    ASSERT_TRUE(QFile::link(target, link));
    Table t;
    t.setRows(someMarks());

    SaveTextFile(t.grid, link);

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    const QByteArray written = bytesOf(target);
    EXPECT_TRUE(written.startsWith("Nr.\tName\tVerein\t")) << written.left(40).constData();
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(
        namesIn(dir.path()), QStringList({ QStringLiteral("latest.txt"), QStringLiteral("protocol.txt") }));
}

// ---- Hostile input ------------------------------------------------------------------------

// The reading rules written out plainly over the whole input, for ASCII bytes.
std::vector<QStringList> referenceRows(std::string bytes)
{
    if (const size_t end = bytes.find('\x1a'); end != std::string::npos)
        bytes.resize(end);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t lf; (lf = bytes.find('\n', start)) != std::string::npos; start = lf + 1)
        lines.push_back(bytes.substr(start, lf - start));
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));

    std::vector<QStringList> rows;
    for (std::string line : lines) {
        std::erase(line, '\r');
        const char lineSeparator = line.find('\t') != std::string::npos ? '\t' : ';';
        if (line.substr(0, line.find(lineSeparator)).find("Nr.") != std::string::npos)
            continue;
        QStringList fields;
        if (!line.empty()) {
            const char separator = line.find('\t') != std::string::npos ? '\t' : ';';
            std::vector<std::string> pieces;
            size_t from = 0;
            for (size_t at; (at = line.find(separator, from)) != std::string::npos; from = at + 1)
                pieces.push_back(line.substr(from, at - from));
            pieces.push_back(line.substr(from));
            for (size_t i = 0; i < pieces.size() && fields.size() < 13; ++i) {
                if (i == 0)
                    fields.append(
                        pieces[0].empty() ? QStringLiteral(" ") : QString::fromStdString(pieces[0]));
                else if (!pieces[i].empty())
                    fields.append(QString::fromStdString(pieces[i]));
            }
        }
        rows.push_back(fields);
    }
    return rows;
}

std::vector<QStringList> readInPieces(const std::string &bytes, std::mt19937 &random)
{
    TextResultReader reader;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t piece
            = std::min(bytes.size() - at, size_t(1 + random() % (random() % 4 == 0 ? 300 : 6)));
        reader.feed(bytes.data() + at, qsizetype(piece));
        at += piece;
    }
    reader.finish();
    std::vector<QStringList> rows;
    for (int r = 0; r < reader.rowCount(); ++r)
        rows.push_back(reader.row(r));
    return rows;
}

TEST(TextResultReaderFuzz, RandomSeparatorMixturesFollowTheRules)
{
    static const char *const kTokens[] = { "a", "bc", "N", "r", ".", "Nr.", "N\rr.", "\t", "\t\t", ";", ";;",
        " ", "\r", "\n", "\r\n", "\n\n" };
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int tokens = int(random() % 120);
        for (int i = 0; i < tokens; ++i)
            bytes += kTokens[random() % std::size(kTokens)];
        if (random() % 20 == 0)
            bytes.insert(random() % (bytes.size() + 1), 1, '\x1a');
        const std::vector<QStringList> expected = referenceRows(bytes);
        ASSERT_EQ(readInPieces(bytes, random), expected) << "round " << round;
    }
}

TEST(TextResultReaderFuzz, RandomBytesNeverCrashAndDoNotDependOnPieces)
{
    std::mt19937 random(77);
    for (int round = 0; round < 400; ++round) {
        std::string bytes(random() % 5000, '\0');
        for (char &byte : bytes)
            byte = char(random() % 4 == 0 ? "\t;\r\n\x1a"[random() % 5] : random());
        if (round % 10 == 0)
            bytes.insert(0, "\xef\xbb\xbf");
        TextResultReader whole;
        whole.feed(bytes.data(), qsizetype(bytes.size()));
        whole.finish();
        const std::vector<QStringList> pieces = readInPieces(bytes, random);
        ASSERT_EQ(size_t(whole.rowCount()), pieces.size()) << "round " << round;
        for (int r = 0; r < whole.rowCount(); ++r) {
            ASSERT_LE(whole.row(r).size(), 13);
            ASSERT_EQ(whole.row(r), pieces[size_t(r)]) << "round " << round << " row " << r;
        }
    }
}

} // namespace
