#include "platform/guarded.h"
#include "platform/messagebox.h"
#include "platform/programinfo.h"

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

TEST(StandardErrorBox, FullStopOnlyWhereMissing)
{
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Disk full.")), QStringLiteral("Disk full."));
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Fehler (1)")), QStringLiteral("Fehler (1)")); // ')' < '.'
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Fehler!")), QStringLiteral("Fehler!"));
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Fehler?")), QStringLiteral("Fehler?."));
}

TEST(StandardErrorBox, GuardedCommandShowsTheFailureAndGoesOn)
{
    int reached = 0;
    const int before = MessageBox::shownCount();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    runGuarded([&] {
        reached = 1;
        throw CommandError(QStringLiteral("I/O error 5"));
    });
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(MessageBox::shownCount(), before + 1);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("I/O error 5."));
}
