#include "display/scoreboardrules.h"

#include <gtest/gtest.h>

namespace {

TEST(StrikeMarks, LowestAndHighestStruckAndTheRestTotalled)
{
    struct Case
    {
        QStringList marks;
        StrikeMarks expected;
    };
    const Case cases[] = {
        { { "5", "7", "5", "9", "9" }, { 1, 4, "21" } },
        { { "6", "6", "6", "6", "6" }, { 1, 2, "18" } },
        { { "6", "6", "6", "6", "6", "6" }, { 1, 2, "24" } },
        { { "9", "8", "8", "8", "7" }, { 5, 1, "24" } },
        { { "10", "8", "8", "8", "6", "7", "9" }, { 5, 1, "40" } },
        // Net 0 or less shows no total; the strike marks still stand.
        { { "5", "0", "0" }, { 2, 1, "" } },
        // Not integers take no part; one valid mark puts the second strike mark on Lab2.
        { { "8a", "", "7", " ", "x" }, { 3, 2, "" } },
        { { " 4", "+6", "5" }, { 1, 2, "5" } },
        { { "", "", "", "", "" }, { 0, 0, "" } },
        {},
        // Near the integer limits the total must not wrap.
        { { "2147483647", "2147483646", "2147483645" }, { 3, 1, "2147483646" } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(chooseStrikeMarks(c.marks), c.expected)
            << c.marks.join(u',').toStdString() << " -> " << chooseStrikeMarks(c.marks).lowestLabel << ","
            << chooseStrikeMarks(c.marks).highestLabel << ",'"
            << chooseStrikeMarks(c.marks).total.toStdString() << "'";
}

} // namespace
