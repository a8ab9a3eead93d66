// The program's windows as the X server and openbox have them (tests/support/two-monitors.sh
// --wm openbox): the TV window when its monitor goes and comes back, one monitor with the TV
// window in front, the information window's close box, the help window's place. Keys are
// real key presses at the X server (xdotool), so they reach whichever window has the focus.
#include "app/mainwindow.h"
#include "dialogs/cfgdialog.h"
#include "dialogs/finfo.h"
#include "dialogs/helpviewer.h"
#include "display/label3d.h"
#include "display/scoreboard.h"
#include "display/tvwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QRect kRight(1280, 0, 1920, 1080); // monitor 0, the primary one
const QRect kLeft(0, 0, 1280, 1024); // monitor 1

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

void setLeftMonitor(bool present)
{
    if (present)
        run(QStringLiteral("xrandr"),
            { QStringLiteral("--setmonitor"), QStringLiteral("LEFT"), QStringLiteral("1280/338x1024/270+0+0"),
                QStringLiteral("none") });
    else
        run(QStringLiteral("xrandr"), { QStringLiteral("--delmonitor"), QStringLiteral("LEFT") });
}

// A key pressed at the X server: it goes to the window that has the focus.
void key(const char *keys)
{
    run(QStringLiteral("xdotool"),
        { QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QLatin1String(keys) });
}

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

QList<quint64> windowList(const char *property)
{
    QList<quint64> ids;
    const QString text = run(QStringLiteral("xprop"), { QStringLiteral("-root"), QLatin1String(property) });
    static const QRegularExpression id(QStringLiteral("0x[0-9a-f]+"));
    for (const QRegularExpressionMatch &match : id.globalMatch(text))
        ids.append(match.captured().toULongLong(nullptr, 16));
    return ids;
}

// Bottom to top, as openbox stacks the windows it manages.
QList<quint64> stacking()
{
    return windowList("_NET_CLIENT_LIST_STACKING");
}

quint64 activeWindow()
{
    const QList<quint64> ids = windowList("_NET_ACTIVE_WINDOW");
    return ids.isEmpty() ? 0 : ids.first();
}

bool above(const QWidget &upper, const QWidget &lower)
{
    const QList<quint64> order = stacking();
    const qsizetype u = order.indexOf(upper.winId());
    const qsizetype l = order.indexOf(lower.winId());
    return u >= 0 && l >= 0 && u > l;
}

bool onTop(const QWidget &window)
{
    const QList<quint64> order = stacking();
    return !order.isEmpty() && order.last() == window.winId();
}

// What the X server says of a window: mapped or not, its client rectangle on the desktop and
// the frame the window manager put around it.
struct ServerWindow
{
    bool viewable = false;
    QRect client;
    QRect frame;
};

