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
        bool unsaved;
        std::function<void(TFDlgYesNo &)> answer;
        bool closes;
    };
    // Unsaved marks: the focus is on "Nein", so that Enter keeps the program running.
    const Case cases[]
        = { { "Ja", false, YesNoDriver::clickJa, true }, { "Nein", false, YesNoDriver::clickNein, false },
              { "Esc", false, YesNoDriver::key(Qt::Key_Escape), false },
              { "close box", false, YesNoDriver::closeBox, false },
              { "unsaved, Enter", true, YesNoDriver::key(Qt::Key_Return), false },
              { "unsaved, Ja", true, YesNoDriver::clickJa, true } };
    TFDlgYesNo dialog;
    for (const Case &c : cases) {
        QString asked;
        QSize size;
        bool textFits = false;
        YesNoDriver::answerWhenShown(dialog, [&](TFDlgYesNo &shown) {
            asked = shown.Label1->text();
            size = shown.size();
            const QRect needed = shown.Label1->fontMetrics().boundingRect(
                shown.Label1->contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, asked);
            textFits = shown.Label1->contentsRect().contains(needed)
                && shown.rect().contains(shown.Label1->geometry())
                && shown.OKBtn->geometry().top() >= shown.Label1->geometry().bottom()
                && shown.rect().contains(shown.CancelBtn->geometry());
            c.answer(shown);
        });
        EXPECT_EQ(confirmClose(dialog, c.unsaved), c.closes) << c.name;
        EXPECT_EQ(asked,
            c.unsaved ? QStringLiteral("Ergebnisse nicht gespeichert. Trotzdem beenden?")
                      : QStringLiteral("Beenden?"))
            << c.name;
        EXPECT_TRUE(textFits) << c.name;
        if (!c.unsaved) {
            EXPECT_EQ(size, QSize(222, 94)) << c.name;
        }
        EXPECT_FALSE(dialog.Icon->isHidden()) << c.name;
    }
}
