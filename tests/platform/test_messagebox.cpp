#include "platform/guarded.h"
#include "platform/messagebox.h"

#include <gtest/gtest.h>

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
