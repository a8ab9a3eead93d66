#include "dialogs/dlgyesno.h"
#include "support/yesnodriver.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

namespace {

struct AnswerCase
{
    const char *name;
    std::function<void(TFDlgYesNo &)> answer;
    int result;
};

class YesNoAnswers : public testing::TestWithParam<AnswerCase>
{
};

int runAnswered(TFDlgYesNo &dialog, const std::function<void(TFDlgYesNo &)> &answer)
{
    YesNoDriver::answerWhenShown(dialog, answer);
    return dialog.exec();
}

} // namespace

TEST_P(YesNoAnswers, FirstShowing)
{
    TFDlgYesNo dialog;
    dialog.SetQuestion(QStringLiteral("Beenden?"));
    EXPECT_EQ(runAnswered(dialog, GetParam().answer), GetParam().result);
    EXPECT_FALSE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, YesNoAnswers,
    testing::Values(AnswerCase { "ClickJa", YesNoDriver::clickJa, 6 },
        AnswerCase { "EnterOnJa", YesNoDriver::key(Qt::Key_Return), 6 },
        AnswerCase { "SpaceOnJa", YesNoDriver::key(Qt::Key_Space), 6 },
        AnswerCase { "ClickNein", YesNoDriver::clickNein, 2 },
        AnswerCase { "Esc", YesNoDriver::key(Qt::Key_Escape), 2 },
        AnswerCase { "CloseBox", YesNoDriver::closeBox, 2 }),
    [](const testing::TestParamInfo<AnswerCase> &info) { return std::string(info.param.name); });

TEST(YesNoFocus, NextShowingStartsOnTheButtonLastUsed)
{
    TFDlgYesNo dialog;
    EXPECT_EQ(runAnswered(dialog, YesNoDriver::clickNein), 2);
    // Enter now answers with the button that kept the focus.
    EXPECT_EQ(runAnswered(dialog, YesNoDriver::key(Qt::Key_Return)), 2);
    EXPECT_EQ(runAnswered(dialog, YesNoDriver::clickJa), 6);
    EXPECT_EQ(runAnswered(dialog, YesNoDriver::key(Qt::Key_Return)), 6);
    // Esc leaves the focus where it was.
    EXPECT_EQ(runAnswered(dialog, YesNoDriver::key(Qt::Key_Escape)), 2);
    EXPECT_EQ(runAnswered(dialog, YesNoDriver::key(Qt::Key_Space)), 6);
}

TEST(YesNoQuestion, QuestionMarkPictureOnlyForAQuestion)
{
    TFDlgYesNo dialog;
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("?"));
    EXPECT_FALSE(dialog.Icon->isHidden());
    EXPECT_TRUE(dialog.Icon2->isHidden());

    struct Case
    {
        const char *text;
        bool question;
    };
    for (const Case &c : { Case { "Beenden?", true }, Case { "Datei gespeichert.", false } }) {
        dialog.SetQuestion(QString::fromUtf8(c.text));
        EXPECT_EQ(dialog.Label1->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(dialog.Icon->isHidden(), !c.question) << c.text;
        EXPECT_EQ(dialog.Icon2->isHidden(), c.question) << c.text;
    }
}

TEST(YesNoLayout, CaptionAndTransparentPictures)
{
    TFDlgYesNo dialog;
    // The title of this test program's file name.
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("test_dlgyesno"));
    for (const QPixmap &picture : { TFDlgYesNo::questionPicture(), TFDlgYesNo::warningPicture() }) {
        const QImage image = picture.toImage();
        EXPECT_EQ(image.size(), QSize(32, 32));
        EXPECT_EQ(qAlpha(image.pixel(0, 31)), 0);
        EXPECT_EQ(qAlpha(image.pixel(16, 16)), 255);
    }
}
