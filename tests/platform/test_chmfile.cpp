#include "dialogs/helpcontents.h"
#include "platform/chmcheck.h"
#include "platform/chmfile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <sys/stat.h>

#include <functional>
#include <random>

namespace {

QByteArray fixture()
{
    QFile file(QStringLiteral(SCORELANE_TEST_CHM));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

quint64 u64(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint64>(b.constData() + at);
}
void put32(QByteArray &b, qsizetype at, quint32 value)
{
    qToLittleEndian(value, b.data() + at);
}
void put64(QByteArray &b, qsizetype at, quint64 value)
{
    qToLittleEndian(value, b.data() + at);
}

// Where the fixture keeps its parts, read from its headers.
struct Layout
{
    qsizetype directory; // the ITSP header
    qsizetype firstChunk;
    qsizetype dataOffset;
    qsizetype resetTable; // the reset table object, in the file
    qsizetype controlData;
};

Layout layoutOf(const QByteArray &file)
{
    Layout l {};
    l.directory = qsizetype(u64(file, 0x48));
    l.firstChunk = l.directory + 0x54;
    l.dataOffset = qsizetype(u64(file, 0x58));
    for (const ChmCheck::Entry &e : ChmCheck::check(file).entries) {
        if (e.name.endsWith("/ResetTable"))
            l.resetTable = l.dataOffset + qsizetype(e.start);
        if (e.name.endsWith("/ControlData"))
            l.controlData = l.dataOffset + qsizetype(e.start);
    }
    return l;
}

class ChmFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QByteArray good = fixture();

    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("hilfe.chm"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write(bytes);
        return path;
    }
};

} // namespace

TEST_F(ChmFileTest, ReadsPagesPicturesAndTheContentsOfAFileMadeByTheCompiler)
{
    ASSERT_FALSE(good.isEmpty());
    QString error;
    const auto file = ChmFile::open(write(good), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->title(), QStringLiteral("Testhilfe"));
    EXPECT_EQ(file->contentsPath(), QStringLiteral("inhalt.hhc"));
    EXPECT_EQ(file->defaultTopic(), QStringLiteral("start.htm"));

    const auto page = file->object(QStringLiteral("/kapitel/zweite.htm"));
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->contains(QStringLiteral("Zweite Seite über Größen").toUtf8()));
    // Without the leading slash too, as the contents name pages.
    EXPECT_TRUE(file->object(QStringLiteral("start.htm")));

    const auto picture = file->object(QStringLiteral("/bilder/rot.png"));
    ASSERT_TRUE(picture);
    const QImage image = QImage::fromData(*picture);
    EXPECT_EQ(image.size(), QSize(40, 20));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(200, 0, 0));

    EXPECT_FALSE(file->object(QStringLiteral("/fehlt.htm")));
    EXPECT_FALSE(file->object(QString(600, u'a')));

    const QList<HelpTopic> topics = parseHelpContents(file->object(QStringLiteral("/inhalt.hhc")).value());
    const QList<HelpTopic> expected { { QStringLiteral("Startseite"), QStringLiteral("start.htm"), -1 },
        { QStringLiteral("Zweite Seite & Bild"), QStringLiteral("kapitel/zweite.htm"), 0 } };
    EXPECT_EQ(topics, expected);
}

