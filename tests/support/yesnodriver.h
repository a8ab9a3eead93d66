#pragma once

#include "dialogs/dlgyesno.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

// Answers a TFDlgYesNo while it runs modally: the answer runs once the dialog shows. A
// dialog that the answer does not close is ended with -1 so that a failing test cannot hang.
namespace YesNoDriver {

inline constexpr int kNotClosed = -1;

inline void answerWhenShown(TFDlgYesNo &dialog, std::function<void(TFDlgYesNo &)> answer)
{
    QPointer<TFDlgYesNo> guarded(&dialog);
    QTimer::singleShot(0, &dialog, [guarded, answer] {
        if (guarded && guarded->isVisible())
            answer(*guarded);
    });
    QTimer::singleShot(3000, &dialog, [guarded] {
        if (guarded && guarded->isVisible())
            guarded->QDialog::done(kNotClosed);
    });
}

// A key as the operator types it: to the widget that has the focus.
inline std::function<void(TFDlgYesNo &)> key(Qt::Key key)
{
    return [key](TFDlgYesNo &dialog) {
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog, 1000))
            return;
        QTest::keyClick(QApplication::focusWidget(), key);
    };
}

inline void clickJa(TFDlgYesNo &dialog)
{
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
}

inline void clickNein(TFDlgYesNo &dialog)
{
    QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
}

// The window system's close request, as the title bar's close box sends it.
inline void closeBox(TFDlgYesNo &dialog)
{
    dialog.windowHandle()->close();
}

} // namespace YesNoDriver
