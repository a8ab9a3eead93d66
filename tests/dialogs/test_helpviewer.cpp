#include "dialogs/helpviewer.h"
#include "platform/chmfile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class HelpViewerTest : public ::testing::Test
{
protected:
    THelpViewer viewer;

    void SetUp() override
    {
        auto file = ChmFile::open(QStringLiteral(SCORELANE_TEST_CHM));
        ASSERT_TRUE(file);
        viewer.resize(800, 600);
        viewer.showContents(std::move(file));
        viewer.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    }

    QString page() const { return viewer.Browser->source().path(); }
    QString heading() const { return viewer.Browser->document()->firstBlock().text(); }

    // Clicks the middle of a text of the page, as the operator clicks a link.
    void clickText(const QString &text)
    {
        const QTextCursor found = viewer.Browser->document()->find(text);
        ASSERT_FALSE(found.isNull()) << text.toStdString();
        QTextCursor middle(viewer.Browser->document());
        middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
        const QPoint at = viewer.Browser->cursorRect(middle).center();
        QTest::mouseClick(viewer.Browser->viewport(), Qt::LeftButton, {}, at);
    }
};

} // namespace

TEST_F(HelpViewerTest, OpensTheContentsAndTheFirstPage)
{
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Testhilfe"));
    ASSERT_EQ(viewer.Contents->topLevelItemCount(), 1);
    const QTreeWidgetItem *start = viewer.Contents->topLevelItem(0);
    EXPECT_EQ(start->text(0), QStringLiteral("Startseite"));
    ASSERT_EQ(start->childCount(), 1);
    EXPECT_EQ(start->child(0)->text(0), QStringLiteral("Zweite Seite & Bild"));
    EXPECT_EQ(page(), QStringLiteral("/start.htm"));
    EXPECT_EQ(heading(), QStringLiteral("Startseite"));
    EXPECT_FALSE(viewer.bBack->isEnabled());
    EXPECT_FALSE(viewer.bForward->isEnabled());
}

TEST_F(HelpViewerTest, FollowsALinkShowsThePictureAndGoesBackAndForward)
{
    clickText(QStringLiteral("zweiten Seite"));
    EXPECT_EQ(page(), QStringLiteral("/kapitel/zweite.htm"));
    EXPECT_EQ(heading(), QStringLiteral("Zweite Seite über Größen"));
    EXPECT_EQ(viewer.Contents->currentItem()->text(0), QStringLiteral("Zweite Seite & Bild"));

    // The picture comes from the help file: its red shows in the window.
    const QImage shown = viewer.Browser->viewport()->grab().toImage();
    int red = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            red += shown.pixelColor(x, y) == QColor(200, 0, 0);
    EXPECT_EQ(red, 40 * 20);

    ASSERT_TRUE(viewer.bBack->isEnabled());
    QTest::mouseClick(viewer.bBack, Qt::LeftButton);
    EXPECT_EQ(page(), QStringLiteral("/start.htm"));
    ASSERT_TRUE(viewer.bForward->isEnabled());
    QTest::mouseClick(viewer.bForward, Qt::LeftButton);
    EXPECT_EQ(page(), QStringLiteral("/kapitel/zweite.htm"));

    // A link with "../" back to the start.
    clickText(QStringLiteral("Zurück zum Start"));
    EXPECT_EQ(page(), QStringLiteral("/start.htm"));
}

TEST_F(HelpViewerTest, AClickInTheContentsOpensThePage)
{
    QTreeWidgetItem *second = viewer.Contents->topLevelItem(0)->child(0);
    const QRect row = viewer.Contents->visualItemRect(second);
    QTest::mouseClick(viewer.Contents->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(page(), QStringLiteral("/kapitel/zweite.htm"));
    // And with the keys.
    viewer.Contents->setFocus();
    QTest::keyClick(viewer.Contents, Qt::Key_Up);
    EXPECT_EQ(page(), QStringLiteral("/start.htm"));
}

// Frame 4 px around and a 24 px title bar; a 1280 x 1024 monitor at the left of the desktop.
TEST(HelpWindowBounds, CentredOnTheOwnerAndWhollyOnItsMonitor)
{
    const QMargins frame(4, 24, 4, 4);
    const QRect area(0, 0, 1280, 1024);
    struct Case
    {
        const char *what;
        QSize client;
        QRect owner, expected;
    };
    const Case cases[] = {
        { "room around the owner", { 800, 600 }, { 100, 100, 908, 553 }, { 154, 87, 800, 600 } },
        { "owner low: the frame's bottom on the edge", { 800, 600 }, { 100, 900, 908, 553 },
            { 154, 420, 800, 600 } },
        { "owner hanging off right and top", { 800, 600 }, { 900, -300, 908, 553 }, { 476, 24, 800, 600 } },
        { "too big: made smaller", { 1600, 1200 }, { 100, 100, 908, 553 }, { 4, 24, 1272, 996 } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(helpWindowBounds(c.client, frame, c.owner, area), c.expected) << c.what;
}
