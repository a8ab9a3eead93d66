// The program under Weston (tests/support/weston-two-outputs.sh): with the TV window on the
// main window's output, Ctrl+T puts it in front and F5 brings the main window and puts it
// away. What the outputs show comes from Weston's own screenshooter, not from Qt.
#include "app/mainwindow.h"
#include "display/tvwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

bool waitFor(const std::function<bool()> &done, int milliseconds = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Both outputs as Weston shows them, side by side.
QImage outputs(const QString &folder)
{
    QDir dir(folder);
    for (const QString &old : dir.entryList({ QStringLiteral("wayland-screenshot*.png") }))
        dir.remove(old);
    QProcess shooter;
    shooter.setWorkingDirectory(folder);
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    // The screenshooter waits for the compositor's answer, which needs our event loop only
    // for our own frames: keep it running meanwhile.
    waitFor([&shooter] { return shooter.state() == QProcess::NotRunning; }, 10000);
    const QStringList shots = dir.entryList({ QStringLiteral("wayland-screenshot*.png") });
    if (shots.isEmpty())
        return QImage();
    if (const QString keep = qEnvironmentVariable("SCORELANE_SCREENSHOTS"); !keep.isEmpty()) {
        static int count = 0;
        QFile::copy(
            dir.filePath(shots.first()), QDir(keep).filePath(QStringLiteral("weston-%1.png").arg(++count)));
    }
    return QImage(dir.filePath(shots.first())).convertToFormat(QImage::Format_RGB32);
}

// The share of sampled pixels of `shown` inside `area` that equal the window's own picture.
double sameShare(const QImage &shown, const QRect &area, const QImage &own)
{
    if (own.size() != area.size() || !shown.rect().contains(area))
        return 0;
    int same = 0;
    int all = 0;
    for (int y = 0; y < own.height(); y += 7) {
        for (int x = 0; x < own.width(); x += 7) {
            ++all;
            same += own.pixel(x, y) == shown.pixel(area.left() + x, area.top() + y);
        }
    }
    return double(same) / all;
}

TEST(WindowsWayland, TheTVWindowInFrontOfTheMainWindowOnItsOutputAndF5)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QSettings settings(dir.filePath(QStringLiteral("Scorelane.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Left"), 100);
        settings.setValue(QStringLiteral("Top"), 100);
    }
    TForm1 form(TForm1::Environment { dir.filePath(QStringLiteral("Scorelane.ini")) });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_GE(QGuiApplication::screens().size(), 1);
    TFormTV *tv = form.FormTV();
    const QImage empty = outputs(dir.path());
    ASSERT_FALSE(empty.isNull()) << "weston-screenshooter gave no picture (weston --debug?)";
    // Output 0 is the left part of the picture.
    const QRect output0(QPoint(0, 0), QGuiApplication::screens().first()->size());

    QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tv));
    ASSERT_TRUE(waitFor([&] { return tv->size() == output0.size(); }));
    EXPECT_FALSE(form.isVisible());
    const QImage scoreboard = tv->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage shown;
    EXPECT_TRUE(waitFor([&] {
        shown = outputs(dir.path());
        return sameShare(shown, output0, scoreboard) > 0.99;
    })) << sameShare(shown, output0, scoreboard);

    for (int twice = 0; twice < 2; ++twice) {
        QTest::keyClick(tv, Qt::Key_F5);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        // Something of the main window stands over the scoreboard.
        EXPECT_TRUE(waitFor([&] {
            shown = outputs(dir.path());
            return sameShare(shown, output0, scoreboard) < 0.9;
        })) << sameShare(shown, output0, scoreboard);
        QTest::keyClick(&form, Qt::Key_F5);
        EXPECT_FALSE(form.isVisible());
        EXPECT_TRUE(waitFor([&] {
            shown = outputs(dir.path());
            return sameShare(shown, output0, scoreboard) > 0.99;
        })) << sameShare(shown, output0, scoreboard);
    }

    QTest::keyClick(tv, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(tv->isVisible());
    EXPECT_TRUE(form.isVisible());
}

} // namespace
