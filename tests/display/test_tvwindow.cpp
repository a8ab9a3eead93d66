#include "tvwindowfixture.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTest>

namespace {

using TVWindowTest = TVWindowFixture;

QStringList childOrder(const QWidget &window)
{
    QStringList names;
    for (QObject *child : window.children()) {
        if (child->isWidgetType())
            names.append(child->objectName());
    }
    return names;
}

QList<QRect> itemBounds(const TFormTV &tv)
{
    QList<QRect> bounds;
    for (QObject *child : tv.children()) {
        if (auto *item = qobject_cast<QWidget *>(child))
            bounds.append(item->geometry());
    }
    return bounds;
}

TEST_F(TVWindowTest, CreatedHiddenWithItsItemsInDrawingOrder)
{
    writeJpeg("TV-Logo.jpg", filled(64, 48, kLogoRed));
    table.SetJudgeCount(3);
    board.LabNum()->setCaption(QStringLiteral("12")); // not copied: the TV window starts cleared
    create(std::make_unique<FixedMonitorList>(QList<QRect> { { 0, 0, 1920, 1080 } }),
        filled(320, 200, qRgb(0, 0, 90)));

    EXPECT_FALSE(tv->isVisible());
    EXPECT_TRUE(tv->isWindow());
    EXPECT_TRUE(tv->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(childOrder(*tv),
        QStringList({ "Image1", "LabNum", "LabName", "Lab1", "Lab2", "Lab3", "Lab4", "Lab5", "Lab6", "Lab7",
            "LabGesamt", "LabPlatz", "GreenRect", "xLab1", "xLab2", "ImageNoVideo", "VideoWindow" }));
    EXPECT_TRUE(tv->VideoWindow->testAttribute(Qt::WA_NativeWindow));
    EXPECT_FALSE(tv->VideoWindow->isVisibleTo(tv.get()));
    // The background is decoded only once the window shows.
    EXPECT_TRUE(backgroundAreas.isEmpty());
    EXPECT_TRUE(tv->Image1->picture().isNull());
    EXPECT_EQ(tv->ImageNoVideo->picture().size(), QSize(64, 48));
    EXPECT_TRUE(tv->scoreboard().LabNum()->Caption().isEmpty());
    EXPECT_FALSE(Scoreboard::shown(tv->scoreboard().xLab1()));
    // The judge count reached the TV window's mark labels through the main window.
    EXPECT_TRUE(Scoreboard::shown(tv->scoreboard().Lab(3)));
    EXPECT_FALSE(Scoreboard::shown(tv->scoreboard().Lab(4)));
}

// The background is read for the window's own size when it shows, and again only for a
// larger monitor: the audience never sees it scaled up from a smaller decode.
TEST_F(TVWindowTest, BackgroundIsReadForTheSizeOfItsMonitor)
{
    create(std::make_unique<FixedMonitorList>(QList<QRect> { { 0, 0, 1024, 768 }, { 1024, 0, 1920, 1080 } }),
        filled(320, 200, qRgb(0, 0, 90)));
    const struct
    {
        int monitor;
        QList<QSize> areas;
    } steps[] = {
        { 0, { { 1024, 768 } } },
        { 1, { { 1024, 768 }, { 1920, 1080 } } },
        { 0, { { 1024, 768 }, { 1920, 1080 } } },
    };
    tv->show();
    for (const auto &step : steps) {
        Monitor = step.monitor;
        tv->PlaceTVWindow();
        EXPECT_EQ(backgroundAreas, step.areas) << step.monitor;
    }
    EXPECT_EQ(tv->Image1->picture().size(), QSize(320, 200));
}

// Items where the layout puts them, with a competitor and a logo on the default background;
// SCORELANE_SCREENSHOTS=<folder> keeps the pictures.
TEST_F(TVWindowTest, LaidOutAndDrawnForTheMonitorItShowsOn)
{
    struct Case
    {
        QRect monitor;
        QRect lab1, labName;
        int nameHeight;
        QRect lab3, lab4, labNum, greenRect, videoWindow;
        int strikeHeight;
        QRect logo; // in window coordinates
    };
    const Case cases[] = {
        { { 0, 0, 1920, 1080 }, { 342, 930, 133, 90 }, { 336, 40, 1511, 119 }, 51, { 711, 930, 133, 90 },
            { 897, 930, 133, 90 }, { 93, 40, 171, 119 }, { 320, 180, 1280, 720 }, { 320, 180, 1280, 720 },
            109, { 320, 380, 1280, 320 } },
        // 48 points for the marks, 58 for the strike marks: 77 pixels.
        { { 1920, 0, 1024, 768 }, { 182, 661, 71, 64 }, { 179, 28, 806, 85 }, 37, { 379, 661, 71, 64 },
            { 478, 661, 71, 64 }, { 49, 28, 91, 85 }, { 170, 128, 683, 512 }, { 57, 128, 910, 512 }, 77,
            { 170, 299, 683, 170 } },
    };
    writeJpeg("TV-Logo.jpg", wideLogo());
    create(std::make_unique<FixedMonitorList>(QList<QRect> { cases[0].monitor, cases[1].monitor }),
        Pictures::defaultBackground());
    loadCompetitor();
    table.showCurrentRow(); // shown once before, so the place stands too
    const QString shots = qEnvironmentVariable("SCORELANE_SCREENSHOTS");

    for (int m = 0; m < 2; ++m) {
        const Case &c = cases[m];
        SCOPED_TRACE(m);
        tv->hide();
        Monitor = m;
        tv->show();
        const Scoreboard &s = tv->scoreboard();
        ASSERT_EQ(tv->geometry(), c.monitor);
        EXPECT_EQ(tv->Image1->geometry(), QRect(QPoint(0, 0), c.monitor.size()));
        EXPECT_EQ(s.Lab(1)->geometry(), c.lab1);
        EXPECT_EQ(s.LabName()->geometry(), c.labName);
        EXPECT_EQ(s.LabName()->font().pixelSize(), c.nameHeight);
        EXPECT_EQ(s.Lab(1)->font().pixelSize(), c.lab1.height());
        EXPECT_EQ(s.LabNum()->geometry(), c.labNum);
        EXPECT_EQ(tv->GreenRect->geometry(), c.greenRect);
        EXPECT_EQ(tv->ImageNoVideo->geometry(), c.greenRect);
        EXPECT_EQ(tv->VideoWindow->geometry(), c.videoWindow);
        EXPECT_EQ(s.xLab1()->font().pixelSize(), c.strikeHeight);
        // Shown on the TV window's own layout: 7 and 10 struck.
        EXPECT_EQ(s.xLab1()->geometry(), c.lab3);
        EXPECT_EQ(s.xLab2()->geometry(), c.lab4);
        EXPECT_EQ(s.LabGesamt()->Caption(), QStringLiteral("25"));
        EXPECT_EQ(s.LabPlatz()->Caption(), QStringLiteral("1"));

        const QImage image = tv->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (!shots.isEmpty())
            image.save(
                QStringLiteral("%1/tv-%2x%3.png").arg(shots).arg(c.monitor.width()).arg(c.monitor.height()));
        EXPECT_GT(countNear(image, c.lab3, qRgb(255, 0, 0)), 100);
        EXPECT_GT(countNear(image, c.lab4, qRgb(255, 0, 0)), 100);
        EXPECT_EQ(countNear(image, c.lab1, qRgb(255, 0, 0)), 0);
        EXPECT_GT(countNear(image, c.lab1, qRgb(255, 255, 255)), 100);
        EXPECT_GT(countNear(image, c.labNum, qRgb(255, 255, 0)), 100);
        // The logo's red field just inside its corners, black video area just outside.
        const QRect logo = c.logo;
        EXPECT_TRUE(near(image.pixel(logo.left() + 4, logo.top() + 4), kLogoRed));
        EXPECT_TRUE(near(image.pixel(logo.right() - 4, logo.bottom() - 4), kLogoRed));
        EXPECT_TRUE(near(image.pixel(logo.left() + 4, logo.top() - 4), qRgb(0, 0, 0), 2));
        EXPECT_TRUE(near(image.pixel(logo.right() - 4, logo.bottom() + 4), qRgb(0, 0, 0), 2));
    }
}

TEST_F(TVWindowTest, ShowHideShowLeavesEveryItemInPlace)
{
    create(std::make_unique<FixedMonitorList>(QList<QRect> { { 0, 0, 1366, 768 } }), filled(16, 9, 0));
    tv->show();
    // Where a shown competitor's strike marks would stand.
    tv->scoreboard().xLab1()->setGeometry(tv->scoreboard().Lab(5)->geometry());
    tv->scoreboard().xLab2()->setGeometry(tv->scoreboard().Lab(2)->geometry());
    const QList<QRect> before = itemBounds(*tv);
    const int strikeHeight = tv->scoreboard().xLab1()->font().pixelSize();

    tv->hide();
    tv->show();
    EXPECT_EQ(itemBounds(*tv), before);
    EXPECT_EQ(tv->scoreboard().xLab1()->geometry(), QRect(768, 661, 94, 64));
    EXPECT_EQ(tv->scoreboard().xLab1()->font().pixelSize(), strikeHeight);
    EXPECT_EQ(showsOfCurrentRow, 2);
}

TEST_F(TVWindowTest, LogosSwitchAndBadFilesChangeNothing)
{
    writeJpeg("TV-Logo.jpg", wideLogo());
    writeJpeg("TV-Logo2.jpg", filled(400, 300, qRgb(20, 60, 200)));
    writeFile("TV-Logo3.jpg", "not a JPEG picture\r\n");
    create(std::make_unique<FixedMonitorList>(QList<QRect> { { 0, 0, 1920, 1080 } }), filled(16, 9, 0));
    tv->show();
    const auto shown = [this] {
        const QImage image = tv->grab().toImage();
        return image.pixel(960, 540);
    };
    EXPECT_EQ(tv->ImageNoVideo->pictureRect(), QRect(0, 200, 1280, 320));
    EXPECT_TRUE(near(tv->ImageNoVideo->picture().pixel(4, 4), kLogoRed));

    EXPECT_TRUE(tv->LogoClick(2));
    EXPECT_EQ(tv->ImageNoVideo->pictureRect(), QRect(160, 0, 960, 720));
    EXPECT_TRUE(near(shown(), qRgb(20, 60, 200)));
    EXPECT_FALSE(tv->LogoClick(3)); // not a JPEG
    EXPECT_FALSE(tv->LogoClick(4)); // missing
    EXPECT_TRUE(near(shown(), qRgb(20, 60, 200)));

    EXPECT_TRUE(tv->LogoClick(0));
    EXPECT_EQ(tv->ImageNoVideo->pictureRect(), QRect(0, 200, 1280, 320));
    EXPECT_TRUE(near(tv->grab().toImage().pixel(330, 390), kLogoRed));
}

TEST_F(TVWindowTest, BackgroundIsStretchedOverTheWholeWindow)
{
    // 4:3, its right quarter blue and its bottom half lighter: stretched to 16:9 the edges
    // stand at 3/4 of the width and half the height.
    QImage background = filled(400, 300, qRgb(0, 90, 0));
    QPainter painter(&background);
    painter.fillRect(300, 0, 100, 300, QColor(0, 0, 200));
    painter.fillRect(0, 150, 300, 150, QColor(0, 200, 0));
    painter.end();
    create(std::make_unique<FixedMonitorList>(QList<QRect> { { 0, 0, 1920, 1080 } }), background);
    tv->show();
    const QImage image = tv->grab().toImage();

    EXPECT_TRUE(near(image.pixel(1425, 100), qRgb(0, 90, 0)));
    EXPECT_TRUE(near(image.pixel(1455, 100), qRgb(0, 0, 200)));
    EXPECT_TRUE(near(image.pixel(100, 525), qRgb(0, 90, 0)));
    EXPECT_TRUE(near(image.pixel(100, 555), qRgb(0, 200, 0)));
    EXPECT_TRUE(near(image.pixel(1919, 1079), qRgb(0, 0, 200)));
    // No logo file: the video area is plain black.
    EXPECT_EQ(countNear(image, QRect(320, 180, 1280, 720), qRgb(0, 0, 0), 0), 1280 * 720);
}

} // namespace
