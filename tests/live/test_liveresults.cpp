// The command "Live-Ergebnisse" in the main window: its button and Ctrl+L, the dialog, the
// status bar, the stored choice, and what the server gets when the operator types marks.
#include "live/livedialog.h"
#include "live/liveresults.h"

#include "app/mainwindow.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"
#include "platform/ondemandmodule.h"

#include "support/resulttablefixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

namespace {

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The state as a browser gets it from /api/state.
QJsonObject apiState(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(3000))
        answer += socket.readAll();
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
}

class LiveResultsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    std::unique_ptr<TForm1> form;

    QString settingsPath() const { return dir.filePath(QStringLiteral("Scorelane.ini")); }

    void start()
    {
        form = std::make_unique<TForm1>(TForm1::Environment { settingsPath(), &monitors });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::setActiveWindow(form.get());
        form->SortGrid1->setFocus();
    }

    void SetUp() override { start(); }

    LiveDialog *openWithCtrlL()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier);
        LiveDialog *dialog = form->liveResults().dialog();
        return dialog && dialog->isVisible() ? dialog : nullptr;
    }

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, modifiers);
    }
};

TEST_F(LiveResultsTest, OffUntilSwitchedOnThenLinksQrCodeAndViewersInTheStatusBar)
{
    EXPECT_FALSE(form->liveResults().service().isRunning());
    EXPECT_TRUE(form->LivePanel->text().isEmpty());
    EXPECT_EQ(form->bLive->toolTip(), QStringLiteral("[Ctrl+L] Live-Ergebnisse"));

    // The tool button opens the dialog; so does Ctrl+L.
    QTest::mouseClick(form->bLive, Qt::LeftButton);
    LiveDialog *dialog = form->liveResults().dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->sePort->value(), 8080);
    EXPECT_TRUE(dialog->rbThisComputer->isChecked());
    QTest::mouseClick(dialog->bClose, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    dialog = openWithCtrlL();
    ASSERT_TRUE(dialog);

    // The default port when it is free, so that the picture shows what operators see.
    const int port = QTcpServer().listen(QHostAddress::LocalHost, 8080) ? 8080 : freePort();
    dialog->sePort->setFocus();
    dialog->sePort->selectAll();
    QTest::keyClicks(dialog->sePort, QString::number(port));
    QTest::mouseClick(dialog->cbOn, Qt::LeftButton, {}, QPoint(8, dialog->cbOn->height() / 2));
    ASSERT_TRUE(form->liveResults().service().isRunning()) << dialog->lbError->text().toStdString();
    EXPECT_EQ(form->liveResults().service().port(), port);
    EXPECT_FALSE(dialog->sePort->isEnabled());
    EXPECT_TRUE(dialog->lbLinks->text().contains(QStringLiteral("http://127.0.0.1:%1/overlay").arg(port)));
    EXPECT_FALSE(dialog->lbQrCode->pixmap().isNull());
    EXPECT_EQ(form->LivePanel->text(), QStringLiteral("Live: 0"));
    dialog->grab().save(QStringLiteral("live_dialog.png"));

    QWebSocket page;
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LivePanel->text() == QStringLiteral("Live: 1"); }, 5000));
    form->grab().save(QStringLiteral("live_mainwindow.png"));
    page.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LivePanel->text() == QStringLiteral("Live: 0"); }, 5000));

    // Off again: the server lets the port go.
    QTest::mouseClick(dialog->cbOn, Qt::LeftButton, {}, QPoint(8, dialog->cbOn->height() / 2));
    EXPECT_FALSE(form->liveResults().service().isRunning());
    EXPECT_TRUE(form->LivePanel->text().isEmpty());
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::LocalHost, quint16(port)));
}

