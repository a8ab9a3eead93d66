#include "dialogs/cfgdialog.h"
#include "dialogs/spinedit.h"
#include "platform/monitors.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

const FixedMonitorList kOneMonitor({ QRect(0, 0, 1920, 1080) });
const FixedMonitorList kTwoMonitors({ QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) });

// Runs edit() and does whatever the operator does while the dialog is open.
std::optional<TCfgDialog::Choice> editWith(
    TCfgDialog &dialog, int judgeCount, int monitor, const std::function<void()> &operatorActions)
{
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        operatorActions();
        // A test that forgot to close the dialog must not hang.
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog.done(99);
        }
    });
    return dialog.edit(judgeCount, monitor);
}

QStringList items(const QComboBox *box)
{
    QStringList result;
    for (int i = 0; i < box->count(); ++i)
        result << box->itemText(i);
    return result;
}

void typeJudges(TCfgDialog &dialog, const QString &text)
{
    dialog.seSUD->setFocus();
    dialog.seSUD->selectAll();
    QTest::keyClick(dialog.seSUD, Qt::Key_Delete);
    QTest::keyClicks(dialog.seSUD, text);
}

} // namespace

TEST(CfgDialog, OneMonitorIsNotConnectedAndStoresZero)
{
    TCfgDialog dialog(kOneMonitor);
    const auto choice = editWith(dialog, 5, 1, [&] {
        EXPECT_EQ(items(dialog.cbMonitor), QStringList { QStringLiteral("nicht angeschlossen") });
        EXPECT_FALSE(dialog.cbMonitor->isEnabled());
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    ASSERT_TRUE(choice);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(dialog.result(), TCfgDialog::kResultOK);
    EXPECT_EQ(choice->monitor, 0);
    EXPECT_EQ(choice->judgeCount, 5);
}

TEST(CfgDialog, TwoMonitorsInTheSystemsOrder)
{
    TCfgDialog dialog(kTwoMonitors);
    auto choice = editWith(dialog, 5, 1, [&] {
        EXPECT_EQ(items(dialog.cbMonitor),
            (QStringList { QStringLiteral("1=(1920x1080)"), QStringLiteral("2=(1280x1024)") }));
        EXPECT_TRUE(dialog.cbMonitor->isEnabled());
        EXPECT_EQ(dialog.cbMonitor->currentIndex(), 1);
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->monitor, 1);

    choice = editWith(dialog, 5, 1, [&] {
        dialog.cbMonitor->setCurrentIndex(0);
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->monitor, 0);
}

TEST(CfgDialog, CancelEscAndCloseBoxChangeNothing)
{
    const std::pair<const char *, std::function<void(TCfgDialog &)>> ways[] = {
        { "Cancel", [](TCfgDialog &d) { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); } },
        { "Esc in the list", [](TCfgDialog &d) { QTest::keyClick(d.cbMonitor, Qt::Key_Escape); } },
        { "Esc in the spin edit", [](TCfgDialog &d) { QTest::keyClick(d.seSUD, Qt::Key_Escape); } },
        { "close box", [](TCfgDialog &d) { d.close(); } },
    };
    for (const auto &[name, closeWay] : ways) {
        const auto &closeIt = closeWay; // clang 14 cannot capture a structured binding
        TCfgDialog dialog(kTwoMonitors);
        const auto choice = editWith(dialog, 5, 0, [&] {
            dialog.cbMonitor->setCurrentIndex(1);
            dialog.seSUD->setValue(7);
            closeIt(dialog);
        });
        EXPECT_FALSE(choice) << name;
        EXPECT_EQ(dialog.result(), TCfgDialog::kResultCancel) << name;
    }
}

TEST(CfgDialog, JudgeCountsTypedAndConfirmedWithEnter)
{
    const struct
    {
        const char *typed;
        int expected;
    } cases[] = {
        { "3", 3 },
        { "7", 7 },
        { "4", 4 },
        // Out of range or no number, confirmed without leaving the field.
        { "9", 7 },
        { "12", 7 },
        { "1", 3 },
        { "0", 3 },
        { "", 3 },
    };
    TCfgDialog dialog(kOneMonitor);
    for (const auto &c : cases) {
        const auto choice = editWith(dialog, 5, 0, [&] {
            typeJudges(dialog, QString::fromLatin1(c.typed));
            QTest::keyClick(dialog.seSUD, Qt::Key_Return);
        });
        ASSERT_TRUE(choice) << "typed " << c.typed;
        EXPECT_EQ(choice->judgeCount, c.expected) << "typed " << c.typed;
    }
}

TEST(CfgDialog, PresetJudgeCountIsShownWithinTheBounds)
{
    TCfgDialog dialog(kOneMonitor);
    const struct
    {
        int preset, shown;
    } cases[] = { { 3, 3 }, { 7, 7 }, { 9, 7 }, { 0, 3 }, { -4, 3 } };
    for (const auto &c : cases) {
        dialog.setJudgeCount(c.preset);
        EXPECT_EQ(dialog.seSUD->value(), c.shown) << c.preset;
        EXPECT_EQ(dialog.judgeCount(), c.shown) << c.preset;
    }
}

TEST(CfgDialog, LeavingTheFieldBringsTheNumberWithinBounds)
{
    TCfgDialog dialog(kOneMonitor);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    typeJudges(dialog, QStringLiteral("9"));
    EXPECT_EQ(dialog.seSUD->text(), QStringLiteral("9")) << "any number can be typed";
    dialog.CancelBtn->setFocus();
    EXPECT_EQ(dialog.seSUD->text(), QStringLiteral("7"));
    EXPECT_EQ(dialog.seSUD->value(), 7);

    typeJudges(dialog, QString());
    dialog.CancelBtn->setFocus();
    EXPECT_EQ(dialog.seSUD->value(), 3);

    typeJudges(dialog, QStringLiteral("x"));
    EXPECT_EQ(dialog.seSUD->text(), QString()) << "letters cannot be typed";
    dialog.hide();
}

TEST(CfgDialog, ArrowsStepWithinThreeToSeven)
{
    TCfgDialog dialog(kOneMonitor);
    dialog.setJudgeCount(6);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.seSUD->setFocus();
    QTest::keyClick(dialog.seSUD, Qt::Key_Up);
    EXPECT_EQ(dialog.seSUD->value(), 7);
    QTest::keyClick(dialog.seSUD, Qt::Key_Up);
    EXPECT_EQ(dialog.seSUD->value(), 7);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(dialog.seSUD, Qt::Key_Down);
    EXPECT_EQ(dialog.seSUD->value(), 3);
    dialog.hide();
}

// The focus starts on the monitor list when there is a choice, else on the judge count:
// every showing, wherever it was at the last closing.
TEST(CfgDialog, FocusStartsOnTheMonitorListOrTheJudgeCount)
{
    for (const MonitorList *monitors : { &kTwoMonitors, &kOneMonitor }) {
        TCfgDialog dialog(*monitors);
        QWidget *start = monitors->count() > 1 ? static_cast<QWidget *>(dialog.cbMonitor) : dialog.seSUD;
        const auto first = editWith(dialog, 5, 0, [&] {
            EXPECT_EQ(dialog.focusWidget(), start);
            QWidget *order[] = { dialog.OKBtn, dialog.CancelBtn, dialog.seSUD, dialog.cbMonitor };
            for (QWidget *next : order) {
                if (!next->isEnabled())
                    continue;
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
                EXPECT_EQ(dialog.focusWidget(), next);
                if (next == dialog.CancelBtn)
                    break;
            }
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
        EXPECT_FALSE(first) << "Enter on Cancel cancels";
        for (int showing = 2; showing <= 3; ++showing) {
            const auto next = editWith(dialog, 5, 0, [&] {
                EXPECT_EQ(dialog.focusWidget(), start) << showing;
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
            });
            EXPECT_TRUE(next) << "Enter in the field confirms";
        }
    }
}