TEST_F(ChmFileTest, RejectsBrokenHeadersLoopsAndOffsetsBeforeChmlibSeesThem)
{
    ASSERT_FALSE(good.isEmpty());
    const Layout l = layoutOf(good);
    ASSERT_GT(l.resetTable, 0);
    ASSERT_GT(l.controlData, 0);
    struct Case
    {
        const char *name;
        std::function<void(QByteArray &)> damage;
    };
    const Case cases[] = {
        { "only the start", [](QByteArray &b) { b.truncate(0x40); } },
        { "cut in half", [](QByteArray &b) { b.truncate(b.size() / 2); } },
        { "cut before the last byte", [](QByteArray &b) { b.chop(1); } },
        { "no signature", [](QByteArray &b) { b[3] = 'X'; } },
        { "directory past the end", [](QByteArray &b) { put64(b, 0x48, quint64(b.size()) - 8); } },
        { "content past the end", [](QByteArray &b) { put64(b, 0x58, quint64(b.size()) + 1); } },
        { "huge content offset", [](QByteArray &b) { put64(b, 0x58, ~quint64(0) - 4); } },
        { "chunk size zero", [&](QByteArray &b) { put32(b, l.directory + 0x10, 0); } },
        { "more chunks than the directory holds",
            [&](QByteArray &b) { put32(b, l.directory + 0x2c, 1000); } },
        { "index root outside", [&](QByteArray &b) { put32(b, l.directory + 0x1c, 7); } },
        { "chain to itself", [&](QByteArray &b) { put32(b, l.firstChunk + 0x10, 0); } },
        { "chain outside", [&](QByteArray &b) { put32(b, l.firstChunk + 0x10, 0x7fffffff); } },
        { "free space larger than the chunk", [&](QByteArray &b) { put32(b, l.firstChunk + 4, 0x1000); } },
        { "no free space: entries run into the padding",
            [&](QByteArray &b) { put32(b, l.firstChunk + 4, 0); } },
        { "window size zero", [&](QByteArray &b) { put32(b, l.controlData + 0x10, 0); } },
        { "no reset per window", [&](QByteArray &b) { put32(b, l.controlData + 0x14, 0); } },
        { "uncompressed size far beyond the frames",
            [&](QByteArray &b) { put64(b, l.resetTable + 0x10, quint64(1) << 40); } },
        { "first frame not at zero", [&](QByteArray &b) { put64(b, l.resetTable + 0x28, 5); } },
    };
    for (const Case &c : cases) {
        QByteArray bytes = good;
        c.damage(bytes);
        const ChmCheck::Result checked = ChmCheck::check(bytes);
        EXPECT_FALSE(checked.ok()) << c.name;
        QString error;
        EXPECT_FALSE(ChmFile::open(write(bytes), &error)) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
}

TEST_F(ChmFileTest, NoFileNoFolderNoFifo)
{
    EXPECT_FALSE(ChmFile::open(dir.filePath(QStringLiteral("fehlt.chm"))));
    EXPECT_FALSE(ChmFile::open(dir.path()));
    const QString fifo = dir.filePath(QStringLiteral("fifo.chm"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(ChmFile::open(fifo)); // must not wait for a writer
    EXPECT_FALSE(ChmFile::open(write(QByteArray())));
}

// Damaged copies of a real file: whatever passes the check is read in full by chmlib.
TEST_F(ChmFileTest, RandomDamageNeverCrashesOrHangs)
{
    ASSERT_FALSE(good.isEmpty());
    std::mt19937 random(17);
    int accepted = 0;
    for (int round = 0; round < 800; ++round) {
        QByteArray bytes = good;
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i) {
            // Mostly the headers and the directory, where the links are.
            const qsizetype limit = random() % 4 == 0 ? bytes.size() : qMin<qsizetype>(bytes.size(), 0x1200);
            bytes[qsizetype(random() % quint32(limit))] = char(random());
        }
        const auto file = ChmFile::open(write(bytes));
        if (!file)
            continue;
        ++accepted;
        for (const ChmCheck::Entry &entry : ChmCheck::check(bytes).entries)
            file->object(QString::fromUtf8(entry.name));
        parseHelpContents(file->object(QLatin1Char('/') + file->contentsPath()).value_or(QByteArray()));
    }
    // Damage in the padding and the compressed pages passes the check; that must have been tried.
    EXPECT_GT(accepted, 100);
}

TEST(HelpContents, NestingEntitiesAndOldEncodings)
{
    const QByteArray hhc
        = "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"A\">"
          "<param name=\"Local\" value=\"a.htm\"></object>"
          "<ul><li><OBJECT type=\"text/sitemap\"><PARAM NAME=\"name\" VALUE=\"B &lt;1&gt; &#252;\">"
          "<param name=local value=b.htm></object>"
          "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"C\"></object></ul>"
          "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"D\"></object></ul>"
          "<!-- <object type=\"text/sitemap\"><param name=\"Name\" value=\"hidden\"></object> -->"
          "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"\xDC"
          "bung\"></object>"
          "<li><object type=\"text/other\"><param name=\"Name\" value=\"skip\"></object></ul>";
    const QList<HelpTopic> expected { { QStringLiteral("A"), QStringLiteral("a.htm"), -1 },
        { QStringLiteral("B <1> ü"), QStringLiteral("b.htm"), 0 }, { QStringLiteral("C"), QString(), 1 },
        { QStringLiteral("D"), QString(), 0 }, { QStringLiteral("Übung"), QString(), -1 } };
    EXPECT_EQ(parseHelpContents(hhc), expected);
}

TEST(HelpContents, HostileNestingAndBrokenTagsGiveAShortList)
{
    QByteArray deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"x\"></object>";
    const QList<HelpTopic> topics = parseHelpContents(deep);
    ASSERT_EQ(topics.size(), 5000);
    // Nesting stops at 32 levels; deeper lines stay at the deepest level.
    int depth = 0;
    for (int at = int(topics.size()) - 1; at >= 0; at = topics[at].parent)
        ++depth;
    EXPECT_EQ(depth, 32);

    EXPECT_TRUE(
        parseHelpContents("<object type=\"text/sitemap\"><param name=\"Name\" value=\"unclosed").isEmpty());
    EXPECT_TRUE(parseHelpContents("</ul></ul><<<>>>&#99999999;<!--").isEmpty());
}