ServerWindow serverWindow(const QWidget &window)
{
    const QString id = QString::number(window.winId());
    const QString info = run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), id });
    const auto number = [&info](const char *label) {
        const QRegularExpression pattern(QLatin1String(label) + QStringLiteral(":\\s+(-?\\d+)"));
        return pattern.match(info).captured(1).toInt();
    };
    ServerWindow result;
    result.viewable = info.contains(QLatin1String("IsViewable"));
    result.client = QRect(
        number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"));
    const QString extents
        = run(QStringLiteral("xprop"), { QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS") });
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    result.frame = m.hasMatch() ? result.client.marginsAdded(QMargins(m.captured(1).toInt(),
                       m.captured(3).toInt(), m.captured(2).toInt(), m.captured(4).toInt()))
                                : result.client;
    return result;
}

// The share of the window's rectangle on the screen that shows the window's own picture.
double shownShare(QWidget &window)
{
    const QImage own = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect at(window.mapToGlobal(QPoint(0, 0)), window.size());
    QScreen *screen = QGuiApplication::screenAt(at.center());
    if (!screen)
        return 0;
    const QRect local = at.translated(-screen->geometry().topLeft());
    const QImage shown = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (shown.size() != own.size())
        return 0;
    int same = 0;
    int all = 0;
    for (int y = 0; y < own.height(); y += 5) {
        for (int x = 0; x < own.width(); x += 5) {
            ++all;
            same += own.pixel(x, y) == shown.pixel(x, y);
        }
    }
    return double(same) / all;
}

class WindowsX11 : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString previousFolder = QDir::currentPath();
    std::unique_ptr<TForm1> form;

    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("SCORELANE_WM")) << "run under two-monitors.sh --wm openbox";
        QDir::setCurrent(dir.path());
    }

    void TearDown() override
    {
        form.reset();
        setLeftMonitor(true);
        waitFor([] { return QGuiApplication::screens().size() == 2; });
        QDir::setCurrent(previousFolder);
    }

    void start(int left, int top, int monitor)
    {
        {
            QSettings settings(dir.filePath(QStringLiteral("Scorelane.ini")), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Left"), left);
            settings.setValue(QStringLiteral("Top"), top);
            settings.setValue(QStringLiteral("KeepAR"), 1);
            settings.setValue(QStringLiteral("Monitor"), monitor);
        }
        form
            = std::make_unique<TForm1>(TForm1::Environment { dir.filePath(QStringLiteral("Scorelane.ini")) });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        ASSERT_TRUE(waitFor([this] { return activeWindow() == form->winId(); }));
    }

    TFormTV &tv() const { return *form->FormTV(); }
    bool sbTVDown() const { return form->Modus1->isChecked(); }
};

TEST_F(WindowsX11, TheTVWindowLeavesWithItsMonitorAndComesBackWithIt)
{
    start(1500, 200, 1);
    key("ctrl+t");
    ASSERT_TRUE(
        waitFor([this] { return serverWindow(tv()).viewable && serverWindow(tv()).client == kLeft; }));
    EXPECT_TRUE(sbTVDown());

    setLeftMonitor(false);
    EXPECT_TRUE(waitFor([this] { return !serverWindow(tv()).viewable; }));
    EXPECT_FALSE(sbTVDown());
    // Nothing of it over the operator's window, which keeps the keys.
    QTest::qWait(500);
    EXPECT_FALSE(serverWindow(tv()).viewable);
    EXPECT_GT(shownShare(*form), 0.95);

    setLeftMonitor(true);
    EXPECT_TRUE(waitFor([this] { return serverWindow(tv()).viewable && serverWindow(tv()).client == kLeft; }))
        << serverWindow(tv()).client.x() << "," << serverWindow(tv()).client.width();
    EXPECT_TRUE(sbTVDown());
    EXPECT_EQ(tv().scoreboard().Lab(1)->geometry(), QRect(228, 881, 88, 86));
}

