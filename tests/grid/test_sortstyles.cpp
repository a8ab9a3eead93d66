#include "grid/sortgridcore.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <algorithm>
#include <random>

namespace {

// Conversions follow the default locale: every test here sets the one it needs.
class SortStyles : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    SortGridCore grid;

    void fill(const QStringList &texts)
    {
        grid.setColCount(2);
        grid.setRowCount(int(texts.size()) + 1);
        for (int i = 0; i < texts.size(); ++i)
            grid.setCells(0, i + 1, texts[i]);
    }

    QStringList sorted(TSortStyle style, TSortDirection direction = sdAscending)
    {
        grid.SortOptions().SortStyle = style;
        grid.SortOptions().SortDirection = direction;
        grid.SortRowsByColumn(0);
        QStringList texts;
        for (int row = 1; row < grid.RowCount(); ++row)
            texts.append(grid.Cells(0, row));
        return texts;
    }
};

TEST(NumericExtended, Rules)
{
    struct Case
    {
        const char16_t *a, *b;
        int expected;
    };
    const Case cases[] = {
        { u"Item 10", u"Item 9", 1 },
        { u"Item 9", u"Item 10", -1 },
        { u"", u"x", -1 },
        { u"x", u"", -1 },
        { u"", u"", -1 },
        { u"01", u"1", 1 },
        { u"1", u"01", 1 },
        { u"abc", u"abc", 0 },
        { u"Run 2 heat", u"Run 12 heat", -1 },
        { u"12b", u"12a", 1 },
    };
    for (const Case &c : cases) {
        const int result = compareNumericExtended(QStringView(c.a), QStringView(c.b));
        EXPECT_EQ(result < 0 ? -1 : (result > 0 ? 1 : 0), c.expected)
            << QString::fromUtf16(c.a).toStdString() << " / " << QString::fromUtf16(c.b).toStdString();
    }
    // "abc" / "abd" reduce to "c" / "d", which are compared by bytes.
    EXPECT_EQ(compareNumericExtended(u"abc", u"abd"), int(u'c') - int(u'd'));
}

TEST_F(SortStyles, MixedTextAndNumbers)
{
    fill({ "Item 10", "Item 9", "Item 1" });
    EXPECT_EQ(sorted(ssNumericExtended), (QStringList { "Item 1", "Item 9", "Item 10" }));
    EXPECT_EQ(sorted(ssNormal), (QStringList { "Item 1", "Item 10", "Item 9" }));
}

TEST_F(SortStyles, DatesByDateAndOtherTextsByBytes)
{
    fill({ "02.01.2024", "31.12.2023", "15.06.2023", "kein Datum" });
    EXPECT_EQ(sorted(ssDateTime), (QStringList { "15.06.2023", "31.12.2023", "02.01.2024", "kein Datum" }));
    fill({ "2024-01-02", "2023-12-31 18:00", "31.12.2023 09:15" });
    EXPECT_EQ(sorted(ssDateTime), (QStringList { "31.12.2023 09:15", "2023-12-31 18:00", "2024-01-02" }));
}

TEST_F(SortStyles, TwoDigitYearsFallBetween1930And2029)
{
    // 1900 had no 29 February, 2000 had one.
    fill({ "01.01.99", "31.12.23", "31.12.29", "1.1.30", "31.12.1929", "15.6.05 10:00", "29.02.00" });
    EXPECT_EQ(sorted(ssDateTime),
        (QStringList {
            "31.12.1929", "1.1.30", "01.01.99", "29.02.00", "15.6.05 10:00", "31.12.23", "31.12.29" }));
}

TEST_F(SortStyles, OnlyFiniteNumbersAreNumbers)
{
    // The texts among the numbers go by bytes: "-inf" between "-1" and "2".
    fill({ "10", "nan", "2", "-inf", "1e3", "inf", "-1" });
    EXPECT_EQ(sorted(ssNumeric), (QStringList { "-1", "-inf", "2", "10", "1e3", "inf", "nan" }));
    fill({ "1", "nan" });
    EXPECT_EQ(grid.DetectSortStyle(0), ssNormal);
}

TEST_F(SortStyles, TimesOfDay)
{
    fill({ "9:05", "18:30", "07:45:10", "10:00" });
    EXPECT_EQ(sorted(ssTime), (QStringList { "07:45:10", "9:05", "10:00", "18:30" }));
    EXPECT_EQ(sorted(ssTime, sdDescending), (QStringList { "18:30", "10:00", "9:05", "07:45:10" }));
}

