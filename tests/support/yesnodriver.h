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
    // Polled: events may be processed between this call and the showing of the dialog.
    QPointer<TFDlgYesNo> guarded(&dialog);
    auto *poll = new QTimer(&dialog);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [guarded, answer, poll] {
        if (!guarded || !guarded->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        answer(*guarded);
    });
    poll->start();
    QTimer::singleShot(3000, &dialog, [guarded, poll = QPointer<QTimer>(poll)] {
        if (poll)
            poll->deleteLater();
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
        QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : dialog.focusWidget();
        if (focus)
            QTest::keyClick(focus, key);
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