TEST_F(WindowsX11, OneMonitorTheTVWindowInFrontF5BringsTheMainWindowAndDialogsComeFirst)
{
    setLeftMonitor(false);
    ASSERT_TRUE(waitFor([] { return QGuiApplication::screens().size() == 1; }));
    start(1500, 200, 0);

    key("ctrl+t");
    ASSERT_TRUE(
        waitFor([this] { return serverWindow(tv()).viewable && serverWindow(tv()).client == kRight; }));
    // Nothing of the program over it, and it takes the keys.
    EXPECT_TRUE(waitFor([this] { return activeWindow() == tv().winId() && !serverWindow(*form).viewable; }));
    EXPECT_TRUE(sbTVDown());

    // F5 reaches the TV window: the main window in front for typing, then away again.
    for (int twice = 0; twice < 2; ++twice) {
        key("F5");
        EXPECT_TRUE(waitFor([this] { return activeWindow() == form->winId() && above(*form, tv()); }));
        EXPECT_TRUE(waitFor([this] { return shownShare(*form) > 0.95; }));
        key("F5");
        EXPECT_TRUE(
            waitFor([this] { return !serverWindow(*form).viewable && activeWindow() == tv().winId(); }));
    }

    // F2 from the TV window: the settings dialog in front of both. The check runs inside the
    // dialog's own loop.
    bool dialogOnTop = false;
    bool checked = false;
    QTimer::singleShot(8000, form->CfgDialog(), [this] { form->CfgDialog()->reject(); });
    key("F2");
    QTimer::singleShot(300, [&] {
        TCfgDialog *dialog = form->CfgDialog();
        dialogOnTop = waitFor([&] { return dialog->isVisible() && onTop(*dialog) && above(*dialog, tv()); });
        key("Escape");
        checked = true;
    });
    EXPECT_TRUE(waitFor([&] { return checked && !form->CfgDialog()->isVisible(); }, 10000));
    EXPECT_TRUE(dialogOnTop);

    // Ctrl+T again: the TV window goes, the main window is there and in front.
    key("ctrl+t");
    EXPECT_TRUE(waitFor([this] { return !serverWindow(tv()).viewable && activeWindow() == form->winId(); }));
    EXPECT_FALSE(sbTVDown());
}

TEST_F(WindowsX11, TwoMonitorsTheMainWindowKeepsTheKeys)
{
    start(1500, 200, 1);
    key("ctrl+t");
    ASSERT_TRUE(
        waitFor([this] { return serverWindow(tv()).viewable && serverWindow(tv()).client == kLeft; }));
    EXPECT_TRUE(waitFor([this] { return activeWindow() == form->winId(); }));
    EXPECT_GT(shownShare(*form), 0.95);
}

TEST_F(WindowsX11, TheInformationWindowsCloseBoxClosesIt)
{
    start(1500, 200, 0);
    bool closed = false;
    bool checked = false;
    // However the check goes, the window does not stay open.
    QTimer::singleShot(8000, form->FormInfo(), [this] { form->FormInfo()->reject(); });
    key("F3");
    QTimer::singleShot(300, [&] {
        TFormInfo *info = form->FormInfo();
        ASSERT_TRUE(waitFor([&] { return info->isVisible() && serverWindow(*info).viewable; }));
        const ServerWindow shown = serverWindow(*info);
        // openbox's close box: the right end of the title bar, above the client area.
        const int titleHeight = shown.client.top() - shown.frame.top();
        ASSERT_GT(titleHeight, 8);
        const QPoint box(shown.frame.right() - titleHeight / 2, shown.frame.top() + titleHeight / 2);
        if (const QString shots = qEnvironmentVariable("SCORELANE_SCREENSHOTS"); !shots.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QDir(shots).filePath(QStringLiteral("info-openbox.png")));
        run(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QString::number(box.x()), QString::number(box.y()),
                QStringLiteral("click"), QStringLiteral("1") });
        closed = waitFor([&] { return !info->isVisible(); });
        checked = true;
    });
    EXPECT_TRUE(waitFor([&] { return checked && !form->FormInfo()->isVisible(); }, 10000));
    EXPECT_TRUE(closed);
}

TEST_F(WindowsX11, TheHelpWindowOpensWhollyOnTheMainWindowsMonitor)
{
    // Low on the left monitor: a help window centred on it would hang below the screen.
    start(200, 600, 0);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SCORELANE_TEST_CHM), form->HelpFile()));
    key("F1");
    ASSERT_TRUE(waitFor([this] { return form->HelpViewer() && serverWindow(*form->HelpViewer()).viewable; }));
    QTest::qWait(300);
    const ServerWindow help = serverWindow(*form->HelpViewer());
    EXPECT_TRUE(kLeft.contains(help.frame))
        << help.frame.x() << "," << help.frame.y() << " " << help.frame.width() << "x" << help.frame.height();
    EXPECT_GT(help.frame.height(), help.client.height());
}

} // namespace
