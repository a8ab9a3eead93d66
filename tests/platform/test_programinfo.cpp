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
