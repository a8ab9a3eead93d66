#include "platform/guarded.h"
#include "platform/messagebox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

TEST(StandardErrorBox, FullStopOnlyWhereMissing)
{
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Disk full.")), QStringLiteral("Disk full."));
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Fehler (1)")), QStringLiteral("Fehler (1)")); // ')' < '.'
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Fehler!")), QStringLiteral("Fehler!"));
    EXPECT_EQ(MessageBox::errorText(QStringLiteral("Fehler?")), QStringLiteral("Fehler?."));
}

TEST(StandardErrorBox, GuardedCommandShowsTheFailureAndGoesOn)
{
    int reached = 0;
    const int before = MessageBox::shownCount();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    runGuarded([&] {
        reached = 1;
        throw CommandError(QStringLiteral("I/O error 5"));
    });
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(MessageBox::shownCount(), before + 1);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("I/O error 5."));
}

// The real box: OK and the second button, which answers Save.
TEST(RuntimeErrorBox, SecondButtonAnswersSave)
{
    // Clicks the button with the caption once the box is up; a box without one is closed
    // so that the test fails rather than waits.
    const auto pressLater = [](const QString &caption) {
        QTimer::singleShot(0, [caption] {
            QMessageBox *box = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *b = qobject_cast<QMessageBox *>(widget); b && b->isVisible())
                    box = b;
            }
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), QStringLiteral("No Printer is installed"));
            for (QAbstractButton *button : box->buttons()) {
                if (button->text().remove(u'&') == caption) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            }
            ADD_FAILURE() << "no button " << caption.toStdString();
            box->done(-1);
        });
    };
    const QString pdf = QStringLiteral("Als PDF speichern...");
    pressLater(pdf);
    EXPECT_EQ(
        MessageBox::showRuntimeErrorOr(QStringLiteral("No Printer is installed"), pdf), QMessageBox::Save);
    pressLater(QStringLiteral("OK"));
    EXPECT_EQ(
        MessageBox::showRuntimeErrorOr(QStringLiteral("No Printer is installed"), pdf), QMessageBox::Ok);
}