// What keeps the server from starting is said in the dialog and the switch stays off: a live
// module that is not there (the program runs on without live results), a port in use.
TEST_F(LiveResultsTest, WhatKeepsTheServerOffIsSaidInTheDialogAndTheSwitchStaysOff)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, 0));
    const QString module = liveModule().path();
    const struct
    {
        QString modulePath;
        int port;
        QString error;
    } cases[] = {
        { dir.filePath(QStringLiteral("libscorelane-live.so")), freePort(),
            QStringLiteral("Die Live-Ergebnisse sind nicht installiert") },
        { module, other.serverPort(), QStringLiteral("Port %1 ist schon belegt").arg(other.serverPort()) },
    };
    LiveDialog *dialog = openWithCtrlL();
    ASSERT_TRUE(dialog);
    for (const auto &c : cases) {
        liveModule().setPath(c.modulePath);
        dialog->sePort->setValue(c.port);
        QTest::mouseClick(dialog->cbOn, Qt::LeftButton, {}, QPoint(8, dialog->cbOn->height() / 2));
        EXPECT_FALSE(dialog->cbOn->isChecked());
        EXPECT_FALSE(form->liveResults().service().isRunning());
        EXPECT_TRUE(dialog->lbError->text().startsWith(c.error)) << dialog->lbError->text().toStdString();
        EXPECT_TRUE(form->LivePanel->text().isEmpty());
    }
    liveModule().setPath(module);
}

TEST_F(LiveResultsTest, TheChoiceIsStoredAndTheServerStartsWithTheProgram)
{
    const int port = freePort();
    LiveDialog *dialog = openWithCtrlL();
    ASSERT_TRUE(dialog);
    dialog->sePort->setValue(port);
    QTest::mouseClick(dialog->cbOn, Qt::LeftButton, {}, QPoint(8, dialog->cbOn->height() / 2));
    ASSERT_TRUE(form->liveResults().service().isRunning());
    dialog->accept();
    form.reset();
    {
        const QSettings stored(settingsPath(), QSettings::IniFormat);
        EXPECT_EQ(stored.value(QStringLiteral("LiveOn")).toString(), "1");
        EXPECT_EQ(stored.value(QStringLiteral("LivePort")).toInt(), port);
        EXPECT_EQ(stored.value(QStringLiteral("LiveNetwork")).toString(), "0");
    }
    start();
    EXPECT_TRUE(form->liveResults().service().isRunning());
    EXPECT_EQ(form->liveResults().service().port(), port);
    EXPECT_EQ(form->LivePanel->text(), QStringLiteral("Live: 0"));

    // Taken at the next start: the status bar says so, and the choice is kept.
    form.reset();
    QTcpServer taker;
    ASSERT_TRUE(taker.listen(QHostAddress::LocalHost, quint16(port)));
    start();
    EXPECT_FALSE(form->liveResults().service().isRunning());
    EXPECT_EQ(form->LivePanel->text(), QStringLiteral("Live: Fehler"));
    EXPECT_TRUE(form->LivePanel->toolTip().contains(QStringLiteral("schon belegt")));
    EXPECT_TRUE(form->liveResults().choice().on);
}

TEST_F(LiveResultsTest, PagesGetWhatTheScoreboardShowsNotWhatIsBeingTyped)
{
    const int port = freePort();
    form->liveResults().restore({ true, port, false });
    ASSERT_TRUE(form->liveResults().service().isRunning());
    fillResultRows(*form->SortGrid1,
        { { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert", "TTC" }, { "3", "Cora", "TSC" } });
    form->table().AssignPlaces();

    form->SortGrid1->MoveCurrent(3, 3);
    for (const char *mark : { "9", "8", "8", "7" }) {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(mark));
        key(Qt::Key_Return);
    }
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("8"));
    // The last mark is typed, not entered: the pages do not have it.
    QJsonObject state;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            state = apiState(port);
            return state["rows"].toArray().size() == 1;
        },
        3000));
    EXPECT_TRUE(state["couple"].isNull());

    key(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            state = apiState(port);
            return !state["couple"].isNull() && state["rows"].toArray().size() == 2;
        },
        3000));
    const QJsonObject couple = state["couple"].toObject();
    EXPECT_EQ(couple["number"].toString(), "3");
    EXPECT_EQ(couple["marks"].toArray(), (QJsonArray { "9", "8", "8", "7", "8" }));
    EXPECT_EQ(couple["struck"].toArray(), (QJsonArray { 4, 1 }));
    EXPECT_EQ(couple["total"].toString(), "24");
    EXPECT_EQ(couple["place"].toString(), "2");
    EXPECT_EQ(state["judges"].toInt(), 5);
    EXPECT_EQ(state["rows"].toArray()[1].toObject()["number"].toString(), "3");

    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return apiState(port)["couple"].isNull(); }, 3000));
}

} // namespace
