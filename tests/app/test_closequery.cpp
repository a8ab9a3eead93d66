#include "app/closequery.h"
#include "dialogs/dlgyesno.h"
#include "support/yesnodriver.h"

#include <gtest/gtest.h>

#include <QLabel>

TEST(CloseQuery, OnlyJaLetsTheProgramEnd)
{
    struct Case
    {
        const char *name;
        std::function<void(TFDlgYesNo &)> answer;
        bool closes;
    };
    const Case cases[] = { { "Ja", YesNoDriver::clickJa, true }, { "Nein", YesNoDriver::clickNein, false },
        { "Esc", YesNoDriver::key(Qt::Key_Escape), false }, { "close box", YesNoDriver::closeBox, false } };
    for (const Case &c : cases) {
        TFDlgYesNo dialog;
        QString asked;
        YesNoDriver::answerWhenShown(dialog, [&asked, &c](TFDlgYesNo &shown) {
            asked = shown.Label1->text();
            c.answer(shown);
        });
        EXPECT_EQ(confirmClose(dialog), c.closes) << c.name;
        EXPECT_EQ(asked, QStringLiteral("Beenden?")) << c.name;
        EXPECT_FALSE(dialog.Icon->isHidden()) << c.name;
    }
}
