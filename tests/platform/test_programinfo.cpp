#include "platform/programinfo.h"
#include "support/qtprinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ProgramInfo, TitleFromTheProgramFileName)
{
    struct Case
    {
        const char *path, *title;
    };
    for (const Case &c : { Case { "/opt/x/Turnier", "Turnier" }, Case { "/opt/x/Scorelane.old", "Scorelane" },
             Case { "/opt/x/SCORELANE", "Scorelane" }, Case { "/a.b/sCORE.x.y", "score" },
             Case { "/opt/x/.hidden", "" } })
        EXPECT_EQ(ProgramInfo::titleFromPath(QString::fromUtf8(c.path)), QString::fromUtf8(c.title))
            << c.path;
    EXPECT_TRUE(ProgramInfo::folder().endsWith(u'/'));
}

TEST(ProgramInfo, DataFoldersAfterTheFirstPlace)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    const QStringList folders = ProgramInfo::dataFolders(QStringLiteral("/srv/turnier"));
    qputenv("XDG_DATA_HOME", oldHome);

    // The test program lives in <build>/tests; an installed one in <prefix>/bin.
    QDir prefix(QCoreApplication::applicationDirPath());
    prefix.cdUp();
    const QStringList expected { QStringLiteral("/srv/turnier/"),
        home.path() + QStringLiteral("/Quellmark/test_programinfo/"),
        prefix.path() + QStringLiteral("/share/scorelane/") };
    EXPECT_EQ(folders, expected);
    EXPECT_EQ(ProgramInfo::dataFolders().first(), ProgramInfo::folder());
}

TEST(ProgramInfo, FindDataFileTakesTheFirstFolderWithAPlainFile)
{
    QTemporaryDir a, b, c;
    const QStringList folders { a.path() + u'/', b.path() + u'/', c.path() + u'/' };
    const auto touch = [](const QTemporaryDir &dir, const char *name) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    EXPECT_TRUE(ProgramInfo::findDataFile(QStringLiteral("Scorelane.chm"), folders).isEmpty());
    touch(c, "Scorelane.chm");
    EXPECT_EQ(
        ProgramInfo::findDataFile(QStringLiteral("Scorelane.chm"), folders), c.filePath("Scorelane.chm"));
    touch(b, "Scorelane.chm");
    ASSERT_TRUE(QDir(a.path()).mkdir(QStringLiteral("Scorelane.chm"))); // a folder is no file
    EXPECT_EQ(
        ProgramInfo::findDataFile(QStringLiteral("Scorelane.chm"), folders), b.filePath("Scorelane.chm"));
}

TEST(ProgramInfo, FirstOpenFolderOfAnInstalledProgramIsTheDocumentsFolder)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString homeFolder = QDir::homePath();
    EXPECT_EQ(ProgramInfo::firstOpenFolder(QStringLiteral("/usr/bin/")), homeFolder) << "no Documents yet";
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    const QString documents = home.path() + QStringLiteral("/Documents");
    EXPECT_EQ(ProgramInfo::firstOpenFolder(QStringLiteral("/usr/bin/")), documents);
    EXPECT_EQ(ProgramInfo::firstOpenFolder(QStringLiteral("/usr/local/games/")), documents);
    EXPECT_EQ(ProgramInfo::firstOpenFolder(QStringLiteral("/no/such/folder/")), documents);
    // A build folder or a program copied to a stick stays where the operator keeps lists.
    const QString own = home.path() + u'/';
    EXPECT_EQ(ProgramInfo::firstOpenFolder(own), own);
    qputenv("HOME", oldHome);
}
