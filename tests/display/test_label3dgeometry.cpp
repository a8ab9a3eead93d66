#include "display/label3dgeometry.h"
#include "display/textblock.h"

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

namespace {

QFont testFont(int pixels)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Liberation Sans") });
    font.setBold(true);
    font.setPixelSize(pixels);
    return font;
}

TEST(Label3DLayers, CopiesAndTheirColoursInDrawingOrder)
{
    using L = LayerColor;
    struct Case
    {
        TLabel3DBevel bevel;
        int napr, size;
        bool enabled;
        QList<TextLayer> expected;
    };
    const Case cases[] = {
        { blShadow, 1, 2, true, { { { 2, 2 }, L::Shadow }, { {}, L::Text } } },
        { blRaised, 1, 1, true, { { { -1, -1 }, L::HighLight }, { { 1, 1 }, L::Shadow }, { {}, L::Text } } },
        { blLowered, 1, 3, true, { { { -3, -3 }, L::Shadow }, { { 3, 3 }, L::HighLight }, { {}, L::Text } } },
        { blRaised, 1, 2, false, { { { 2, 2 }, L::Shadow }, { {}, L::GreyedText } } },
        { blShadow, 0, 2, true, { { {}, L::Text } } },
        { blRaised, 0, 2, true, { { { -2, -2 }, L::HighLight }, { {}, L::Text } } },
        { blNone, 255, 2, false, { { {}, L::Text } } },
        { blShadow, 256 | 2 | 128, 4, true,
            { { { -4, 4 }, L::Shadow }, { { 0, -4 }, L::Shadow }, { {}, L::Text } } },
    };
    for (const Case &c : cases) {
        const QList<TextLayer> got = textLayers(c.bevel, c.napr, c.size, c.enabled);
        EXPECT_EQ(got, c.expected) << "bevel " << c.bevel << " napr " << c.napr << " enabled " << c.enabled;
    }
}

TEST(Label3DLayout, TextRectangleForTheVerticalLayout)
{
    struct Case
    {
        TextLayout layout;
        int measuredHeight;
        QRect expected;
    };
    const QRect r(10, 20, 65, 48);
    const Case cases[] = {
        { tlTop, 61, r },
        { tlCenter, 21, { 10, 33, 65, 48 } }, // 27 spare: down 13
        { tlBottom, 21, { 10, 47, 65, 48 } },
        // 13 too tall: up 6, and down to the text's bottom.
        { tlCenter, 61, { 10, 14, 65, 67 } },
        { tlCenter, 49, { 10, 20, 65, 49 } }, // -1 div 2 is 0
        { tlBottom, 60, { 10, 8, 65, 72 } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(layoutTextRect(r, QRect(r.topLeft(), QSize(40, c.measuredHeight)), c.layout), c.expected)
            << "layout " << c.layout << " height " << c.measuredHeight;
}

TEST(Label3DGradient, BothEdgesStartWithTheFirstColour)
{
    EXPECT_TRUE(gradientStrips(QRect(0, 0, 1, 10), Qt::black, Qt::white, goHorizontal2).isEmpty());
    // Height 6: three steps, the middle rows drawn twice and ending in the last colour.
    const auto strips = gradientStrips(QRect(0, 0, 7, 6), QColor(0, 0, 0), QColor(90, 90, 90), goVertical2);
    ASSERT_EQ(strips.size(), 8);
    EXPECT_EQ(strips[0].rect, QRect(0, 0, 7, 1));
    EXPECT_EQ(strips[1].rect, QRect(0, 5, 7, 1));
    EXPECT_EQ(strips[2].color, QColor(30, 30, 30));
    EXPECT_EQ(strips[6].rect, QRect(0, 3, 7, 1));
    EXPECT_EQ(strips[7].rect, QRect(0, 2, 7, 1));
    EXPECT_EQ(strips[7].color, QColor(90, 90, 90));
}

TEST(Label3DText, TabsExpandToEightAverageCharacters)
{
    const QFont font = testFont(20);
    const QFontMetrics metrics(font);
    const int tab = 8 * metrics.averageCharWidth();
    const TextBlock expanded(QStringLiteral("a\tb"), font, 400, tfExpandTabs);
    EXPECT_NEAR(expanded.size().width(), tab + metrics.horizontalAdvance(u'b'), 1);
    const TextBlock twoTabs(QStringLiteral("a\t\tb"), font, 400, tfExpandTabs);
    EXPECT_NEAR(twoTabs.size().width(), 2 * tab + metrics.horizontalAdvance(u'b'), 1);
    const TextBlock plain(QStringLiteral("a\tb"), font, 400, tfLeft);
    EXPECT_NEAR(plain.size().width(), metrics.horizontalAdvance(QStringLiteral("a b")), 1);
}

} // namespace
