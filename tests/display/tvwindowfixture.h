#pragma once

#include "display/label3d.h"
#include "display/picturebox.h"
#include "display/scoreboard.h"
#include "display/tvwindow.h"
#include "grid/sortgridcore.h"
#include "platform/jpegencoder.h"
#include "platform/monitors.h"
#include "scoring/resulttable.h"
#include "support/resulttablefixture.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

// A TV window wired to a stand-in main window the way the program wires it: the main
// window's scoreboard is the source, the TV window's the mirror.
class TVWindowFixture : public ::testing::Test, protected ResultTableFixture<>
{
protected:
    QTemporaryDir dir;
    QWidget mainWindow;
    Scoreboard board { &mainWindow, ScoreboardWindow::Main };
    int Monitor = 0;
    int showsOfCurrentRow = 0;
    QList<QSize> backgroundAreas; // each size the TV window asked its background for
    std::unique_ptr<MonitorList> monitors;
    std::unique_ptr<TFormTV> tv;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        board.placeAtMainWindowPositions();
        board.connectTable(&table);
    }

    void TearDown() override { tv.reset(); }

    QString folder() const { return dir.path() + u'/'; }

    void writeFile(const char *name, const QByteArray &data) const
    {
        QFile file(folder() + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    void writeJpeg(const char *name, const QImage &image) const { writeFile(name, Jpeg::encode(image)); }

    void create(std::unique_ptr<MonitorList> list, const QImage &background)
    {
        monitors = std::move(list);
        TFormTV::Setup setup;
        setup.monitors = monitors.get();
        setup.monitor = [this] { return Monitor; };
        setup.background = [this, background](QSize area) {
            backgroundAreas.append(area);
            return background;
        };
        setup.folder = folder();
        setup.setJudgeCount = [this](Scoreboard &tvBoard) {
            board.attachMirror(&tvBoard);
            table.SetJudgeCount(table.judgeCount());
        };
        setup.showCurrentRow = [this] {
            ++showsOfCurrentRow;
            table.showCurrentRow();
        };
        tv = std::make_unique<TFormTV>(std::move(setup));
    }

    // One competitor in row 1, made current: marks 8 9 7 10 8 strike Lab3 and Lab4, total 25.
    void loadCompetitor()
    {
        setRows(
            { { "117", "Laura Schmidt / Max Weber", "TSC Blau-Gold Rostock", "8", "9", "7", "10", "8" } });
        ASSERT_TRUE(grid.MoveCurrent(0, 1));
    }

    static QImage filled(int width, int height, QRgb colour)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    // A logo of 800 x 200: a dark red field with a white name in the middle.
    static QImage wideLogo()
    {
        QImage logo = filled(800, 200, kLogoRed);
        QPainter painter(&logo);
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(90);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(100, 0, 600, 200), Qt::AlignCenter, QStringLiteral("TSC Gala"));
        return logo;
    }

    static constexpr QRgb kLogoRed = qRgb(170, 20, 40);

    static bool near(QRgb actual, QRgb expected, int tolerance = 12)
    {
        return std::abs(qRed(actual) - qRed(expected)) <= tolerance
            && std::abs(qGreen(actual) - qGreen(expected)) <= tolerance
            && std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
    }

    static int countNear(const QImage &image, const QRect &area, QRgb colour, int tolerance = 40)
    {
        int count = 0;
        const QRect r = area.intersected(image.rect());
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x)
                count += near(image.pixel(x, y), colour, tolerance);
        }
        return count;
    }
};