TEST_F(SortStyles, AutomaticDetectsAndKeepsTheStyle)
{
    fill({ "10", "9", "-2,5" });
    EXPECT_EQ(grid.DetectSortStyle(0), ssNumeric);
    EXPECT_EQ(sorted(ssAutomatic), (QStringList { "-2,5", "9", "10" }));
    EXPECT_EQ(grid.SortOptions().SortStyle, ssNumeric);

    fill({ "02.01.2024", "31.12.2023" });
    EXPECT_EQ(grid.DetectSortStyle(0), ssDateTime);
    fill({ "abc", "10" });
    EXPECT_EQ(grid.DetectSortStyle(0), ssNormal);
    grid.setRowCount(1);
    EXPECT_EQ(grid.DetectSortStyle(0), ssNumeric);
}

TEST_F(SortStyles, AutomaticDetectionPerKeyColumn)
{
    // Primary numbers, a further key of dates: each key sorts by its own kind.
    fill({ "1", "1", "0" });
    grid.setCells(1, 1, QStringLiteral("02.01.2024"));
    grid.setCells(1, 2, QStringLiteral("31.12.2023"));
    grid.setCells(1, 3, QStringLiteral("01.01.2020"));
    grid.SortOptions().SecondaryIndex = QStringLiteral("1");
    sorted(ssAutomatic);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("01.01.2020"));
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("31.12.2023"));
    EXPECT_EQ(grid.Cells(1, 3), QStringLiteral("02.01.2024"));
    EXPECT_EQ(grid.SortOptions().SortStyle, ssNumeric);
}

TEST_F(SortStyles, HookDecidesEveryKeyAndSeesThePreviousChoice)
{
    fill({ "b", "a" });
    grid.SortOptions().SecondaryIndex = QStringLiteral("1");
    QList<TSortStyle> seen;
    grid.OnGetSortStyle = [&](SortGridCore *, int col, TSortStyle &style) {
        seen.append(style);
        style = col == 0 ? ssNumericExtended : ssTime;
    };
    sorted(ssNormal);
    EXPECT_EQ(seen, (QList<TSortStyle> { ssAutomatic, ssTime }));
    EXPECT_EQ(grid.SortOptions().SortStyle, ssNumericExtended);
}

TEST_F(SortStyles, CustomComparisonIsUsedOnceAndFallsBackToBytes)
{
    fill({ "b", "ccc", "aa" });
    grid.SortOptions().CustomCompare
        = [](const QString &a, const QString &b) { return int(a.size()) - int(b.size()); };
    EXPECT_EQ(sorted(ssCustom), (QStringList { "b", "aa", "ccc" }));
    EXPECT_FALSE(grid.SortOptions().CustomCompare);
    EXPECT_EQ(sorted(ssCustom), (QStringList { "aa", "b", "ccc" }));
}

TEST_F(SortStyles, RandomMixedTextsStayAPermutationInEveryStyle)
{
    std::mt19937 random(99);
    const QStringList pieces { "", "7", "-3", "1,5", "Item 9", "Item 10", "01.02.2023", "12:30", "abc", "ABC",
        "x9y", "  ", "2023-05-01", "nan", "1e3", "\u00C4" };
    auto randomText = [&] {
        QString text = pieces[int(random() % pieces.size())];
        if (random() % 4 == 0)
            text += pieces[int(random() % pieces.size())];
        return text;
    };
    for (TSortStyle style :
        { ssNormal, ssNumeric, ssNumericExtended, ssDateTime, ssTime, ssCustom, ssAutomatic }) {
        for (TSortDirection direction : { sdAscending, sdDescending }) {
            QStringList texts;
            for (int i = 0; i < 3000; ++i)
                texts.append(randomText());
            fill(texts);
            if (style == ssCustom)
                grid.SortOptions().CustomCompare
                    = [&](const QString &, const QString &) { return int(random() % 3) - 1; };
            QStringList result = sorted(style, direction);
            std::sort(texts.begin(), texts.end());
            std::sort(result.begin(), result.end());
            EXPECT_EQ(result, texts) << "style " << style << " direction " << direction;
        }
    }
}

} // namespace
