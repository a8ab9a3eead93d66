#include "grid/statictexts.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(StaticTexts, Numbers)
{
    EXPECT_EQ(StaticTexts::number(0), QStringLiteral("0"));
    EXPECT_EQ(StaticTexts::number(7), QStringLiteral("7"));
    EXPECT_EQ(StaticTexts::number(9999), QStringLiteral("9999"));
    EXPECT_EQ(StaticTexts::number(10000), QStringLiteral("10000"));
    EXPECT_EQ(StaticTexts::number(-3), QStringLiteral("-3"));
}

TEST(StaticTexts, ChangingACopyLeavesTheSharedTextAlone)
{
    QString copy = StaticTexts::number(42);
    copy.append(u'x');
    copy[0] = u'9';
    EXPECT_EQ(copy, QStringLiteral("92x"));
    EXPECT_EQ(StaticTexts::number(42), QStringLiteral("42"));
    const QString shared = StaticTexts::number(10);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t *>(shared.utf16())), QStringLiteral("10"));
}
